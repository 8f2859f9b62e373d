// The records file: exact bytes written, tolerant reading, the escape for unwritable values, and
// saving that survives a failing disk.
#include "core/records_file.h"

#include "core/text_file.h"
#include "file_size_limit.h"
#include "temp_folder.h"
#include "tests/support/record_builder.h"
#include "tests/support/record_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace kivo {
namespace {

using test::readBytes;
using test::record;
using test::TempFolder;
using test::writeBytes;

const std::string kHeaderLine = std::string(kRecordsHeader) + "\r\n";

TEST(RecordsFileWriter, WritesTheFileByteForByte) {
    RecordList records;
    records.append(record("Anna Berg", 7, 3, 1961,
                          {.daysInAdvance = 14, .icon = 2, .email = "anna@example.org"}));
    records.append(record("Smith, John", 29, 2, 1980,
                          {.type = 3,
                           .icon = 12,
                           .skipYear = 2026,
                           .infoOnly = true,
                           .dontPrint = true,
                           .leapling = 0}));
    records.append(
        record("Say \"hi\"", -1, -1, -1, {.daysInAdvance = 0, .icon = -1, .leapling = -1}));
    records.append(parseRecordLine("")); // the record an empty line gives
    records.append(
        record("100% Pat \xC3\xA9t\xC3\xA9", 1, 12, 0,
               {.type = 1, .daysInAdvance = 365, .icon = 31, .email = "pat@example.org"}));

    const std::string expected =
        kHeaderLine + "mailpath=mutt -s Hello %s\r\n"
                      "Anna Berg,07031961,2,-1,14,0,0,anna@example.org,0,1,\r\n"
                      "\"Smith, John\",29021980,12,2026,7,3,1,,1,0,\r\n"
                      "Say \"hi\",-1-1-001,-1,-1,0,0,0,,0,-1,\r\n"
                      ",00000000,0,0,0,0,0,,0,1,\r\n"
                      "100% Pat \xC3\xA9t\xC3\xA9,01120000,31,-1,365,1,0,pat@example.org,0,1,\r\n";
    EXPECT_EQ(formatRecordsFile(records, "mutt -s Hello %s"), expected);

    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    std::string error;
    ASSERT_TRUE(writeRecordsFile(path, records, "mutt -s Hello %s", &error)) << error;
    EXPECT_EQ(readBytes(path), expected);
}

TEST(RecordsFileWriter, EmptyMailPathWritesNoMailLine) {
    RecordList records;
    EXPECT_EQ(formatRecordsFile(records, ""), kHeaderLine);
}

TEST(RecordsFileReader, ReadsEveryKindOfLine) {
    const std::string file = kHeaderLine +
                             "MailPath=first %s\r\n"
                             "Anna Berg,07031961,2,-1,14,0,0,anna@example.org,0,1,\r\n"
                             "\r\n"
                             "no commas here\r\n"
                             "Old Style,29021976,4,-1,3,0,0,old@example.org,0,\r\n"
                             "Zero Leap,29021976,4,-1,3,0,0,,0,0,\r\n"
                             "No Last Comma,29021976,4,-1,3,0,0,,0,1\r\n"
                             "\"Smith, John\",01011990,1,2025,5,1,1,j@x.org,1,1,\r\n"
                             "# NAME, another comment\r\n"
                             "Blanks,0703 961, 3x,+4,-2, 1,1 ,e,01,1,\r\n"
                             "Short,123,0,0,0,0,0,,0,1,\n" // bare LF
                             "Pct %41,-1-1-001,0,0,0,0,0,%2C,0,1,\r\n"
                             "mailPATH=\r\n";
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    writeBytes(path, file);

    RecordList records;
    records.append(record("Kept", 1, 1, 2000, {.daysInAdvance = 0, .icon = 0}));
    std::string mailPath = "old";
    ASSERT_TRUE(readRecordsFile(path, records, mailPath));
    EXPECT_EQ(mailPath, ""); // the later, empty mail line wins
    ASSERT_EQ(records.size(), 11u);

    EXPECT_EQ(records[0].name, "Kept"); // the list is appended to, not emptied
    EXPECT_EQ(records[1], record("Anna Berg", 7, 3, 1961,
                                 {.daysInAdvance = 14, .icon = 2, .email = "anna@example.org"}));
    // An empty line is a record: empty name, date 0/0/0, zeros, LEAPLING 1.
    EXPECT_EQ(records[2], record("", 0, 0, 0, {.daysInAdvance = 0, .icon = 0, .skipYear = 0}));
    // Without any comma, no field is found at all, not even LEAPLING.
    EXPECT_EQ(records[3],
              record("", 0, 0, 0, {.daysInAdvance = 0, .icon = 0, .skipYear = 0, .leapling = 0}));
    EXPECT_EQ(records[4].leapling, 1); // older format without LEAPLING: "March 1"
    EXPECT_EQ(records[4].email, "old@example.org");
    EXPECT_EQ(records[5].leapling, 0);
    EXPECT_EQ(records[6].leapling, 0); // last field without its comma reads as 0
    EXPECT_EQ(records[6].name, "No Last Comma");
    EXPECT_EQ(records[7], record("Smith, John", 1, 1, 1990,
                                 {.type = 1,
                                  .daysInAdvance = 5,
                                  .icon = 1,
                                  .email = "j@x.org",
                                  .skipYear = 2025,
                                  .infoOnly = true,
                                  .dontPrint = true}));
    // atoi rules, and flags that are "1" exactly or else 0.
    EXPECT_EQ(records[8],
              record("Blanks", 7, 3, 961,
                     {.type = 1, .daysInAdvance = -2, .icon = 3, .email = "e", .skipYear = 4}));
    EXPECT_EQ(records[9].day, 12);
    EXPECT_EQ(records[9].month, 3);
    EXPECT_EQ(records[9].year, 123);
    // Without our marker, '%' sequences are the user's own text.
    EXPECT_EQ(records[10], record("Pct %41", -1, -1, -1,
                                  {.daysInAdvance = 0, .icon = 0, .email = "%2C", .skipYear = 0}));
}

TEST(RecordsFileReader, MalformedQuotesStillGiveOneRecordEach) {
    std::string mailPath;
    RecordList records;
    parseRecordsLines({"\"", "\"Unclosed,01011990,1,", "\"Quoted\"", "\"a\"x07031961,5,"}, records,
                      mailPath);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[2].name, "Quoted");
    EXPECT_EQ(records[2].leapling, 1);
    // The character after the closing quote is skipped whatever it is.
    EXPECT_EQ(records[3].name, "a");
    EXPECT_EQ(records[3].day, 7);
    EXPECT_EQ(records[3].icon, 5);
}

