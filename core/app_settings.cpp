// Reading and writing the nine stored settings, the day key, the in-memory store and "pre.ini".
#include "app_settings.h"

#include "number_text.h"
#include "text_file.h"

#include <algorithm>
#include <cstdio>

namespace kivo {

namespace {

constexpr const char* kNotifyKey = "notify";
constexpr const char* kLastShownKey = "lastshown";

template <typename Values> auto findValue(Values& values, const std::string& name) {
    return std::find_if(values.begin(), values.end(),
                        [&name](const auto& value) { return value.first == name; });
}

void storeValue(std::vector<std::pair<std::string, std::string>>& values, const std::string& name,
                const std::string& text) {
    auto it = findValue(values, name);
    if (it != values.end())
        it->second = text;
    else
        values.emplace_back(name, text);
}

// A stored value as the fixed-size read sees it: nothing when missing or too long, and only the
// text before a zero byte.
std::optional<std::string> readLimited(const SettingsStore& store, const std::string& name) {
    std::optional<std::string> value = store.readValue(name);
    if (!value || value->size() > kSettingsValueLimit)
        return std::nullopt;
    value->resize(std::min(value->size(), value->find('\0')));
    return value;
}

void readFlag(const SettingsStore& store, const std::string& name, bool& field) {
    if (auto value = readLimited(store, name))
        field = atoiLike(*value) != 0;
}

void readInt(const SettingsStore& store, const std::string& name, int& field) {
    if (auto value = readLimited(store, name))
        field = atoiLike(*value);
}

std::string intText(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%i", value);
    return buffer;
}

} // namespace

std::optional<std::string> MemorySettingsStore::readValue(const std::string& name) const {
    if (!exists_)
        return std::nullopt;
    auto it = findValue(values_, name);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

bool MemorySettingsStore::createKey() {
    if (!writable_)
        return false;
    exists_ = true;
    return true;
}

bool MemorySettingsStore::writeValue(const std::string& name, const std::string& text) {
    if (!writable_ || !exists_)
        return false;
    storeValue(values_, name, text);
    ++writes_;
    return true;
}

void MemorySettingsStore::setValue(const std::string& name, const std::string& text) {
    exists_ = true;
    storeValue(values_, name, text);
}

void MemorySettingsStore::eraseValue(const std::string& name) {
    auto it = findValue(values_, name);
    if (it != values_.end())
        values_.erase(it);
}

std::string dayKey(int year, int month, int day) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04i%02i%02i", year, month, day);
    return buffer;
}

void readSettings(AppSettings& settings, SettingsStore& store, const std::string& todayKey) {
    if (!store.keyExists()) {
        // First run on this account: the defaults, stored at once so the key exists from now on.
        settings.alwaysOnTop = false;
        settings.onceADay = false;
        settings.daysAhead = 14;
        settings.defaultIcon = 1;
        settings.sortColumn = 1;
        settings.largeReminder = false;
        settings.pastDays = 0;
        writeSettings(settings, store, todayKey);
        return;
    }
    readFlag(store, "aot", settings.alwaysOnTop);
    readFlag(store, "onceaday", settings.onceADay);
    readFlag(store, "printlarge", settings.printLarge);
    readFlag(store, "largereminder", settings.largeReminder);
    readInt(store, "days", settings.daysAhead);
    readInt(store, "icon", settings.defaultIcon);
    if (auto value = readLimited(store, "lastrun"))
        settings.lastRun = *value;
    readInt(store, "sorted", settings.sortColumn);
    readInt(store, "past", settings.pastDays);
    readFlag(store, kNotifyKey, settings.notifyReminders);
    if (auto value = readLimited(store, kLastShownKey))
        settings.lastShown = *value;
}

bool writeSettings(const AppSettings& settings, SettingsStore& store, const std::string& todayKey) {
    if (!store.createKey())
        return false;
    const std::pair<const char*, std::string> values[] = {
        {"aot", settings.alwaysOnTop ? "1" : "0"},
        {"onceaday", settings.onceADay ? "1" : "0"},
        {"printlarge", settings.printLarge ? "1" : "0"},
        {"largereminder", settings.largeReminder ? "1" : "0"},
        {"days", intText(settings.daysAhead)},
        {"icon", intText(settings.defaultIcon)},
        {"lastrun", todayKey}, // every run records its own day, never the day it read
        {"sorted", intText(settings.sortColumn)},
        {"past", intText(settings.pastDays)},
    };
    bool allWritten = true;
    for (const auto& [name, text] : values)
        allWritten = store.writeValue(name, text) && allWritten;
    if (settings.notifyReminders || store.readValue(kNotifyKey))
        allWritten =
            store.writeValue(kNotifyKey, settings.notifyReminders ? "1" : "0") && allWritten;
    if (!settings.lastShown.empty())
        allWritten = store.writeValue(kLastShownKey, settings.lastShown) && allWritten;
    return store.flush() && allWritten;
}

bool readPresets(const std::string& path, std::vector<std::string>& presets) {
    return readTextLines(path, presets);
}

} // namespace kivo
