// The real platform on Qt: system clock, XDG/AppData folders, QLocale, QSettings, desktop shell.
#pragma once

#include "platform/platform.h"

#include <QDate>
#include <QSettings>
#include <memory>

namespace kivo {

class SystemClock : public Clock {
public:
    Date currentDate() const override;
    std::int64_t currentTime() const override;
};

class SystemFolders : public FolderProvider {
public:
    std::string workingFolder() const override;
    std::string userDataFolder() const override;
    void makeFolder(const std::string& folder) const override;
    bool newShell() const override { return true; }
};

class SystemLocale : public LocaleInfo {
public:
    std::string shortDatePattern() const override;
    std::string dayName(int dayOfWeek) const override;
    std::string monthName(int month) const override;
};

// The settings key "Software\Velmik\kivo" as QSettings in native format, organisation "Velmik",
// application "kivo": the registry on Windows, ~/.config/Velmik/kivo.conf on Linux.
class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    ~QtSettingsStore() override;
    bool keyExists() const override;
    std::optional<std::string> readValue(const std::string& name) const override;
    bool createKey() override;
    bool writeValue(const std::string& name, const std::string& text) override;
    bool flush() override;

private:
    std::unique_ptr<QSettings> settings_;
};

class DesktopShell : public Shell {
public:
    void open(const std::string& target) override;
    void run(const std::string& program, const std::string& parameters) override;
};

class DesktopMessageBoxes : public MessageBoxes {
public:
    void information(const std::string& text) override;
    void warning(const std::string& text) override;
    void error(const std::string& text) override;
    bool question(const std::string& text) override;
};

// The horizontal logical dots per inch of the primary screen (96 when there is none).
int primaryScreenDpi();

// Owns one of each real service and the Platform that refers to them.
class DesktopPlatform {
public:
    DesktopPlatform();
    Platform& platform() { return platform_; }

private:
    SystemClock clock_;
    SystemFolders folders_;
    SystemLocale locale_;
    QtSettingsStore store_;
    DesktopShell shell_;
    DesktopMessageBoxes messages_;
    Platform platform_;
};

// Dates between the engine's calendar type and Qt's; an impossible date gives an invalid one.
QDate toQDate(Date date);
Date fromQDate(const QDate& date);

// Text conversions at the boundary between core (bytes as stored) and Qt.
QString toQt(const std::string& text);
std::string fromQt(const QString& text);

} // namespace kivo