TEST(RecordsFileReader, MissingFileLeavesEverythingAsItWas) {
    TempFolder folder;
    RecordList records;
    records.append(PersonRecord{});
    std::string mailPath = "keep";
    EXPECT_FALSE(readRecordsFile(folder.file("absent.ini"), records, mailPath));
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(mailPath, "keep");
}

TEST(RecordsFileRoundTrip, QuotesCommasAndMailCase) {
    RecordList records;
    records.append(record("Smith, John", 1, 2, 1950, {.daysInAdvance = 4, .icon = 3}));
    records.append(record("#1, best", 1, 2, 1950, {.daysInAdvance = 4, .icon = 3}));
    records.append(record("MailPath=x, y", 1, 2, 1950, {.daysInAdvance = 4, .icon = 3}));
    records.append(
        record("Ends in CR\r", 1, 2, 1950, {.daysInAdvance = 4, .icon = 3, .email = "cr\r"}));
    const std::string bytes = formatRecordsFile(records, "");
    // None of these needs more than the quotes of the plain format, but a CR, which ends a line
    // on reading, needs the escape.
    EXPECT_EQ(bytes, kHeaderLine + "\"Smith, John\",01021950,3,-1,4,0,0,,0,1,\r\n"
                                   "\"#1, best\",01021950,3,-1,4,0,0,,0,1,\r\n"
                                   "\"MailPath=x, y\",01021950,3,-1,4,0,0,,0,1,\r\n"
                                   "Ends in CR%0D,01021950,3,-1,4,0,0,cr%0D,0,1,escaped,\r\n");
    RecordList back;
    std::string mailPath;
    parseRecordsLines(splitTextLines(bytes), back, mailPath);
    ASSERT_EQ(back.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(back[i], records[i]);
}

// Values the plain format would lose: each must come back unchanged, and the line must still read
// right, apart from the two texts, for a reader that stops at LEAPLING.
TEST(RecordsFileEscape, UnwritableValuesSurviveAndOlderReadersKeepTheNumbers) {
    const std::pair<std::string, std::string> cases[] = {
        {"#hashtag", ""},
        {"\"quoted\" start", ""},
        {"\"", ""},
        {"Smith, \"Johnny\" John", ""},
        {"mailpath=evil", ""},
        {"MAILPATH=evil too", ""},
        {"line\nfeed", ""},
        {"ctrl\x1Az", ""},
        {"plain", "a,b@example.org"},
        {"plain", "x\ny"},
        {"plain", "z\x1A"},
        {"#50% \"off\", mailpath=\r\n", "%,\"\r\n\x1A%41"},
    };
    for (const auto& [name, email] : cases) {
        SCOPED_TRACE(name + " / " + email);
        const PersonRecord written = record(name, 29, 2, 1984,
                                            {.type = 3,
                                             .daysInAdvance = 21,
                                             .icon = 17,
                                             .email = email,
                                             .skipYear = 2027,
                                             .infoOnly = true,
                                             .dontPrint = true,
                                             .leapling = 0});
        const std::string line = formatRecordLine(written);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_EQ(line.find('\x1A'), std::string::npos);

        RecordList back;
        std::string mailPath = "unchanged";
        parseRecordsLines({line}, back, mailPath);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(mailPath, "unchanged");
        EXPECT_EQ(back[0], written);

        const std::string marker = "escaped,";
        ASSERT_GE(line.size(), marker.size());
        ASSERT_EQ(line.substr(line.size() - marker.size()), marker);
        const PersonRecord older = parseRecordLine(line.substr(0, line.size() - marker.size()));
        PersonRecord expected = written;
        expected.name = older.name;
        expected.email = older.email;
        EXPECT_EQ(older, expected);
    }
}

TEST(RecordsFileEscape, PlainLinesNeverDecodeEvenWhenShiftedFieldsSayEscaped) {
    // Written by a writer without the escape: the e-mail's commas shift its pieces into the
    // fields after LEAPLING.
    const PersonRecord r = parseRecordLine("%41,01011990,1,-1,5,0,0,x,0,1,escaped,0,1,");
    EXPECT_EQ(r.name, "%41");
    EXPECT_EQ(r.email, "x");
    EXPECT_EQ(r.leapling, 1);
}

TEST(RecordsFileEscape, EscapedLineFormat) {
    const PersonRecord escaped =
        record("#1 fan, 100%", 5, 6, 1970, {.daysInAdvance = 2, .icon = 1, .email = "a,b"});
    EXPECT_EQ(formatRecordLine(escaped),
              "%231 fan%2C 100%25,05061970,1,-1,2,0,0,a%2Cb,0,1,escaped,");
    const PersonRecord mail = record("Mailpath=", 5, 6, 1970, {.daysInAdvance = 2, .icon = 1});
    EXPECT_EQ(formatRecordLine(mail), "%4Dailpath=,05061970,1,-1,2,0,0,,0,1,escaped,");
}

// The line the plain format gives, written independently of the writer under test.
std::string plainLine(const PersonRecord& r) {
    std::string name = r.name;
    if (name.find(',') != std::string::npos) {
        std::erase(name, '"');
        name = "\"" + name + "\"";
    }
    char numbers[200];
    std::snprintf(numbers, sizeof numbers, ",%02i%02i%04i,%i,%i,%i,%i,%i,", r.day, r.month, r.year,
                  r.icon, r.skipYear, r.daysInAdvance, r.type, r.infoOnly ? 1 : 0);
    char tail[40];
    std::snprintf(tail, sizeof tail, ",%i,%i,", r.dontPrint ? 1 : 0, r.leapling);
    return name + numbers + r.email + tail;
}

TEST(RecordsFileRoundTrip, TenThousandHostileRecordsComeBackUnchanged) {
    // Pieces that need no escape, and pieces that may (whether they do depends on where they
    // land, which is the writer's business; safe-only texts must never be escaped).
    // Bytes that are not UTF-8 cannot be carried plainly by a UTF-8 file.
    const std::vector<std::string> safe = {
        "Anna", " ",   "Smith", "O'Neil", "Zo\xC3\xAB", "\xC3\xA9t\xC3\xA9",
        "50%",  "%41", "=",     "m",      "#"};
    const std::vector<std::string> hostile = {
        ",",    "\"", "#",   "mailpath=", "MailPath=",          "\x1A", "\n",
        "\r\n", "%",  "%2C", "\xFF",      std::string(1, '\0'), "x\ry", "\xE9t\xE9"};
    std::mt19937 random(20260306);
    auto pick = [&random](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    auto number = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto text = [&](bool onlySafe) {
        std::string out;
        for (int n = number(0, 5); n > 0; --n)
            out += (onlySafe || number(0, 1) == 0) ? pick(safe) : pick(hostile);
        // A leading '#' makes a comment unless the name gets quoted; keep safe texts safe.
        if (onlySafe && !out.empty() && out[0] == '#' && out.find(',') == std::string::npos)
            out.insert(0, "n");
        return out;
    };

    RecordList records;
    std::vector<bool> mustBePlain;
    for (int i = 0; i < 10000; ++i) {
        const bool onlySafe = number(0, 3) == 0;
        PersonRecord r = record(text(onlySafe), number(-1, 31), number(-1, 12),
                                number(0, 3) == 0 ? 0 : number(-999, 9999),
                                {.type = number(0, 3),
                                 .daysInAdvance = number(0, 365),
                                 .icon = number(-1, 31),
                                 .email = text(onlySafe),
                                 .skipYear = number(0, 1) ? -1 : number(1900, 2100),
                                 .infoOnly = number(0, 1) == 1,
                                 .dontPrint = number(0, 1) == 1,
                                 .leapling = number(-1, 1)});
        records.append(std::move(r));
        mustBePlain.push_back(onlySafe);
    }
    const std::string mailPath = "mailer --to=%s, \"quoted\" 100%";

    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    std::string error;
    ASSERT_TRUE(writeRecordsFile(path, records, mailPath, &error)) << error;

    const std::vector<std::string> lines = splitTextLines(readBytes(path));
    ASSERT_EQ(lines.size(), records.size() + 2);
    std::size_t plainChecked = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!mustBePlain[i])
            continue;
        ++plainChecked;
        ASSERT_EQ(lines[i + 2], plainLine(records[i])) << "record " << i;
    }
    EXPECT_GT(plainChecked, 1000u);

    RecordList back;
    std::string mailBack;
    ASSERT_TRUE(readRecordsFile(path, back, mailBack));
    EXPECT_EQ(mailBack, mailPath);
    ASSERT_EQ(back.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_EQ(back[i], records[i]);
        if (::testing::Test::HasFailure())
            break;
    }
    // And a second save of what was read gives the same bytes.
    EXPECT_EQ(formatRecordsFile(back, mailBack), readBytes(path));
}

