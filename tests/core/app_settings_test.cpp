// Stored settings: defaults on a first run, reading value by value, writing all nine, and
// "pre.ini".
#include "core/app_settings.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kivo {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

MemorySettingsStore storeWithAllValues() {
    MemorySettingsStore store;
    for (const auto& [name, text] : Values{{"aot", "1"},
                                           {"onceaday", "0"},
                                           {"printlarge", "1"},
                                           {"largereminder", "0"},
                                           {"days", "30"},
                                           {"icon", "7"},
                                           {"lastrun", "20260305"},
                                           {"sorted", "-3"},
                                           {"past", "2"}})
        store.setValue(name, text);
    return store;
}

// The nine stored fields in the store's order (aot, onceaday, printlarge, largereminder, days,
// icon, lastrun, sorted, past), to compare in one go.
auto storedFields(const AppSettings& s) {
    return std::tuple(s.alwaysOnTop, s.onceADay, s.printLarge, s.largeReminder, s.daysAhead,
                      s.defaultIcon, s.lastRun, s.sortColumn, s.pastDays);
}

TEST(Settings, FirstRunSetsDefaultsAndStoresAllNineValuesAtOnce) {
    MemorySettingsStore store;
    AppSettings settings;
    readSettings(settings, store, "20260306");
    EXPECT_EQ(storedFields(settings), std::tuple(false, false, false, false, 14, 1, "", 1, 0));
    EXPECT_TRUE(store.keyExists());
    EXPECT_EQ(store.values(), (Values{{"aot", "0"},
                                      {"onceaday", "0"},
                                      {"printlarge", "0"},
                                      {"largereminder", "0"},
                                      {"days", "14"},
                                      {"icon", "1"},
                                      {"lastrun", "20260306"},
                                      {"sorted", "1"},
                                      {"past", "0"}}));
}

TEST(Settings, ReadsEveryStoredValue) {
    MemorySettingsStore store = storeWithAllValues();
    AppSettings settings;
    readSettings(settings, store, "20260306");
    EXPECT_EQ(storedFields(settings),
              std::tuple(true, false, true, false, 30, 7, "20260305", -3, 2));
    EXPECT_EQ(store.writeCount(), 0u); // reading an existing key writes nothing
}

TEST(Settings, MissingDaysValueIsNotTheMissingKey) {
    MemorySettingsStore store = storeWithAllValues();
    store.eraseValue("days");
    store.eraseValue("sorted");
    AppSettings settings; // fields start at 0, as start-up leaves them
    readSettings(settings, store, "20260306");
    EXPECT_EQ(settings.daysAhead, 0);
    EXPECT_EQ(settings.sortColumn, 0);
    EXPECT_EQ(settings.defaultIcon, 7);
}

TEST(Settings, ValuesAreReadAsAtoiReadsThem) {
    MemorySettingsStore store = storeWithAllValues();
    store.setValue("onceaday", "2");
    store.setValue("aot", "yes"); // not a number: 0
    store.setValue("days", " 21 days");
    store.setValue("icon", "");
    AppSettings settings;
    readSettings(settings, store, "20260306");
    EXPECT_TRUE(settings.onceADay);
    EXPECT_FALSE(settings.alwaysOnTop);
    EXPECT_EQ(settings.daysAhead, 21);
    EXPECT_EQ(settings.defaultIcon, 0);

    ASSERT_TRUE(writeSettings(settings, store, "20260306"));
    EXPECT_EQ(store.readValue("onceaday"), "1");
    EXPECT_EQ(store.readValue("aot"), "0");
}

TEST(Settings, ValueLongerThanTheReadLimitIsIgnored) {
    MemorySettingsStore store = storeWithAllValues();
    store.setValue("days", std::string(kSettingsValueLimit, ' ') + "9");     // 81 bytes
    store.setValue("past", std::string(kSettingsValueLimit - 1, ' ') + "9"); // 80 bytes
    store.setValue("lastrun", std::string(kSettingsValueLimit + 1, '2'));
    AppSettings settings;
    settings.daysAhead = 5;
    settings.lastRun = "before";
    readSettings(settings, store, "20260306");
    EXPECT_EQ(settings.daysAhead, 5);
    EXPECT_EQ(settings.pastDays, 9);
    EXPECT_EQ(settings.lastRun, "before");
}

