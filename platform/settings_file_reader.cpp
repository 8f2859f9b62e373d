// Reading QSettings' INI files without Qt, refusing whatever QSettings might read otherwise.
#include "platform/settings_file_reader.h"

#include <algorithm>
#include <cerrno>
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
    if (readValue(name) == text)
        return true;
    wouldWrite_ = true;
    return false;
}

} // namespace kivo