TEST(RecordsFileWriter, AfterDeletingFromTheMiddleTheOthersAreSavedInOrder) {
    RecordList records;
    for (const char* name : {"First", "Middle", "Last"})
        records.append(record(name, 1, 1, 2000, {.daysInAdvance = 0, .icon = 0}));
    records.remove(&records[1]);
    EXPECT_EQ(formatRecordsFile(records, ""), kHeaderLine + "First,01012000,0,-1,0,0,0,,0,1,\r\n"
                                                            "Last,01012000,0,-1,0,0,0,,0,1,\r\n");
}

// Reads a whole records file the way a run does, with what it found out about the file.
RecordsFileOutcome readWithOutcome(const std::string& path, RecordList& records,
                                   std::string& mailPath) {
    RecordsFileReader reader;
    reader.open(path);
    reader.appendRest(records, mailPath);
    return reader.outcome();
}

TEST(RecordsFileEncoding, EachFileKeepsItsEncodingAndEveryUnchangedByte) {
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    std::string everyHighByte;
    for (int b = 0x80; b <= 0xFF; ++b)
        everyHighByte += static_cast<char>(b);
    const std::string lukasz = "\xC5\x81ukasz"; // no Windows-1252 byte for the first letter

    struct Case {
        std::string file;       // as written by the program, both texts carried plainly
        TextEncoding encoding;  // what the file is taken for
        std::string joerg;      // the first name as shown
        std::string lukaszLine; // how the added record is written
    };
    const Case cases[] = {
        {kHeaderLine + "mailpath=mail \xF6 %s\r\n" +
             "J\xF6rg,01021990,4,-1,7,0,0,j\xF6rg@x.de,0,1,\r\n" + everyHighByte +
             ",02031991,1,-1,3,0,0," + everyHighByte + ",0,1,\r\n",
         TextEncoding::Windows1252, "J\xC3\xB6rg",
         "%C5%81ukasz,03041992,0,-1,0,0,0,%C5%82@x.pl,0,1,escaped,\r\n"},
        {kHeaderLine + "mailpath=mail \xC3\xB6 %s\r\n" +
             "J\xC3\xB6rg,01021990,4,-1,7,0,0,j\xC3\xB6rg@x.de,0,1,\r\n" +
             "\xE2\x82\xAC,02031991,1,-1,3,0,0,\xE2\x82\xAC,0,1,\r\n",
         TextEncoding::Utf8, "J\xC3\xB6rg", lukasz + ",03041992,0,-1,0,0,0,\xC5\x82@x.pl,0,1,\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.joerg);
        writeBytes(path, c.file);
        RecordList records;
        std::string mailPath;
        const RecordsFileOutcome outcome = readWithOutcome(path, records, mailPath);
        ASSERT_EQ(outcome.state, RecordsFileState::Read);
        EXPECT_EQ(outcome.encoding, c.encoding);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].name, c.joerg);
        EXPECT_EQ(mailPath, "mail \xC3\xB6 %s");
        for (const PersonRecord& r : records) // shown as the characters they are
            EXPECT_TRUE(isValidUtf8(r.name) && isValidUtf8(r.email));

        // Saved unchanged: the very same bytes.
        EXPECT_EQ(formatRecordsFile(records, mailPath, outcome.encoding), c.file);

        // A new record the file's encoding cannot carry is escaped, the rest stays as it was.
        records.append(
            record(lukasz, 3, 4, 1992, {.daysInAdvance = 0, .icon = 0, .email = "\xC5\x82@x.pl"}));
        ASSERT_TRUE(writeRecordsFile(path, records, mailPath, nullptr, outcome.encoding));
        EXPECT_EQ(readBytes(path), c.file + c.lukaszLine);
        RecordList reread;
        std::string rereadMail;
        EXPECT_EQ(readWithOutcome(path, reread, rereadMail).encoding, c.encoding);
        ASSERT_EQ(reread.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(reread[i], records[i]);
    }
}