TEST(Settings, LastRunIsAlwaysWrittenFromTodaysKey) {
    MemorySettingsStore store = storeWithAllValues();
    AppSettings settings;
    readSettings(settings, store, "20260306");
    settings.daysAhead = 365;
    settings.sortColumn = -9;
    ASSERT_TRUE(writeSettings(settings, store, dayKey(2026, 3, 6)));
    EXPECT_EQ(settings.lastRun, "20260305");
    EXPECT_EQ(store.values(), (Values{{"aot", "1"},
                                      {"onceaday", "0"},
                                      {"printlarge", "1"},
                                      {"largereminder", "0"},
                                      {"days", "365"},
                                      {"icon", "7"},
                                      {"lastrun", "20260306"},
                                      {"sorted", "-9"},
                                      {"past", "2"}}));
    EXPECT_EQ(store.writeCount(), 9u);
}

TEST(Settings, UnwritableStoreWritesNothingButDefaultsStillApply) {
    MemorySettingsStore store;
    store.setWritable(false);
    AppSettings settings;
    readSettings(settings, store, "20260306");
    EXPECT_EQ(settings.daysAhead, 14);
    EXPECT_FALSE(store.keyExists());
    EXPECT_FALSE(writeSettings(settings, store, "20260306"));
    EXPECT_EQ(store.writeCount(), 0u);
    EXPECT_TRUE(store.values().empty());
}

// A store that remembers when it was asked to make its values permanent, and can fail to.
class FlushRecordingStore : public MemorySettingsStore {
public:
    bool flushWorks = true;
    std::vector<std::size_t> writesAtFlush; // writeCount() at each flush
    bool flush() override {
        writesAtFlush.push_back(writeCount());
        return flushWorks;
    }
};

TEST(Settings, AllNineValuesAreMadePermanentOnceAfterTheLastWrite) {
    FlushRecordingStore store;
    AppSettings settings;
    readSettings(settings, store, "20260306"); // first run: the defaults are written at once
    EXPECT_EQ(store.writesAtFlush, (std::vector<std::size_t>{9}));
    ASSERT_TRUE(writeSettings(settings, store, "20260307"));
    EXPECT_EQ(store.writesAtFlush, (std::vector<std::size_t>{9, 18}));
}

TEST(Settings, FailureToMakeTheValuesPermanentIsReported) {
    FlushRecordingStore store;
    store.flushWorks = false;
    AppSettings settings;
    EXPECT_FALSE(writeSettings(settings, store, "20260306"));
    EXPECT_EQ(store.writeCount(), 9u);
}

// "notify" and "lastshown" came after the nine: missing, they are off and empty and not written,
// so that older settings keep their meaning and the file of a user who never sets them stays.
TEST(Settings, NotificationChoiceAndShownDayAreStoredOnceSet) {
    const std::tuple<Values, bool, std::string, Values> cases[] = {
        // stored beyond the nine, as the run leaves notify and lastshown, written beyond the nine
        {{}, false, "", {}},
        {{}, true, "", {{"notify", "1"}}},
        {{{"notify", "1"}, {"lastshown", "20260305"}},
         false,
         "20260306",
         {{"notify", "0"}, {"lastshown", "20260306"}}},
    };
    for (const auto& [stored, notify, shown, written] : cases) {
        MemorySettingsStore store = storeWithAllValues();
        for (const auto& [name, text] : stored)
            store.setValue(name, text);
        AppSettings settings;
        readSettings(settings, store, "20260306");
        EXPECT_EQ(settings.notifyReminders, !stored.empty());
        EXPECT_EQ(settings.lastShown, stored.empty() ? "" : "20260305");
        settings.notifyReminders = notify;
        settings.lastShown = shown;
        ASSERT_TRUE(writeSettings(settings, store, "20260306"));
        EXPECT_EQ(Values(store.values().begin() + 9, store.values().end()), written);
    }
}

TEST(DayKey, IsZeroPaddedSoNoTwoDaysShareAKey) {
    EXPECT_EQ(dayKey(2026, 3, 6), "20260306");
    EXPECT_EQ(dayKey(2026, 12, 31), "20261231");
    EXPECT_NE(dayKey(2026, 1, 11), dayKey(2026, 11, 1));
}

TEST(Presets, EveryLineIsAnEntryUntrimmed) {
    test::TempFolder folder;
    const std::string path = folder.file("pre.ini");
    test::writeBytes(path, "Hey! \r\n\r\n  Note: \r\nlast");
    std::vector<std::string> presets{"earlier"};
    EXPECT_TRUE(readPresets(path, presets));
    EXPECT_EQ(presets, (std::vector<std::string>{"earlier", "Hey! ", "", "  Note: ", "last"}));

    EXPECT_FALSE(readPresets(folder.file("missing.ini"), presets));
    EXPECT_EQ(presets.size(), 5u);
}

} // namespace
} // namespace kivo
