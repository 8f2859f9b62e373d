// What the program asks of the system, behind small interfaces that tests replace with fakes.
#pragma once

#include "core/app_settings.h"
#include "engine/occurrence.h"
#include "engine/reminder_text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

// The local calendar date and the time, as the daily run sees them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date currentDate() const = 0;         // today's local date
    virtual std::int64_t currentTime() const = 0; // seconds since 1970, for seeding
};

// Where the data files are looked for. Every folder ends with the path separator.
class FolderProvider {
public:
    virtual ~FolderProvider() = default;
    virtual std::string workingFolder() const = 0;
    // The per-user application-data folder followed by "Velmik Fennaro" and the separator.
    virtual std::string userDataFolder() const = 0;
    // Creates the folder; an error (such as an existing folder) is ignored.
    virtual void makeFolder(const std::string& folder) const = 0;
    // True where the per-user data folder exists (always, except on very old systems).
    virtual bool hasPerUserDataFolder() const = 0;
    // The folders where the shipped translations may lie, the first to look in first; none where
    // the program ships none.
    virtual std::vector<std::string> translationFolders() const { return {}; }
};

// The user's locale: short date pattern and day and month names.
class LocaleInfo : public LocaleNames {
public:
    // The short date pattern with the letters d, M, y ("dd/MM/yyyy"); empty when unknown.
    virtual std::string shortDatePattern() const = 0;
    // The locale of the user's messages ("de_DE.UTF-8"), which picks the shipped translation;
    // empty when there is none.
    virtual std::string messagesLocale() const { return {}; }
};

// Hands addresses and commands to the desktop. Failures are silent.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document or address ("mailto:...") with the desktop's handler.
    virtual void open(const std::string& target) = 0;
    // Starts a program with a parameter text, which is split into arguments as a command line
    // would be but never passes through a command interpreter.
    virtual void run(const std::string& program, const std::string& parameters) = 0;
};

// Message boxes.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void information(const std::string& text) = 0;
    virtual void warning(const std::string& text) = 0;
    virtual void error(const std::string& text) = 0;
    // A question with Yes and No buttons; true only for Yes.
    virtual bool question(const std::string& text) = 0;
};

// Everything a window or the daily run may need of the system, passed by reference.
struct Platform {
    Clock& clock;
    FolderProvider& folders;
    LocaleInfo& locale;
    SettingsStore& settingsStore;
    Shell& shell;
    MessageBoxes& messages;
    int screenDpi = 96; // horizontal pixels per logical inch
};

} // namespace kivo