// Found by fuzz_records_file: a Windows-1252 file whose only non-UTF-8 byte sits in a comment
// would be saved as bytes that read back as UTF-8, changing "\xC3\xA9" (two characters there)
// into one. Such a file is saved in UTF-8 and every text reads back the same.
TEST(RecordsFileEncoding, AWindows1252FileThatWouldReadBackAsUtf8IsSavedInUtf8) {
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    writeBytes(path, "# caf\xE9\r\n\xC3\xA9t\xE9,01021990,4,-1,7,0,0,,0,1,\r\n"
                     "Ann\xC3\xA9,02031991,1,-1,3,0,0,,0,1,\r\n");
    RecordList records;
    std::string mailPath;
    const RecordsFileOutcome outcome = readWithOutcome(path, records, mailPath);
    ASSERT_EQ(outcome.encoding, TextEncoding::Windows1252);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].name, "Ann\xC3\x83\xC2\xA9");
    records.remove(&records[0]); // the last byte that was not UTF-8 goes with it

    ASSERT_TRUE(writeRecordsFile(path, records, mailPath, nullptr, outcome.encoding));
    RecordList reread;
    std::string rereadMail;
    EXPECT_EQ(readWithOutcome(path, reread, rereadMail).encoding, TextEncoding::Utf8);
    ASSERT_EQ(reread.size(), 1u);
    EXPECT_EQ(reread[0], records[0]);
}

