// The system services that need Qt Core only (clock, folders, locale, settings), so that a run
// that opens no window never loads the GUI libraries.
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
    bool hasPerUserDataFolder() const override { return true; }
    // Beside the program in the build tree, then where the install puts them.
    std::vector<std::string> translationFolders() const override;
};

class SystemLocale : public LocaleInfo {
public:
    std::string shortDatePattern() const override;
    std::string dayName(int dayOfWeek) const override;
    std::string monthName(int month) const override;
    std::string abbreviatedDayName(int dayOfWeek) const override;
    // The first of LC_ALL, LC_MESSAGES and LANG that is set, as the C library takes it; elsewhere
    // the system's language.
    std::string messagesLocale() const override;
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

// Dates between the engine's calendar type and Qt's; an impossible date gives an invalid one.
QDate toQDate(Date date);
Date fromQDate(const QDate& date);

// Text conversions at the boundary between core (bytes as stored) and Qt.
QString toQt(const std::string& text);
std::string fromQt(const QString& text);
// A text as a list, a line, a caption or a label shows it: at most the first thousand characters
// (see shownText), so that no stored text is too long to lay out at once.
QString toQtShown(const std::string& text);

} // namespace kivo
