// The system services of the quiet log-on run without Qt: the clock from the C library, and the
// folders worked out from the environment the way Qt 6 works them out on Linux.
#pragma once

#include "platform/platform.h"

#include <optional>
#include <string>
#include <vector>

namespace kivo {

// The XDG base folders as QStandardPaths gives them. Nothing when the environment holds a form
// that Qt may read otherwise, now or in a later version: a relative or unclean path ("a//b",
// "a/./b", a trailing "/"), a home folder that is "/" or not set, text that is not UTF-8.
struct XdgFolders {
    std::string configHome;              // XDG_CONFIG_HOME, else $HOME/.config
    std::vector<std::string> configDirs; // XDG_CONFIG_DIRS, else /etc/xdg
    std::string dataHome;                // XDG_DATA_HOME, else $HOME/.local/share

    static std::optional<XdgFolders> fromEnvironment();
};

// The working folder followed by "/", as QDir::currentPath() gives it; nothing when it cannot be
// had or is not UTF-8 (Qt would turn the bytes it cannot decode into other ones).
std::optional<std::string> plainWorkingFolder();

class PlainClock : public Clock {
public:
    Date currentDate() const override;
    std::int64_t currentTime() const override;
};

// The folders of a run, worked out beforehand. A folder that would have to be made is only noted.
class PlainFolders : public FolderProvider {
public:
    PlainFolders(std::string working, std::string userData)
        : working_(std::move(working)), userData_(std::move(userData)) {}
    std::string workingFolder() const override { return working_; }
    std::string userDataFolder() const override { return userData_; }
    void makeFolder(const std::string& folder) const override;
    bool hasPerUserDataFolder() const override { return true; }

    bool wouldWrite() const { return wouldWrite_; }

private:
    std::string working_;
    std::string userData_;
    mutable bool wouldWrite_ = false;
};

// Only the windows show dates and names; a run that ends without one never reads the locale. Its
// date format stays empty, and a name asked for is noted.
class PlainLocale : public LocaleInfo {
public:
    std::string shortDatePattern() const override { return {}; }
    std::string dayName(int) const override { return asked(); }
    std::string monthName(int) const override { return asked(); }
    std::string abbreviatedDayName(int) const override { return asked(); }

    bool namesAsked() const { return namesAsked_; }

private:
    std::string asked() const {
        namesAsked_ = true;
        return {};
    }
    mutable bool namesAsked_ = false;
};

// The desktop's shell and message boxes where there is no desktop: whatever is asked of them is
// only noted.
class AbsentDesktop : public Shell, public MessageBoxes {
public:
    void open(const std::string&) override { wanted_ = true; }
    void run(const std::string&, const std::string&) override { wanted_ = true; }
    void information(const std::string&) override { wanted_ = true; }
    void warning(const std::string&) override { wanted_ = true; }
    void error(const std::string&) override { wanted_ = true; }
    bool question(const std::string&) override {
        wanted_ = true;
        return false;
    }

    bool wanted() const { return wanted_; }

private:
    bool wanted_ = false;
};

} // namespace kivo
