// Fuzzes the contacts reader: it never fails, every record it adds has a name and a day its month
// has, keeps the defaults of a new record, survives a save of the records file unchanged, and the
// file reader agrees with the text reader.
#include "core/records_file.h"
#include "core/text_file.h"
#include "exchange/vcard_reader.h"
#include "fuzz_support.h"

using namespace kivo;
using namespace kivo::fuzz;

namespace {

bool dayOfItsMonth(int year, int month, int day) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1])
        return false;
    const bool leap = year == 0 || (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0));
    return !(month == 2 && day == 29 && !leap);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    PersonRecord defaults;
    defaults.icon = 7;
    defaults.daysInAdvance = 14;
    defaults.leapling = 0;
    defaults.skipYear = 2020;

    RecordList records;
    const VCardImportCounts counts = readVCards(bytes, defaults, "Anniversary", records);
    FUZZ_REQUIRE(counts.added == records.size(), "every record counted");
    for (const PersonRecord& r : records) {
        FUZZ_REQUIRE(!r.name.empty(), "a record has a name");
        FUZZ_REQUIRE(dayOfItsMonth(r.year, r.month, r.day), "a day its month has");
        FUZZ_REQUIRE(r.year >= 0 && r.year <= 9999, "a year of four digits at most");
        FUZZ_REQUIRE(r.type == Birthday || r.type == AnnualEventWithStart,
                     "birthday or anniversary");
        FUZZ_REQUIRE(r.type == Birthday || r.name.ends_with(")"), "an event says which it is");
        FUZZ_REQUIRE(r.icon == 7 && r.daysInAdvance == 14 && r.leapling == 0 && r.skipYear == -1,
                     "the defaults of a new record");
        int y = 0, m = 0, d = 0;
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02d%02d", r.year, r.month, r.day);
        if (r.year > 0)
            FUZZ_REQUIRE(parseVCardDate(text, y, m, d) && y == r.year && m == r.month && d == r.day,
                         "the date reads back");
    }

    RecordList fromFile;
    VCardImportCounts fileCounts;
    FUZZ_REQUIRE(readVCardFile(scratchFile("contacts.vcf", bytes), defaults, "Anniversary",
                               fromFile, fileCounts) == TextReadStatus::Ok,
                 "a readable file is read");
    FUZZ_REQUIRE(sameRecords(fromFile, records) && fileCounts.skipped == counts.skipped,
                 "file reader and text reader agree");

    RecordList saved;
    std::string mailPath;
    parseRecordsLines(splitTextLines(formatRecordsFile(records, "")), saved, mailPath);
    FUZZ_REQUIRE(sameRecords(saved, records), "imported contacts survive a save");

    // The date forms on their own.
    int y = -1, m = -1, d = -1;
    if (parseVCardDate(bytes.substr(0, 32), y, m, d))
        FUZZ_REQUIRE(dayOfItsMonth(y, m, d) && y >= 0 && y <= 9999, "a date read is a real day");
    return 0;
}
