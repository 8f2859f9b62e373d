// Fuzzes "categories.ini" and the calendars it feeds: line i names the category of icon i (the
// file reader agrees with the text reader), and a calendar of records with these categories and
// hostile names has only lines of at most 75 octets, ended by CR LF, that unfold to UTF-8 text
// with one event per dated record; a calendar file name never leaves its folder.
#include "core/text_file.h"
#include "exchange/calendar_format.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace kivo;
using namespace kivo::fuzz;

namespace {

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        if (c >= 0x80) {
            if ((c & 0xE0) == 0xC0)
                more = 1;
            else if ((c & 0xF0) == 0xE0)
                more = 2;
            else if ((c & 0xF8) == 0xF0)
                more = 3;
            else
                return false;
        }
        if (more >= s.size() - i)
            return false;
        for (std::size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

void checkCalendarLines(const std::string& calendar, std::size_t events) {
    std::string unfolded;
    std::size_t begun = 0;
    for (std::size_t at = 0; at < calendar.size();) {
        const std::size_t end = calendar.find("\r\n", at);
        FUZZ_REQUIRE(end != std::string::npos, "every line ends with CR LF");
        const std::string_view line(calendar.data() + at, end - at);
        FUZZ_REQUIRE(line.size() <= 75, "lines folded at 75 octets");
        FUZZ_REQUIRE(line.find_first_of("\r\n") == std::string_view::npos, "no bare CR or LF");
        if (!line.empty() && line[0] == ' ') {
            unfolded.append(line.substr(1));
        } else {
            FUZZ_REQUIRE(validUtf8(unfolded), "content lines are UTF-8");
            begun += unfolded == "BEGIN:VEVENT";
            unfolded.assign(line);
        }
        at = end + 2;
    }
    FUZZ_REQUIRE(validUtf8(unfolded) && unfolded == "END:VCALENDAR", "calendar closed");
    FUZZ_REQUIRE(begun == events, "one event per dated record");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string file = in.ConsumeRandomLengthString(4096);

    Categories categories = defaultCategories();
    parseCategories(file, categories);
    const std::vector<std::string> lines = decodedLines(file);
    for (std::size_t i = 0; i < categories.size(); ++i)
        FUZZ_REQUIRE(categories[i] == (i < lines.size() ? lines[i] : "Birthday"),
                     "line i names the category of icon i");
    Categories fromFile = defaultCategories();
    readCategoriesFile(scratchFile("categories.ini", file), fromFile);
    FUZZ_REQUIRE(fromFile == categories, "file reader and text reader agree");

    RecordList records;
    std::size_t dated = 0;
    while (in.remaining_bytes() > 0 && records.size() < 16) {
        PersonRecord r;
        r.name = in.ConsumeRandomLengthString(200);
        r.day = in.ConsumeIntegralInRange(0, 32);
        r.month = in.ConsumeIntegralInRange(0, 13);
        r.year = in.ConsumeIntegralInRange(-1, 10000);
        r.type = in.ConsumeIntegralInRange(-1, 4);
        r.icon = in.ConsumeIntegralInRange(-2, 70);
        r.leapling = in.ConsumeIntegralInRange(-1, 2);
        dated += r.day >= 1 && r.day <= 31 && r.month >= 1 && r.month <= 12;

        const std::string cleaned = calendarName(r.name);
        if (const auto name = calendarFileName(cleaned)) {
            const std::string_view stem(name->data(), name->size() - 4);
            FUZZ_REQUIRE(stem.find_first_of(std::string_view("/\\\0", 3)) ==
                                 std::string_view::npos &&
                             stem != "." && stem != "..",
                         "a calendar file stays in its folder");
        }
        formatCalendarFile(cleaned, r.day, r.month, r.year, categoryFor(categories, r.icon));
        records.append(std::move(r));
    }
    std::size_t left = 0;
    const std::string calendar = formatSingleCalendar(records, categories, 1'700'000'000, &left);
    FUZZ_REQUIRE(left == records.size() - dated, "undated records are counted as left out");
    checkCalendarLines(calendar, dated);
    return 0;
}
