// Fuzzes the records file reader: the file reader and the in-memory reader agree, the due-test
// pass agrees with the full one, the quick due check of a run's start decides as the full list
// does, and what was read is written back and read again unchanged.
#include "core/records_file.h"
#include "core/text_file.h"
#include "engine/occurrence.h"
#include "fuzz_support.h"

using namespace kivo;
using namespace kivo::fuzz;

namespace {

bool sameDueFields(const PersonRecord& due, const PersonRecord& full) {
    return due.day == full.day && due.month == full.month && due.skipYear == full.skipYear &&
           due.daysInAdvance == full.daysInAdvance && due.infoOnly == full.infoOnly &&
           due.leapling == full.leapling;
}

// Whether any record of the fully read list is due on `today`, as the reminder window finds.
bool anyDueInList(const RecordList& records, Date today) {
    for (const PersonRecord& stored : records) {
        PersonRecord record = stored;
        ComputeOccurrence(record, today);
        if (isUpcomingDue(record))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    const TextEncoding encoding = fileEncoding(bytes);

    // The lines one by one, each read in the file's encoding.
    RecordList fromLines;
    std::string mailFromLines;
    for (const std::string& line : splitTextLines(bytes)) {
        if (!line.empty() && line[0] == '#')
            continue;
        std::string head = line.substr(0, 9);
        for (char& c : head)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (head == "mailpath=") {
            mailFromLines = decodeText(std::string_view(line).substr(9), encoding);
            continue;
        }
        fromLines.append(parseRecordLine(line, encoding));
    }

    const std::string path = scratchFile("kivos.ini", bytes);
    RecordsFileReader reader;
    FUZZ_REQUIRE(reader.open(path) == TextReadStatus::Ok, "an ordinary file opens");
    RecordList fromFile;
    std::string mailFromFile;
    reader.appendRest(fromFile, mailFromFile);
    FUZZ_REQUIRE(reader.status() == TextReadStatus::Ok, "an ordinary file reads to its end");
    FUZZ_REQUIRE(reader.outcome().encoding == encoding, "the file's encoding is found");
    FUZZ_REQUIRE(sameRecords(fromFile, fromLines), "file reader and line reader agree");
    FUZZ_REQUIRE(mailFromFile == mailFromLines, "file reader and line reader agree on mailpath");

    // The quick pass of the log-on check reads the same due fields as the full read.
    FUZZ_REQUIRE(reader.rewind(), "the file reads again");
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

    // The quick due check of a run's start decides as the whole list does, on days around the
    // turn of the year, a leap day and an ordinary day, whether the file is mapped in one piece
    // or page by page (so that lines cross from one window into the next).
    using namespace std::chrono;
    const Date days[] = {2027y / January / 1,   2027y / December / 31, 2028y / February / 28,
                         2028y / February / 29, 2027y / March / 1,     2026y / July / 15};
    const std::size_t variant = size % 6;
    const ByteMarking markings[] = {ByteMarking::Plain, ByteMarking::Sse2, ByteMarking::Avx2,
                                    ByteMarking::Widest};
    for (const Date today : {days[variant], days[(variant + 3) % 6]}) {
        chooseByteMarking(markings[(size / 2 + static_cast<unsigned>(today.day())) % 4]);
        RecordsFileReader check;
        check.setMapWindow(size % 2 == 0 ? 4096 : std::size_t{4} << 20);
        FUZZ_REQUIRE(check.open(path) == TextReadStatus::Ok, "the file opens for the due check");
        FUZZ_REQUIRE(anyUpcomingDue(check, today) == anyDueInList(fromFile, today),
                     "the quick due check agrees with the record list");
        FUZZ_REQUIRE(check.status() == TextReadStatus::Ok, "the due check reads the file");
    }

    // What was read survives a save in the file's encoding and the next start unchanged, and so
    // does what that start reads through the next save; from there on a save writes the same bytes.
    const std::string saved = formatRecordsFile(fromFile, mailFromFile, encoding);
    FUZZ_REQUIRE(saved.rfind(std::string(kRecordsHeader) + "\r\n", 0) == 0, "header first");
    RecordsFileReader again;
    FUZZ_REQUIRE(again.open(scratchFile("saved.ini", saved)) == TextReadStatus::Ok, "saved opens");
    RecordList read;
    std::string mailRead;
    again.appendRest(read, mailRead);
    FUZZ_REQUIRE(sameRecords(read, fromFile), "records survive a save");
    FUZZ_REQUIRE(mailRead == mailFromFile, "mail command survives a save");
    // A save depends only on the stored fields, the mail command and the encoding, so with the
    // first two found equal only another encoding found on reading can make a second save differ.
    // It does for a Windows-1252 file whose save holds no byte above 0x7F (its texts plain or
    // escaped): that reads back as UTF-8, and the next save writes the escaped characters as they
    // are. The records stay the same, and the save after that writes the same bytes.
    if (again.outcome().encoding != encoding) {
        const std::string second = formatRecordsFile(read, mailRead, again.outcome().encoding);
        RecordsFileReader third;
        FUZZ_REQUIRE(third.open(scratchFile("second.ini", second)) == TextReadStatus::Ok,
                     "the second save opens");
        RecordList readThird;
        std::string mailThird;
        third.appendRest(readThird, mailThird);
        FUZZ_REQUIRE(sameRecords(readThird, fromFile) && mailThird == mailFromFile,
                     "records survive a second save");
        FUZZ_REQUIRE(formatRecordsFile(readThird, mailThird, third.outcome().encoding) == second,
                     "a third save writes the same bytes as the second");
    }
    return 0;
}