// Found by fuzz_records_file: a Windows-1252 file whose only bytes above 0x7F sit in a date, with
// a name holding a character that encoding lacks (so written escaped), is saved as plain ASCII,
// which reads back as UTF-8. Every record reads back the same; the next save writes the character
// as UTF-8, and the one after that the same bytes again.
TEST(RecordsFileEncoding, AWindows1252FileSavedAsPlainAsciiKeepsItsRecordsThroughTwoSaves) {
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    writeBytes(path, "Anna,0101199\xFF,0,-1,7,0,0,,0,1,\r\n"
                     "%C4%92mil,02031991,1,-1,3,0,0,,0,1,escaped,\r\n");
    RecordList records;
    std::string mailPath;
    ASSERT_EQ(readWithOutcome(path, records, mailPath).encoding, TextEncoding::Windows1252);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].name, "\xC4\x92mil");

    const std::string savedAnna = "Anna,01010199,0,-1,7,0,0,,0,1,\r\n";
    ASSERT_TRUE(writeRecordsFile(path, records, mailPath, nullptr, TextEncoding::Windows1252));
    EXPECT_EQ(readBytes(path),
              kHeaderLine + savedAnna + "%C4%92mil,02031991,1,-1,3,0,0,,0,1,escaped,\r\n");
    for (const char* afterSave : {"plain ASCII", "UTF-8", "UTF-8 again"}) {
        SCOPED_TRACE(afterSave);
        RecordList reread;
        std::string rereadMail;
        const TextEncoding found = readWithOutcome(path, reread, rereadMail).encoding;
        EXPECT_EQ(found, TextEncoding::Utf8);
        ASSERT_EQ(reread.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i)
            EXPECT_EQ(reread[i], records[i]);
        ASSERT_TRUE(writeRecordsFile(path, reread, rereadMail, nullptr, found));
        EXPECT_EQ(readBytes(path),
                  kHeaderLine + savedAnna + "\xC4\x92mil,02031991,1,-1,3,0,0,,0,1,\r\n");
    }
}

