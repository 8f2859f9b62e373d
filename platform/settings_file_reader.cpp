// Reading QSettings' INI files without Qt, refusing whatever QSettings might read otherwise.
#include "platform/settings_file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

// No settings file of kivo comes near this; a larger one is left to QSettings.
constexpr off_t kSettingsFileLimit = 1 << 20;

bool isPlainKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// What QSettings gives back unchanged as a string, whatever its rules of quotes, escapes, lists,
// blanks and typed values ("@...") are.
bool isPlainValueChar(char c) {
    return isPlainKeyChar(c) || c == '.' || c == '+' || c == '-';
}

bool allOf(std::string_view text, bool (*test)(char)) {
    return std::all_of(text.begin(), text.end(), test);
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// Finds the '=' that ends a line's key the way QSettings' line reader does: a backslash takes the
// next character along, quotes hide what they enclose. False when QSettings would end the line
// elsewhere or not at all: a backslash at the end continues it on the next line, a quote left open
// goes on over the next line, and a ';' outside quotes starts a comment.
bool findKeyEnd(std::string_view line, std::size_t& equals) {
    bool quoted = false;
    equals = std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\') {
            if (++i == line.size())
                return false;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ';') {
            return false;
        } else if (!quoted && c == '=' && equals == std::string_view::npos) {
            equals = i;
        }
    }
    return !quoted;
}

enum class FileRead { Missing, Read, Refused };

// The whole file, when it is a regular file of a sensible size; a pipe or a folder in its place
// is never waited on.
FileRead readSmallFile(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? FileRead::Missing : FileRead::Refused;
    struct stat info {};
    FileRead result = FileRead::Refused;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kSettingsFileLimit) {
        // One byte more than the file has, to notice a file that grew while it was read.
        bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
        std::size_t got = 0;
        ssize_t n = 0;
        while (got < bytes.size() && (n = ::read(fd, bytes.data() + got, bytes.size() - got)) > 0)
            got += static_cast<std::size_t>(n);
        if (n == 0 && got < bytes.size()) {
            bytes.resize(got);
            result = FileRead::Read;
        }
    }
    ::close(fd);
    return result;
}

// Whether the file's lines are laid out as QSettings writes them: "[General]" first, one empty
// line before each other group and none elsewhere, a line end after the last line. QSettings
// rewrites any other layout, so that replacing a value in it would leave a file QSettings would
// not have written.
bool laidOutAsQSettingsWrites(std::string_view bytes) {
    if (bytes.substr(0, 10) != "[General]\n" || bytes.back() != '\n')
        return false;
    for (std::size_t at = bytes.find("\n\n"); at != std::string_view::npos;
         at = bytes.find("\n\n", at + 1))
        if (at + 2 >= bytes.size() || bytes[at + 2] != '[')
            return false;
    for (std::size_t at = bytes.find("\n["); at != std::string_view::npos;
         at = bytes.find("\n[", at + 1))
        if (at == 0 || bytes[at - 1] != '\n')
            return false;
    return true;
}

} // namespace

const std::optional<std::string>* SettingsFileContent::find(std::string_view key) const {
    for (const auto& [name, value] : topLevel)
        if (name == key)
            return &value;
    return nullptr;
}

std::optional<SettingsFileContent> parseSettingsFile(std::string_view bytes) {
    SettingsFileContent content;
    bool topLevel = true;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        // Control characters (CR, tabs, NUL) and blanks at the start are read by rules of their
        // own; "#" and ";" may start comments.
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }) ||
            line.front() == ' ' || line.front() == '#' || line.front() == ';')
            return std::nullopt;
        if (line.front() == '[') {
            const std::string_view name = line.substr(1, line.size() - 2);
            if (line.size() < 3 || line.back() != ']' || !allOf(name, isPlainKeyChar))
                return std::nullopt;
            // "[General]" holds the keys outside any group; another spelling of it may too.
            topLevel = name == "General";
            if (!topLevel && sameIgnoringCase(name, "General"))
                return std::nullopt;
            continue;
        }
        std::size_t equals = 0;
        if (!findKeyEnd(line, equals) || equals == std::string_view::npos || equals == 0)
            return std::nullopt;
        content.anyKey = true;
        if (!topLevel)
            continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (!allOf(key, isPlainKeyChar) || content.find(key))
            return std::nullopt;
        content.topLevel.emplace_back(std::string(key),
                                      allOf(value, isPlainValueChar)
                                          ? std::optional<std::string>(std::string(value))
                                          : std::nullopt);
    }
    return content;
}

std::optional<std::string>
withTopLevelValues(std::string_view bytes,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    const std::optional<SettingsFileContent> content = parseSettingsFile(bytes);
    if (!content || !laidOutAsQSettingsWrites(bytes))
        return std::nullopt;
    std::string result(bytes);
    for (const auto& [key, value] : values) {
        const std::optional<std::string>* old = content->find(key);
        if (!old || !old->has_value() || !allOf(value, isPlainValueChar))
            return std::nullopt;
        // The key's one top-level line: before any group or in "[General]".
        bool topLevel = true;
        std::size_t start = 0;
        std::size_t found = std::string::npos;
        while (start < result.size() && found == std::string::npos) {
            const std::size_t end = std::min(result.find('\n', start), result.size());
            const std::string_view line = std::string_view(result).substr(start, end - start);
            if (!line.empty() && line.front() == '[')
                topLevel = line == "[General]";
            else if (topLevel && line.size() > key.size() && line.substr(0, key.size()) == key &&
                     line[key.size()] == '=')
                found = start + key.size() + 1;
            start = end + 1;
        }
        if (found == std::string::npos)
            return std::nullopt;
        result.replace(found, (*old)->size(), value);
    }
    return result;
}

