#include "window/SettingsStore.h"

#include "window/Text.h"

#include <QSettings>
#include <QStringList>

namespace sheetfray::window {

namespace {

constexpr auto ApplicationName = "Vornhall";
constexpr auto SectionName = "Sheetfray";

QString keyPath(std::string_view key)
{
    return QStringLiteral("%1/%2").arg(QLatin1String(SectionName), toQString(key));
}

} // namespace

IniSettingsStore::IniSettingsStore()
    : m_settings(std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, ApplicationName, SectionName))
{}

IniSettingsStore::IniSettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{}

IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::store(std::string_view key, std::string_view value)
{
    m_settings->setValue(keyPath(key), toQString(value));
    // Nothing is written at shut-down, and closing the window during a run ends the process
    // without destructors: each value goes to disk now.
    m_settings->sync();
}

std::string IniSettingsStore::read(std::string_view key, std::string_view defaultValue)
{
    const QVariant value = m_settings->value(keyPath(key));
    if (!value.isValid()) {
        return std::string(defaultValue);
    }
    // QSettings reads an unquoted value holding commas, as a hand-edited file may have it,
    // as a list of its pieces; the stored text is those pieces joined again.
    if (value.typeId() == QMetaType::QStringList) {
        return toStdString(value.toStringList().join(QLatin1Char(',')));
    }
    return toStdString(value.toString());
}

QString IniSettingsStore::fileName() const
{
    return m_settings->fileName();
}

} // namespace sheetfray::window
