// The per-user store where every choice of the window is remembered the moment it changes.
#pragma once

#include <QString>

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
class IniSettingsStore final : public SettingsStore
{
public:
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

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace sheetfray::window