bool replaceSettingsFile(const std::string& path, std::string_view expected,
                         std::string_view bytes) {
    // QSettings' lock file. The process, the application and the host in it let a QLockFile that
    // finds it tell whether its owner still runs.
    const std::string lockPath = path + ".lock";
    const int lock = ::open(lockPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (lock < 0)
        return false;
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::string owner = std::to_string(::getpid()) + "\nkivo\n" + host + "\n";
    bool ok = ::write(lock, owner.data(), owner.size()) == static_cast<ssize_t>(owner.size());
    ::close(lock);
    std::string now;
    struct stat info {};
    ok = ok && readSmallFile(path, now) == FileRead::Read && now == expected &&
         ::stat(path.c_str(), &info) == 0;
    std::string temporary = path + ".XXXXXX";
    const int fd = ok ? ::mkostemp(temporary.data(), O_CLOEXEC) : -1;
    if (fd >= 0) {
        std::size_t done = 0;
        ssize_t n = 0;
        while (done < bytes.size() &&
               (n = ::write(fd, bytes.data() + done, bytes.size() - done)) > 0)
            done += static_cast<std::size_t>(n);
        ok =
            done == bytes.size() && ::fchmod(fd, info.st_mode & 07777) == 0 && ::fdatasync(fd) == 0;
        ok = ::close(fd) == 0 && ok && ::rename(temporary.c_str(), path.c_str()) == 0;
        if (!ok)
            ::unlink(temporary.c_str());
    } else {
        ok = false;
    }
    ::unlink(lockPath.c_str());
    return ok;
}

std::vector<std::string> settingsFilePaths(const std::string& userFolder,
                                           const std::vector<std::string>& systemFolders,
                                           const std::string& organization,
                                           const std::string& application) {
    const std::string applicationFile = "/" + organization + "/" + application + ".conf";
    const std::string organizationFile = "/" + organization + ".conf";
    std::vector<std::string> paths{userFolder + applicationFile, userFolder + organizationFile};
    for (const std::string& folder : systemFolders)
        paths.push_back(folder + applicationFile);
    for (const std::string& folder : systemFolders)
        paths.push_back(folder + organizationFile);
    return paths;
}

ReadOnlySettingsStore::ReadOnlySettingsStore(const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size() && certain_; ++i) {
        std::string bytes;
        const FileRead read = readSmallFile(paths[i], bytes);
        if (read == FileRead::Missing)
            continue;
        std::optional<SettingsFileContent> content;
        if (read == FileRead::Read)
            content = parseSettingsFile(bytes);
        if (i == 0) {
            firstPath_ = paths[0];
            firstFileBytes_ = bytes;
        }
        if (!content) {
            certain_ = false;
            break;
        }
        firstFileExists_ = firstFileExists_ || i == 0;
        files_.push_back(std::move(*content));
    }
}

bool ReadOnlySettingsStore::keyExists() const {
    return std::any_of(files_.begin(), files_.end(),
                       [](const SettingsFileContent& file) { return file.anyKey; });
}

std::optional<std::string> ReadOnlySettingsStore::readValue(const std::string& name) const {
    // The first file that has the key gives its value, as QSettings' fallbacks do.
    for (const SettingsFileContent& file : files_) {
        if (const std::optional<std::string>* value = file.find(name)) {
            certain_ = certain_ && value->has_value();
            return *value;
        }
    }
    return std::nullopt;
}

bool ReadOnlySettingsStore::createKey() {
    if (!firstFileExists_)
        wouldWrite_ = true;
    return firstFileExists_;
}

bool ReadOnlySettingsStore::writeValue(const std::string& name, const std::string& text) {
    const auto same = [&name](const auto& entry) { return entry.first == name; };
    const auto it = std::find_if(changed_.begin(), changed_.end(), same);
    if (readValue(name) == text) {
        if (it != changed_.end())
            changed_.erase(it); // changed back
        return true;
    }
    if (it != changed_.end())
        it->second = text;
    else
        changed_.emplace_back(name, text);
    // Only a value already in the user's own file can be written there in its place.
    if (!firstFileExists_ || files_.empty() || !files_.front().find(name) ||
        !withTopLevelValues(firstFileBytes_, changed_))
        wouldWrite_ = true;
    return !wouldWrite_;
}

bool ReadOnlySettingsStore::writeChanged() {
    if (changed_.empty())
        return true;
    if (wouldWrite_ || !certain_)
        return false;
    const std::optional<std::string> bytes = withTopLevelValues(firstFileBytes_, changed_);
    return bytes && replaceSettingsFile(firstPath_, firstFileBytes_, *bytes);
}

} // namespace kivo
