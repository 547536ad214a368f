#include "window/SettingsStore.h"

#include "window/Text.h"

#include <QFile>
#include <QSettings>
#include <QStringList>

#include <utility>

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
{
    keepDamagedCopy();
}

IniSettingsStore::IniSettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    keepDamagedCopy();
}

IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::store(std::string_view key, std::string_view value)
{
    m_settings->setValue(keyPath(key), toQString(value));
    // Nothing is written at shut-down, and closing the window during a run ends the process
    // without destructors: each value goes to disk now.
    m_settings->sync();
    // A damaged file read at the start leaves FormatError standing after every later sync;
    // only AccessError says this write failed. QSettings keeps the value in memory and tries
    // again with the next one.
    if (m_settings->status() == QSettings::AccessError && !m_failureReported) {
        m_failureReported = true;
        if (m_report) {
            m_report("Sheetfray cannot save its settings in \"" + toStdString(fileName())
                     + "\". It goes on with the choices made now, but they will not be "
                       "remembered the next time it starts.");
        }
    }
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

void IniSettingsStore::onWriteFailure(FailureReport report)
{
    m_report = std::move(report);
}

void IniSettingsStore::keepDamagedCopy()
{
    // QSettings reads the file when it is first asked; what it could not parse is dropped
    // at the next write, so the file as it was goes aside first.
    (void)m_settings->allKeys();
    if (m_settings->status() != QSettings::FormatError) {
        return;
    }
    const QString copy = fileName() + QStringLiteral(".damaged");
    QFile::remove(copy);
    QFile::copy(fileName(), copy);
}

} // namespace sheetfray::window
