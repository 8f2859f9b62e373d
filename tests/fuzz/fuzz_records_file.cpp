// Fuzzes the records file reader: the file reader and the in-memory reader agree, the due-test
// pass agrees with the full one, and what was read is written back and read again unchanged.
#include "core/records_file.h"
#include "core/text_file.h"
#include "fuzz_support.h"

using namespace kivo;
using namespace kivo::fuzz;

namespace {

bool sameDueFields(const PersonRecord& due, const PersonRecord& full) {
    return due.day == full.day && due.month == full.month && due.skipYear == full.skipYear &&
           due.daysInAdvance == full.daysInAdvance && due.infoOnly == full.infoOnly &&
           due.leapling == full.leapling;
}

std::size_t recordLineCount(std::string_view bytes) {
    std::size_t count = 0;
    for (const std::string& line : splitTextLines(bytes)) {
        const bool comment = !line.empty() && line[0] == '#';
        std::string head = line.substr(0, 9);
        for (char& c : head)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (!comment && head != "mailpath=")
            ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);

    RecordList fromMemory;
    std::string mailFromMemory;
    parseRecordsLines(splitTextLines(bytes), fromMemory, mailFromMemory);
    FUZZ_REQUIRE(fromMemory.size() == recordLineCount(bytes),
                 "one record per line that is neither a comment nor a mail command");

    const std::string path = scratchFile("kivos.ini", bytes);
    RecordList fromFile;
    std::string mailFromFile;
    FUZZ_REQUIRE(readRecordsFile(path, fromFile, mailFromFile), "a readable file reads to its end");
    FUZZ_REQUIRE(sameRecords(fromFile, fromMemory), "file reader and line reader agree");
    FUZZ_REQUIRE(mailFromFile == mailFromMemory, "file reader and line reader agree on mailpath");

    // The quick pass of the log-on check reads the same due fields as the full read.
    RecordsFileReader reader;
    FUZZ_REQUIRE(reader.open(path) == TextReadStatus::Ok, "file opens again");
    PersonRecord due;
    std::string mailFromPass;
    std::size_t index = 0;
    while (reader.next(due, mailFromPass, RecordFields::DueTest)) {
        FUZZ_REQUIRE(index < fromFile.size(), "due pass gives no extra record");
        FUZZ_REQUIRE(sameDueFields(due, fromFile[index]), "due pass reads the due fields alike");
        ++index;
    }
    FUZZ_REQUIRE(index == fromFile.size() && reader.status() == TextReadStatus::Ok,
                 "due pass sees every record");

    // What was read survives a save and the next start unchanged, and a second save is identical.
    const std::string saved = formatRecordsFile(fromFile, mailFromFile);
    FUZZ_REQUIRE(saved.rfind(std::string(kRecordsHeader) + "\r\n", 0) == 0, "header first");
    RecordList again;
    std::string mailAgain;
    parseRecordsLines(splitTextLines(saved), again, mailAgain);
    FUZZ_REQUIRE(sameRecords(again, fromFile), "records survive a save");
    FUZZ_REQUIRE(mailAgain == mailFromFile, "mail command survives a save");
    FUZZ_REQUIRE(formatRecordsFile(again, mailAgain) == saved,
                 "a second save writes the same bytes");
    return 0;
}
