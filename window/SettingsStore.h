// The per-user store where every choice of the window is remembered the moment it changes.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QSettings;

namespace sheetfray::window {

// Text values by key, all under the application name "Vornhall" and the section "Sheetfray".
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    // Creates or replaces the value; it is on disk when the call returns.
    virtual void store(std::string_view key, std::string_view value) = 0;
    // The stored text, or defaultValue when the key is absent.
    [[nodiscard]] virtual std::string read(std::string_view key, std::string_view defaultValue) = 0;
};

// The store as an INI file written through QSettings.
//
// A file that cannot be read gives the defaults; one that is damaged gives what can still be
// made out of it, and a copy of it as it was is kept beside it ("Sheetfray.ini.damaged")
// before anything is written over it. A value that cannot be written stays in memory for the
// rest of the session; the failure is reported once.
class IniSettingsStore final : public SettingsStore
{
public:
    // Shown to the user; says which file and what it means for their choices.
    using FailureReport = std::function<void(const std::string& message)>;

    // The user's store: Vornhall/Sheetfray.ini in the XDG configuration folder.
    IniSettingsStore();
    // A store in the given file (tests, benchmarks).
    explicit IniSettingsStore(const QString& filePath);
    ~IniSettingsStore() override;

    IniSettingsStore(const IniSettingsStore&) = delete;
    IniSettingsStore& operator=(const IniSettingsStore&) = delete;

    void store(std::string_view key, std::string_view value) override;
    std::string read(std::string_view key, std::string_view defaultValue) override;

    // Where the values live.
    [[nodiscard]] QString fileName() const;

    // Called the first time a value cannot be written to the file, and not again.
    void onWriteFailure(FailureReport report);

private:
    void keepDamagedCopy();

    std::unique_ptr<QSettings> m_settings;
    FailureReport m_report;
    bool m_failureReported = false;
};

} // namespace sheetfray::window
