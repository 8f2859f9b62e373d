// Fuzzes "strings.ini": the table holds one pair per entry line, every built-in text is looked
// up as the first matching key (case aside) gives it, and every looked-up format is filled with
// its arguments in order and never with more placeholders than the built-in text has.
#include "core/built_in_texts.h"
#include "core/text_file.h"
#include "core/text_table.h"
#include "engine/reminder_text.h"
#include "fuzz_support.h"

#include <cctype>

using namespace kivo;
using namespace kivo::fuzz;

namespace {

bool equalIgnoringCase(const std::string& a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        // A line break of the built-in text is a blank in the key.
        if (x != y && (x >= 0x80 || y >= 0x80 || std::tolower(x) != std::tolower(y)) &&
            !(x == ' ' && y == '\n'))
            return false;
    }
    return true;
}

std::string expectedLookUp(const TextTable& texts, std::string_view builtIn) {
    for (const TextPair& pair : texts)
        if (equalIgnoringCase(pair.key, builtIn))
            return pair.text;
    return std::string(builtIn);
}

std::size_t placeholders(std::string_view format) {
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < format.size(); ++i)
        if (format[i] == '%') {
            count += format[i + 1] == 's' || format[i + 1] == 'i';
            ++i;
        }
    return count;
}

// The format filled with markers that no text holds: they must come out in order, each at most
// once, never more of them than the built-in text asks for, and nothing else may be added.
void checkFilled(const std::string& lookedUp, const std::string& builtIn) {
    const std::size_t wanted = placeholders(builtIn);
    std::vector<std::string> args;
    for (std::size_t i = 0; i < wanted; ++i)
        args.push_back(std::string("\x01") + static_cast<char>('A' + i) + "\x02");
    const std::string filled = fillFormat(lookedUp, builtIn, args);
    if (lookedUp.find('\x01') != std::string::npos)
        return; // the text itself holds a marker
    std::size_t from = 0;
    std::size_t argBytes = 0;
    for (const std::string& marker : args) {
        const auto at = filled.find(marker, from);
        if (at == std::string::npos)
            continue;
        FUZZ_REQUIRE(filled.find(marker, at + 1) == std::string::npos, "each argument once");
        FUZZ_REQUIRE(at >= from, "arguments in order");
        from = at + marker.size();
        argBytes += marker.size();
    }
    FUZZ_REQUIRE(filled.size() <= std::max(lookedUp.size(), builtIn.size()) + argBytes,
                 "nothing but the format and its arguments");
    if (lookedUp.find('%') == std::string::npos)
        FUZZ_REQUIRE(filled == lookedUp, "a text without placeholders is shown as written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    scratchFile("strings.ini", bytes);
    TextTable texts;
    FUZZ_REQUIRE(loadTextTable(scratchFolder(), scratchFolder() + "none/", texts),
                 "strings.ini reads to its end");

    std::size_t entries = 0;
    for (const std::string& line : decodedLines(bytes))
        if (!(line.size() > 0 && line[0] == '#') && line.find('=') != std::string::npos) {
            FUZZ_REQUIRE(entries < texts.size(), "no entry line is lost");
            const TextPair& pair = texts[entries++];
            FUZZ_REQUIRE(pair.key + "=" + pair.text == line,
                         "key before the first '=', text after");
            FUZZ_REQUIRE(pair.key.find('=') == std::string::npos, "a key holds no '='");
        }
    FUZZ_REQUIRE(entries == texts.size(), "one pair per entry line");

    for (const std::string_view builtIn : builtInTexts()) {
        const std::string shown = lookUpText(texts, builtIn);
        FUZZ_REQUIRE(shown == expectedLookUp(texts, builtIn), "first matching key wins");
        if (placeholders(builtIn) > 0)
            checkFilled(shown, std::string(builtIn));
    }

    // The whole wording with this table: every type and distance, the sample and the ordinals.
    const EnglishLocaleNames locale;
    const std::vector<std::string> presets;
    const std::string dateFormat = "%d.%m.%Y";
    StdRandomSource random(1);
    ReminderContext context{texts, dateFormat, presets, locale, random};
    const Date today = makeDate(2028, 2, 27);
    for (int type = -1; type <= 4; ++type) {
        PersonRecord record;
        record.name = "Ann";
        record.day = 29;
        record.month = 2;
        record.year = type == 1 ? 0 : 1960;
        record.type = type;
        ComputeOccurrence(record, today);
        // Every form a line can take: today, tomorrow and ahead; yesterday and days ago.
        for (int distance : {0, 1, 2})
            ComposeReminderLine({&record, DueKind::Upcoming, distance, 2028}, context);
        for (int distance : {1, 2})
            ComposeReminderLine({&record, DueKind::Past, distance, 2028}, context);
        SampleReminder(texts, locale, type, "Ann", "12", today);
    }
    for (const std::string number : {"1", "2", "3", "4", "21", "-1", "", "1000001"})
        FUZZ_REQUIRE(MakeOrdinal(texts, number).rfind(number, 0) == 0,
                     "an ordinal starts with its number");
    for (const std::string number : {"11", "12", "13"})
        FUZZ_REQUIRE(MakeOrdinal(texts, number) == lookUpText(texts, number + "th"),
                     "11th, 12th and 13th are whole words");
    return 0;
}
