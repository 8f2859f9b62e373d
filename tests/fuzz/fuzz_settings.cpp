// Fuzzes reading the stored settings: each value that fits the read buffer sets its field as atoi
// reads it (flags: any number but 0), a missing or too long one leaves the field alone, and what
// is written back reads again to the same block.
#include "core/app_settings.h"
#include "fuzz_support.h"

#include <climits>
#include <fuzzer/FuzzedDataProvider.h>

using namespace kivo;
using namespace kivo::fuzz;

namespace {

const char* const kNames[] = {"aot",  "onceaday", "printlarge", "largereminder", "days",
                              "icon", "lastrun",  "sorted",     "past"};

// atoi without its overflow: strtoll (which saturates) held to the range of int.
int atoiOracle(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

struct Expected {
    bool flags[4];
    int ints[4]; // days, icon, sorted, past
    std::string lastRun;
};

Expected expectedFrom(const AppSettings& s) {
    return {{s.alwaysOnTop, s.onceADay, s.printLarge, s.largeReminder},
            {s.daysAhead, s.defaultIcon, s.sortColumn, s.pastDays},
            s.lastRun};
}

bool same(const Expected& e, const AppSettings& s) {
    const Expected got = expectedFrom(s);
    for (int i = 0; i < 4; ++i)
        if (e.flags[i] != got.flags[i] || e.ints[i] != got.ints[i])
            return false;
    return e.lastRun == got.lastRun;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool keyExists = in.ConsumeBool();
    MemorySettingsStore store;
    std::optional<std::string> values[9];
    if (keyExists) {
        store.createKey();
        for (int i = 0; i < 9; ++i)
            if (in.ConsumeBool()) {
                values[i] = in.ConsumeRandomLengthString(100);
                store.setValue(kNames[i], *values[i]);
            }
    }
    AppSettings settings;
    settings.sortColumn = in.ConsumeIntegral<int>(); // whatever start-up left there
    const std::string todayKey =
        dayKey(in.ConsumeIntegralInRange(1, 9999), in.ConsumeIntegralInRange(1, 12),
               in.ConsumeIntegralInRange(1, 31));
    Expected expected = expectedFrom(settings);

    readSettings(settings, store, todayKey);
    if (!keyExists) {
        expected = {{false, false, false, false}, {14, 1, 1, 0}, ""};
        FUZZ_REQUIRE(same(expected, settings), "first run gives the defaults");
        FUZZ_REQUIRE(store.keyExists() && store.values().size() == 9, "first run stores all nine");
    } else {
        for (int i = 0; i < 9; ++i) {
            if (!values[i] || values[i]->size() > kSettingsValueLimit)
                continue; // the field keeps what it had
            // The value ends at a zero byte, as a fixed buffer read sees it.
            const std::string text = values[i]->substr(0, values[i]->find('\0'));
            const int number = atoiOracle(text);
            if (i < 4)
                expected.flags[i] = number != 0;
            else if (i == 6)
                expected.lastRun = text;
            else
                expected.ints[i == 7 ? 2 : i == 8 ? 3 : i - 4] = number;
        }
        FUZZ_REQUIRE(same(expected, settings), "each value read as atoi reads it");
    }

    // Written back, every value is in its plain form and reads again to the same block.
    MemorySettingsStore written;
    FUZZ_REQUIRE(writeSettings(settings, written, todayKey), "settings written");
    for (const auto& [name, text] : written.values())
        FUZZ_REQUIRE(text.size() <= kSettingsValueLimit, "every written value fits the read");
    AppSettings again;
    readSettings(again, written, todayKey);
    settings.lastRun = todayKey;
    FUZZ_REQUIRE(same(expectedFrom(settings), again), "written settings read back the same");
    return 0;
}
