// The clock and the XDG folders without Qt, by the rules Qt 6 follows on Linux.
#include "platform/plain_platform.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

// Strict UTF-8: what Qt decodes into the same text that it encodes back into the same bytes.
bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
        const unsigned char lead = byte(i);
        std::size_t length = 1;
        unsigned int low = 0x80;
        unsigned int high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
            high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
        } else {
            return false;
        }
        if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
            return false;
        for (std::size_t k = 2; k < length; ++k)
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
                return false;
        i += length;
    }
    return true;
}

// An absolute path that no cleaning changes: Qt cleans some paths and not others, and a later Qt
// may ignore a relative one.
bool isCleanAbsolute(std::string_view path) {
    if (path.size() < 2 || path.front() != '/' || path.back() == '/' || !isUtf8(path))
        return false;
    for (std::size_t start = 1; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// An environment variable that is set and not empty; Qt takes an empty one as unset.
const char* setVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// XDG_..._HOME, else the folder below the home folder; false when either is of a doubtful form.
bool homeFolder(const char* variable, const char* belowHome, std::string& folder) {
    if (const char* value = setVariable(variable)) {
        folder = value;
        return isCleanAbsolute(folder);
    }
    const char* home = setVariable("HOME");
    folder = std::string(home ? home : "") + belowHome;
    return home && isCleanAbsolute(home);
}

} // namespace

std::optional<XdgFolders> XdgFolders::fromEnvironment() {
    XdgFolders folders;
    if (!homeFolder("XDG_CONFIG_HOME", "/.config", folders.configHome) ||
        !homeFolder("XDG_DATA_HOME", "/.local/share", folders.dataHome))
        return std::nullopt;
    const char* dirs = setVariable("XDG_CONFIG_DIRS");
    const std::string_view list = dirs ? dirs : "/etc/xdg";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::string_view folder = list.substr(start, end - start);
        start = end + 1;
        // Qt 6.4 keeps an empty part, and looks for the files in "/" then.
        if (!isCleanAbsolute(folder))
            return std::nullopt;
        folders.configDirs.emplace_back(folder);
    }
    return folders;
}

std::optional<std::string> plainWorkingFolder() {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer) || !isUtf8(buffer))
        return std::nullopt;
    return std::string(buffer) + "/";
}

Date PlainClock::currentDate() const {
    // The TZ variable is read as Qt's clock reads it, through the C library.
    ::tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return Date{};
    return Date{std::chrono::year{local.tm_year + 1900},
                std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

std::int64_t PlainClock::currentTime() const {
    return static_cast<std::int64_t>(std::time(nullptr));
}

void PlainFolders::makeFolder(const std::string& folder) const {
    // Making a folder that is there already changes nothing.
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        wouldWrite_ = true;
}

} // namespace kivo
