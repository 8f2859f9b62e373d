// Fuzzes saving made-up records: every record whose date the file can hold (day and month of two
// characters, a year of four) is read back exactly, whatever bytes its name and e-mail hold, and a
// record of plain texts is written in the classic line form.
#include "core/records_file.h"
#include "core/text_file.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace kivo;
using namespace kivo::fuzz;

namespace {

bool plainText(const std::string& text) {
    for (const char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == ' ' || c == '@' || c == '.'))
            return false;
    return true;
}

std::string classicLine(const PersonRecord& r) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%s,%02i%02i%04i,%i,%i,%i,%i,%i,%s,%i,%i,", r.name.c_str(),
                  r.day, r.month, r.year, r.icon, r.skipYear, r.daysInAdvance, r.type,
                  r.infoOnly ? 1 : 0, r.email.c_str(), r.dontPrint ? 1 : 0, r.leapling);
    return buffer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string mailPath = in.ConsumeRandomLengthString(64);
    // The mail command is a line of its own: it cannot hold a line end or the end-of-file mark.
    std::erase_if(mailPath, [](char c) { return c == '\n' || c == '\r' || c == '\x1A'; });

    RecordList records;
    while (in.remaining_bytes() > 0 && records.size() < 64) {
        PersonRecord r;
        r.name = in.ConsumeRandomLengthString(40);
        r.email = in.ConsumeRandomLengthString(40);
        r.day = in.ConsumeIntegralInRange(-9, 99);
        r.month = in.ConsumeIntegralInRange(-9, 99);
        r.year = in.ConsumeIntegralInRange(-999, 9999);
        r.icon = in.ConsumeIntegral<int>();
        r.skipYear = in.ConsumeIntegral<int>();
        r.daysInAdvance = in.ConsumeIntegral<int>();
        r.type = in.ConsumeIntegral<int>();
        r.infoOnly = in.ConsumeBool();
        r.dontPrint = in.ConsumeBool();
        r.leapling = in.ConsumeIntegral<int>();
        records.append(std::move(r));
    }

    const std::string saved = formatRecordsFile(records, mailPath);
    RecordList read;
    std::string mailRead;
    parseRecordsLines(splitTextLines(saved), read, mailRead);
    FUZZ_REQUIRE(sameRecords(read, records), "every record reads back as saved");
    FUZZ_REQUIRE(mailRead == mailPath, "the mail command reads back as saved");

    for (const PersonRecord& r : records)
        if (plainText(r.name) && plainText(r.email) && r.name.size() < 100)
            FUZZ_REQUIRE(formatRecordLine(r) == classicLine(r),
                         "plain records keep the classic form");
    return 0;
}
