// The settings block, its store (the registry key "Software\Velmik\kivo" or its equivalent), the
// day key of a run, and "pre.ini".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kivo {

struct AppSettings {
    bool alwaysOnTop = false;
    bool onceADay = false;
    bool printLarge = false;
    bool largeReminder = false;
    int daysAhead = 0;
    int defaultIcon = 0;
    std::string lastRun;
    std::string dateFormat;
    std::string mailPath;
    int sortColumn = 0;
    int pastDays = 0;
    // Beyond the nine values: the log-on run's reminders go to the desktop's notification
    // service instead of the reminder window ("notify"), and the day a run last showed reminders
    // ("lastshown"), on which the daily timer's run shows nothing. Missing, they are off and
    // empty, so settings stored before keep their meaning.
    bool notifyReminders = false;
    std::string lastShown;
};

// Where the nine stored values live. Values are text; a key that does not exist means that there
// are no stored settings at all.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual bool keyExists() const = 0;
    // The value's text, or nothing when the value is missing.
    virtual std::optional<std::string> readValue(const std::string& name) const = 0;
    // Creates the key if needed and opens it for writing; false when that is impossible.
    virtual bool createKey() = 0;
    virtual bool writeValue(const std::string& name, const std::string& text) = 0;
    // Makes the values written so far permanent, once for all of them; false when that failed.
    virtual bool flush() { return true; }
};

// A store in memory, for tests and for runs without a settings store.
class MemorySettingsStore : public SettingsStore {
public:
    bool keyExists() const override { return exists_; }
    std::optional<std::string> readValue(const std::string& name) const override;
    bool createKey() override;
    bool writeValue(const std::string& name, const std::string& text) override;

    // Test helpers: fill the store as if another run had written it, or make writes fail.
    void setValue(const std::string& name, const std::string& text);
    void eraseValue(const std::string& name);
    void setWritable(bool writable) { writable_ = writable; }
    std::size_t writeCount() const { return writes_; }
    const std::vector<std::pair<std::string, std::string>>& values() const { return values_; }

private:
    bool exists_ = false;
    bool writable_ = true;
    std::size_t writes_ = 0;
    std::vector<std::pair<std::string, std::string>> values_; // in the order first written
};

// The longest stored value that is read; a longer one leaves its field as it was.
inline constexpr std::size_t kSettingsValueLimit = 80;

// The day key of a date, as stored in "lastrun": year, month and day zero-padded ("20260306"),
// so that no two days share a key.
std::string dayKey(int year, int month, int day);

// Reads the stored settings into `settings`. When the key is missing, the defaults are set and
// written at once (with "lastrun" = `todayKey`), which creates the key.
void readSettings(AppSettings& settings, SettingsStore& store, const std::string& todayKey);

// Writes the nine stored values, "lastrun" always being `todayKey`; "notify" and "lastshown" only
// once they were set, so that the settings of a user who never uses them stay as they were.
// Nothing is written when the key cannot be created; returns whether every value was written.
bool writeSettings(const AppSettings& settings, SettingsStore& store, const std::string& todayKey);

// Appends every line of "pre.ini" to `presets` (empty lines too, nothing trimmed). Returns false
// when the file cannot be opened or read; the lines read so far stay.
bool readPresets(const std::string& path, std::vector<std::string>& presets);

} // namespace kivo
