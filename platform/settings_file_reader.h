// The settings as QSettings keeps them on Linux (INI files in the XDG folders), read without Qt by
// the quiet log-on run, which must not load Qt only to learn that nothing is to be done.
#pragma once

#include "core/app_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo {

// What one settings file holds, as far as it can be read with certainty.
struct SettingsFileContent {
    // Whether the file has a key at all, in any group.
    bool anyKey = false;
    // The keys outside any group, each with its value; nothing for a value of a form that only
    // QSettings reads (quotes, escapes, lists, typed values, text beyond plain ASCII).
    std::vector<std::pair<std::string, std::optional<std::string>>> topLevel;

    // The key's entry, or null when the file does not have the key.
    const std::optional<std::string>* find(std::string_view key) const;
};

// Parses a settings file as QSettings writes it. Nothing when the file holds anything that could
// make QSettings see other lines, groups or keys than this plain reading does: comments, continued
// lines, quotes across lines, line ends other than LF, odd group names, escaped top-level keys, or
// a top-level key twice.
std::optional<SettingsFileContent> parseSettingsFile(std::string_view bytes);

// `bytes` with the values of top-level keys replaced, as QSettings writes a file it wrote before
// when only those values changed: each key's line keeps its place. Nothing when a key is not in
// the file's top level or a value (old or new) is of a form QSettings would write otherwise.
std::optional<std::string>
withTopLevelValues(std::string_view bytes,
                   const std::vector<std::pair<std::string, std::string>>& values);

// Puts `bytes` in place of the settings file at `path` as QSettings does: under its lock file
// ("<path>.lock", never waited for), through a temporary file with the old file's permissions
// that is renamed over it. Only when the file still holds `expected`; false, with the file
// untouched, otherwise or on any failure.
bool replaceSettingsFile(const std::string& path, std::string_view expected,
                         std::string_view bytes);

// The files QSettings reads for `organization` and `application` in its native format, in the
// order in which a key is looked for: the user's application and organisation files under
// `userFolder` (XDG_CONFIG_HOME), then the application files and the organisation files under
// each of `systemFolders` (XDG_CONFIG_DIRS).
std::vector<std::string> settingsFilePaths(const std::string& userFolder,
                                           const std::vector<std::string>& systemFolders,
                                           const std::string& organization,
                                           const std::string& application);

// The settings store read from those files and never written. Anything it cannot answer as
// QSettings would, and anything that would be written, is noted instead; the run must then leave
// the settings to QSettings.
class ReadOnlySettingsStore : public SettingsStore {
public:
    // Reads `paths` (as settingsFilePaths gives them); a file that does not exist has no keys.
    explicit ReadOnlySettingsStore(const std::vector<std::string>& paths);

    // False once a file or a value asked for could not be read with certainty.
    bool certain() const { return certain_; }
    // Whether something was to be written that writeChanged() cannot write as QSettings would.
    bool wouldWrite() const { return wouldWrite_; }
    // Writes the values changed in the user's application file, where they already are, as
    // QSettings would; true when there was nothing to write. False when it could not, or when
    // the file changed since it was read: nothing is written then.
    bool writeChanged();

    bool keyExists() const override;
    std::optional<std::string> readValue(const std::string& name) const override;
    // Stands for QSettings' check that the first file can be written, which creates its folder
    // and a trial file when the file does not exist yet: that is a write too.
    bool createKey() override;
    // A value that reads back as this text already is left alone (as the Qt store does); any
    // other would be written.
    bool writeValue(const std::string& name, const std::string& text) override;

private:
    std::vector<SettingsFileContent> files_;
    std::string firstPath_;
    std::string firstFileBytes_;
    // Values to write, by name, in the order first changed.
    std::vector<std::pair<std::string, std::string>> changed_;
    bool firstFileExists_ = false;
    mutable bool certain_ = true;
    bool wouldWrite_ = false;
};

} // namespace kivo
