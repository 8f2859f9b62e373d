// A platform whose clock, folders, locale, settings, shell and message boxes a test controls.
#pragma once

#include "engine/reminder_text.h"
#include "platform/platform.h"

#include <QTemporaryDir>
#include <deque>
#include <string>
#include <vector>

namespace kivo::test {

inline Date ymd(int y, int m, int d) {
    return Date{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(m)},
                std::chrono::day{static_cast<unsigned>(d)}};
}

class FakeClock : public Clock {
public:
    Date date = ymd(2026, 6, 7);
    std::int64_t time = 1780790400;
    Date currentDate() const override { return date; }
    std::int64_t currentTime() const override { return time; }
};

class FakeFolders : public FolderProvider {
public:
    std::string working;
    std::string user;
    mutable std::vector<std::string> made;
    std::vector<std::string> translations; // none unless a test ships some
    std::string workingFolder() const override { return working; }
    std::string userDataFolder() const override { return user; }
    void makeFolder(const std::string& folder) const override;
    bool hasPerUserDataFolder() const override { return true; }
    std::vector<std::string> translationFolders() const override { return translations; }
};

class FakeLocale : public LocaleInfo {
public:
    std::string pattern = "dd/MM/yyyy";
    std::string shortDatePattern() const override { return pattern; }
    std::string dayName(int dayOfWeek) const override { return english.dayName(dayOfWeek); }
    std::string monthName(int month) const override { return english.monthName(month); }
    std::string abbreviatedDayName(int dayOfWeek) const override {
        return english.abbreviatedDayName(dayOfWeek);
    }

private:
    EnglishLocaleNames english;
};

class FakeShell : public Shell {
public:
    std::vector<std::string> opened;
    std::vector<std::pair<std::string, std::string>> ran;
    void open(const std::string& target) override { opened.push_back(target); }
    void run(const std::string& program, const std::string& parameters) override {
        ran.emplace_back(program, parameters);
    }
};

class FakeMessages : public MessageBoxes {
public:
    std::vector<std::string> infos;
    std::vector<std::string> warnings;
    std::vector<std::string> errors;
    std::vector<std::string> questions;
    std::deque<bool> answers; // the user's next answers to questions, Yes = true
    void information(const std::string& text) override { infos.push_back(text); }
    void warning(const std::string& text) override { warnings.push_back(text); }
    void error(const std::string& text) override { errors.push_back(text); }
    // A question nobody scripted an answer for fails the test and is answered No.
    bool question(const std::string& text) override;
};

// Everything together, with a working folder and a per-user folder in a fresh temporary folder.
struct FakePlatform {
    FakePlatform();
    QTemporaryDir root;
    FakeClock clock;
    FakeFolders folders;
    FakeLocale locale;
    MemorySettingsStore store;
    FakeShell shell;
    FakeMessages messages;
    Platform platform{clock, folders, locale, store, shell, messages, 96};
};

// Bytes of a file, or "" when it cannot be read.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

} // namespace kivo::test