TEST(RecordsFileReader, LoneCrAndByteOrderMarkNeitherJoinNorAddRecords) {
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    writeBytes(path, "\xEF\xBB\xBF" + std::string(kRecordsHeader) +
                         "\rAnna,12061996,4,-1,7,0,0,,0,1,\rBert,01011990,2,-1,3,0,0,,0,1,\r");
    RecordList records;
    std::string mailPath;
    ASSERT_TRUE(readRecordsFile(path, records, mailPath));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "Anna");
    EXPECT_EQ(records[0].leapling, 1);
    EXPECT_EQ(records[1].name, "Bert");
    // A CR in a name is escaped, since it would now end the line.
    records[0].name = "An\rna";
    EXPECT_EQ(formatRecordLine(records[0]), "An%0Dna,12061996,4,-1,7,0,0,,0,1,escaped,");
}

#if defined(KIVO_HAVE_FILE_SIZE_LIMIT)
TEST(RecordsFileWriter, FailedSaveKeepsTheOldFileAndSaysWhy) {
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    const std::string old = kHeaderLine + "Anna Berg,07031961,2,-1,14,0,0,,0,1,\r\n";
    writeBytes(path, old);

    RecordList records;
    for (int i = 0; i < 5000; ++i)
        records.append(
            record("Person " + std::to_string(i), 1, 1, 1990, {.daysInAdvance = 0, .icon = 0}));
    bool ok = true;
    std::string error;
    {
        test::FileSizeLimit limit(8192);
        ASSERT_TRUE(limit.active());
        ok = writeRecordsFile(path, records, "", &error);
    }
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(folder.entryCount(), 1u);
}

#endif

