#include "platform/qt/QtDialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace sheetfray::platform::qt {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Plain text always: a file name or an error description is never read as markup.
QMessageBox::StandardButton showBox(QWidget* parent,
                                    QMessageBox::Icon icon,
                                    std::string_view title,
                                    std::string_view text,
                                    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, fromUtf8(title), displayText(text), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
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

} // namespace sheetfray::platform::qt
