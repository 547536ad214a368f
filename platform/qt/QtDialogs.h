// The program's boxes as Qt message boxes and input dialogs.
#pragma once

#include "platform/Dialogs.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace sheetfray::platform::qt {

// Boxes are application modal and centred on the parent window when there is one.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent = nullptr);

    void setParent(QWidget* parent) { m_parent = parent; }

    void message(std::string_view title, std::string_view text) override;
    bool question(std::string_view title, std::string_view text) override;
    void warning(std::string_view title, std::string_view text) override;
    bool warningWithCheckBox(std::string_view title,
                             std::string_view text,
                             std::string_view checkBox) override;
    bool messageWithDetails(std::string_view title,
                            std::string_view text,
                            std::string_view details,
                            std::string_view button) override;
    std::string
    input(std::string_view title, std::string_view prompt, std::string_view defaultAnswer) override;
    FileSelection openFiles(std::string_view title,
                            std::string_view filter,
                            std::string_view startFolder) override;
    std::string browseForFolder(std::string_view title, std::string_view startFolder) override;
    void openFolder(std::string_view folder) override;

private:
    QPointer<QWidget> m_parent;
};

// The text as a box shows it: CR LF and lone CRs become line feeds.
[[nodiscard]] QString displayText(std::string_view text);

// A filter of description and pattern pairs, each followed by "|", as name filters of a Qt
// file dialog: "Excel Files (*.xl*)|*.xl*|" gives "Excel Files (*.xl*)".
[[nodiscard]] QStringList nameFilters(std::string_view filter);

// What the open-file dialog returns for the chosen paths: one path as it is; several as their
// folder, then each name, separated by NUL characters.
[[nodiscard]] std::string selectionResult(const QStringList& paths);

} // namespace sheetfray::platform::qt