// Replaces the steps of every file replacement for as long as it lives.
class ReplaceStepsSwap {
public:
    explicit ReplaceStepsSwap(const FileReplaceSteps& steps) : saved_(fileReplaceSteps()) {
        fileReplaceSteps() = steps;
    }
    ~ReplaceStepsSwap() { fileReplaceSteps() = saved_; }
    ReplaceStepsSwap(const ReplaceStepsSwap&) = delete;
    ReplaceStepsSwap& operator=(const ReplaceStepsSwap&) = delete;

private:
    FileReplaceSteps saved_;
};

// How many bytes the failing write lets through before the disk is "full".
std::size_t gBytesBeforeFailure = 0;

// A save of a realistic file fails underneath it in every way it can: the write stopping at each
// byte in turn, the sync, the rename. Each time the old file stays whole, nothing is left beside
// it and the reason comes back; with the standard steps the same save goes through.
TEST(RecordsFileWriter, ASaveFailingAtAnyByteKeepsTheOldFileWhole) {
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    const std::string old =
        kHeaderLine + "mailpath=mail %s\r\nAnna Berg,07031961,2,-1,14,0,0,,0,1,\r\n";
    RecordList records;
    const char* const names[] = {"Anna Berg", "Smith, John", "#1 fan", "J\xC3\xB6rg", "a\"b,c"};
    for (int i = 0; i < 60; ++i)
        records.append(record(names[i % 5] + std::to_string(i), 1 + i % 28, 1 + i % 12, 1950 + i,
                              {.type = i % 4,
                               .daysInAdvance = i % 30,
                               .icon = i % 32,
                               .email = i % 2 ? "x@y.org" : "",
                               .skipYear = i % 3 ? -1 : 2025,
                               .infoOnly = i % 7 == 0,
                               .dontPrint = i % 5 == 0,
                               .leapling = i % 2}));
    const std::string saved = formatRecordsFile(records, "mail %s");
    ASSERT_GT(saved.size(), 2000u);

    const FileReplaceSteps standard = fileReplaceSteps();
    auto expectOldKept = [&](const FileReplaceSteps& steps, const std::string& reason,
                             const std::string& when) {
        writeBytes(path, old);
        std::string error;
        bool ok = true;
        {
            ReplaceStepsSwap swap(steps);
            ok = writeRecordsFile(path, records, "mail %s", &error);
        }
        ASSERT_FALSE(ok) << when;
        ASSERT_NE(error.find(reason), std::string::npos) << when << ": " << error;
        ASSERT_EQ(readBytes(path), old) << when;
        ASSERT_EQ(folder.entryCount(), 1u) << when << ": the temporary file was left";
    };

    FileReplaceSteps shortWrite = standard;
    shortWrite.write = [](std::FILE* file, const char* bytes, std::size_t size) {
        const std::size_t n = std::fwrite(bytes, 1, std::min(size, gBytesBeforeFailure), file);
        errno = ENOSPC;
        return n;
    };
    const std::string noSpace = std::strerror(ENOSPC);
    for (gBytesBeforeFailure = 0; gBytesBeforeFailure < saved.size(); ++gBytesBeforeFailure)
        expectOldKept(shortWrite, noSpace,
                      "write cut at byte " + std::to_string(gBytesBeforeFailure));

    FileReplaceSteps failedSync = standard;
    failedSync.sync = [](std::FILE* file) {
        std::fflush(file); // the bytes reach the temporary file, the disk then fails
        errno = EIO;
        return false;
    };
    expectOldKept(failedSync, std::strerror(EIO), "sync");

    FileReplaceSteps failedRename = standard;
    failedRename.rename = [](const std::filesystem::path&, const std::filesystem::path&,
                             std::error_code& error) {
        error = std::make_error_code(std::errc::permission_denied);
        return false;
    };
    expectOldKept(failedRename, std::make_error_code(std::errc::permission_denied).message(),
                  "rename");

    std::string error;
    ASSERT_TRUE(writeRecordsFile(path, records, "mail %s", &error)) << error;
    EXPECT_EQ(readBytes(path), saved);
    EXPECT_EQ(folder.entryCount(), 1u);
}

} // namespace
} // namespace kivo
