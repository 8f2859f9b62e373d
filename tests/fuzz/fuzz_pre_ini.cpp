// Fuzzes "pre.ini": every line is a prefix (nothing trimmed, empty lines too), and an upcoming
// reminder line is the plain line with exactly one of them put in front.
#include "core/app_settings.h"
#include "core/text_file.h"
#include "engine/reminder_text.h"
#include "fuzz_support.h"

#include <algorithm>

using namespace kivo;
using namespace kivo::fuzz;

namespace {

// Draws taken from the input's size, so that every input picks a prefix of its own.
class SizeRandom : public RandomSource {
public:
    explicit SizeRandom(std::size_t seed) : state_(static_cast<unsigned>(seed)) {}
    int next() override {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    unsigned state_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    std::vector<std::string> presets;
    FUZZ_REQUIRE(readPresets(scratchFile("pre.ini", bytes), presets), "pre.ini reads to its end");
    FUZZ_REQUIRE(presets == decodedLines(bytes), "one prefix per line, as the lines are");

    PersonRecord record;
    record.name = "Anna";
    record.day = 9;
    record.month = 3;
    record.year = 1996;
    record.daysInAdvance = 14;
    const Date today = makeDate(2026, 3, 4);
    ComputeOccurrence(record, today);
    const DueEntry entry{&record, DueKind::Upcoming, record.daysUntil, record.nextYear};

    const TextTable texts;
    const std::string dateFormat = "%d/%m/%Y";
    const EnglishLocaleNames locale;
    const std::vector<std::string> none;
    SizeRandom random(size);
    ReminderContext plainContext{texts, dateFormat, none, locale, random};
    const std::string plain = ComposeReminderLine(entry, plainContext);
    ReminderContext context{texts, dateFormat, presets, locale, random};
    const std::string line = ComposeReminderLine(entry, context);

    if (presets.empty()) {
        FUZZ_REQUIRE(line == plain, "no prefix without lines");
        return 0;
    }
    FUZZ_REQUIRE(line.size() >= plain.size() && line[0] == ' ', "line keeps its leading blank");
    FUZZ_REQUIRE(line.compare(line.size() - (plain.size() - 1), std::string::npos, plain, 1) == 0,
                 "the plain line follows the prefix");
    const std::string prefix = line.substr(1, line.size() - plain.size());
    FUZZ_REQUIRE(std::find(presets.begin(), presets.end(), prefix) != presets.end(),
                 "the prefix is one of the lines");
    return 0;
}
