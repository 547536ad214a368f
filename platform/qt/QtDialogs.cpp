#include "platform/qt/QtDialogs.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace sheetfray::platform::qt {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Every box of the program: modal over the whole program, its text plain text always (a file
// name or an error description is never read as markup).
class PlainBox final : public QMessageBox
{
public:
    PlainBox(QWidget* parent,
             Icon icon,
             std::string_view title,
             std::string_view text,
             StandardButtons buttons)
        : QMessageBox(icon, fromUtf8(title), displayText(text), buttons, parent)
    {
        setTextFormat(Qt::PlainText);
        setWindowModality(Qt::ApplicationModal);
    }

    // Shows the box and returns the button pressed, once the box fits the screen.
    int run()
    {
        fitToScreen();
        return exec();
    }

private:
    // A box taller than the screen would put its buttons out of reach: a text of more lines
    // than half the screen holds shows those lines and "…", and the whole text comes first
    // under "Show Details", where it scrolls.
    void fitToScreen()
    {
        const QScreen* screen =
            parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (!screen) {
            return;
        }
        const QRect room = screen->availableGeometry();
        const QFontMetrics metrics(font());
        // The box wraps its text at about this width (less than the screen, at most 1000).
        const int width = std::max(200, std::min(room.width() - 480, 1000));
        const int mostLines = std::max(4, room.height() / 2 / metrics.lineSpacing());
        const QString whole = text();
        const QStringList lines = whole.split(QLatin1Char('\n'));
        QStringList shown;
        int used = 0;
        for (const QString& line : lines) {
            const int wrapped = std::max(1, metrics.horizontalAdvance(line) / width + 1);
            if (used + wrapped > mostLines - 1) {
                // The last line that fits is cut to what one line holds.
                shown << metrics.elidedText(line, Qt::ElideRight, width);
                break;
            }
            shown << line;
            used += wrapped;
        }
        if (shown.size() == lines.size() && shown.last() == lines.last()) {
            return;
        }
        if (!shown.last().endsWith(QChar(0x2026))) {
            shown << QString(QChar(0x2026));
        }
        setText(shown.join(QLatin1Char('\n')));
        const QString details = detailedText();
        setDetailedText(details.isEmpty() ? whole : whole + QStringLiteral("\n\n") + details);
    }
};

QMessageBox::StandardButton showBox(QWidget* parent,
                                    QMessageBox::Icon icon,
                                    std::string_view title,
                                    std::string_view text,
                                    QMessageBox::StandardButtons buttons)
{
    PlainBox box(parent, icon, title, text, buttons);
    return static_cast<QMessageBox::StandardButton>(box.run());
}

} // namespace

QtDialogs::QtDialogs(QWidget* parent)
    : m_parent(parent)
{}

QString displayText(std::string_view text)
{
    QString shown = fromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void QtDialogs::message(std::string_view title, std::string_view text)
{
    showBox(m_parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok);
}

bool QtDialogs::question(std::string_view title, std::string_view text)
{
    return showBox(m_parent, QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void QtDialogs::warning(std::string_view title, std::string_view text)
{
    showBox(m_parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
}

bool QtDialogs::warningWithCheckBox(std::string_view title,
                                    std::string_view text,
                                    std::string_view checkBox)
{
    PlainBox box(m_parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
    // The box owns the check box and deletes it.
    auto* check = new QCheckBox(fromUtf8(checkBox));
    box.setCheckBox(check);
    box.run();
    return check->isChecked();
}

bool QtDialogs::messageWithDetails(std::string_view title,
                                   std::string_view text,
                                   std::string_view details,
                                   std::string_view button)
{
    PlainBox box(m_parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    if (!details.empty()) {
        box.setDetailedText(displayText(details));
    }
    QPushButton* extra = nullptr;
    if (!button.empty()) {
        extra = box.addButton(fromUtf8(button), QMessageBox::ActionRole);
    }
    box.setDefaultButton(QMessageBox::Ok);
    box.run();
    return extra && box.clickedButton() == extra;
}

std::string
QtDialogs::input(std::string_view title, std::string_view prompt, std::string_view defaultAnswer)
{
    bool accepted = false;
    const QString answer = QInputDialog::getText(m_parent,
                                                 fromUtf8(title),
                                                 displayText(prompt),
                                                 QLineEdit::Normal,
                                                 fromUtf8(defaultAnswer),
                                                 &accepted);
    return accepted ? answer.toStdString() : std::string();
}

FileSelection
QtDialogs::openFiles(std::string_view title, std::string_view filter, std::string_view startFolder)
{
    // A start folder that has vanished leaves the dialog on its own default.
    const QString start = fromUtf8(startFolder);
    QFileDialog dialog(m_parent, fromUtf8(title), QFileInfo(start).isDir() ? start : QString());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(nameFilters(filter));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QStringList paths = dialog.selectedFiles();
    // The dialog hands over every selected name, so the selection always fits.
    return FileSelection{FileSelection::Outcome::Chosen,
                         selectionResult(paths),
                         QFileInfo(paths.front()).absolutePath().toStdString()};
}

std::string QtDialogs::browseForFolder(std::string_view title, std::string_view startFolder)
{
    // A start folder that has vanished leaves the dialog on its own default.
    const QString start = fromUtf8(startFolder);
    const QString folder = QFileDialog::getExistingDirectory(
        m_parent, fromUtf8(title), QFileInfo(start).isDir() ? start : QString());
    return QDir::toNativeSeparators(folder).toStdString();
}

void QtDialogs::openFolder(std::string_view folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(fromUtf8(folder)));
}

QStringList nameFilters(std::string_view filter)
{
    QStringList filters;
    const QStringList parts = fromUtf8(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the parentheses of the description.
        if (!description.contains(QLatin1Char('('))) {
            description += QStringLiteral(" (") + patterns + QLatin1Char(')');
        }
        filters << description;
    }
    return filters;
}

std::string selectionResult(const QStringList& paths)
{
    if (paths.size() == 1) {
        return paths.front().toStdString();
    }
    const QString folder = QFileInfo(paths.front()).absolutePath();
    const bool oneFolder = std::ranges::all_of(
        paths, [&](const QString& path) { return QFileInfo(path).absolutePath() == folder; });
    // Names typed with folders of their own are given from the root folder instead.
    std::string result = oneFolder ? folder.toStdString() : std::string("/");
    for (const QString& path : paths) {
        result += '\0';
        result += oneFolder ? QFileInfo(path).fileName().toStdString()
                            : QDir::cleanPath(path).mid(1).toStdString();
    }
    return result;
}

} // namespace sheetfray::platform::qt
