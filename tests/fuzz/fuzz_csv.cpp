// Fuzzes the CSV import: every line after the first becomes a record or is counted as skipped,
// every record taken has a date a list can show, the file reader agrees with the text reader,
// and what was imported exports and imports again unchanged.
#include "core/records_file.h"
#include "core/text_file.h"
#include "engine/occurrence.h"
#include "exchange/csv_format.h"
#include "fuzz_support.h"

using namespace kivo;
using namespace kivo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    RecordList records;
    const CsvImportCounts counts = readCsv(bytes, records);
    const std::size_t lines = splitTextLines(bytes).size();
    FUZZ_REQUIRE(counts.added == records.size(), "every record counted");
    FUZZ_REQUIRE(counts.added + counts.skipped == (lines > 0 ? lines - 1 : 0),
                 "every data line taken or counted as skipped");
    for (const PersonRecord& r : records) {
        FUZZ_REQUIRE(hasUsableDate(r), "only dates a list can show");
        FUZZ_REQUIRE(r.skipYear == -1, "an imported record skips nothing");
        FUZZ_REQUIRE(r.name.find(',') == std::string::npos &&
                         r.email.find(',') == std::string::npos,
                     "a text field ends at a comma");
    }

    RecordList fromFile;
    CsvImportCounts fileCounts;
    std::string error;
    FUZZ_REQUIRE(readCsvFile(scratchFile("import.csv", bytes), fromFile, fileCounts, &error) ==
                     TextReadStatus::Ok,
                 "a readable file reads to its end");
    FUZZ_REQUIRE(sameRecords(fromFile, records) && fileCounts.skipped == counts.skipped,
                 "file reader and text reader agree");

    const std::string exported = formatCsv(records);
    RecordList again;
    const CsvImportCounts againCounts = readCsv(exported, again);
    FUZZ_REQUIRE(againCounts.skipped == 0, "nothing exported is skipped on import");
    FUZZ_REQUIRE(sameRecords(again, records), "imported records export and import unchanged");
    // An export writes the stored fields and, for a dated record, its age and days until: with
    // the first found equal, equal derived values mean a second export writes the same bytes.
    for (std::size_t i = 0; i < records.size(); ++i)
        FUZZ_REQUIRE(again[i].age == records[i].age && again[i].daysUntil == records[i].daysUntil,
                     "a second export writes the same bytes");

    RecordList saved;
    std::string mailPath;
    parseRecordsLines(splitTextLines(formatRecordsFile(records, "")), saved, mailPath);
    FUZZ_REQUIRE(sameRecords(saved, records), "imported records survive a save");
    return 0;
}
