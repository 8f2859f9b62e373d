// The CSV file byte for byte, the import's cursor and header rules, the round trip, and the
// atomic write.
#include "exchange/csv_format.h"

#include "core/file_size_limit.h"
#include "core/temp_folder.h"
#include "engine/occurrence.h"
#include "tests/support/record_builder.h"
#include "tests/support/record_printer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace kivo {
namespace {

using test::record;
using test::stored;
using test::TempFolder;

Date ymd(int y, int m, int d) {
    return makeDate(y, m, d);
}

TEST(CsvFormat, WritesTheHeaderAndOneLinePerRecordByteForByte) {
    RecordList records;
    records.append(record("Smith, John", 7, 3, 1980,
                          {.daysInAdvance = 14,
                           .icon = 2,
                           .email = "john@example.com,other@example.com",
                           .infoOnly = true,
                           .leapling = 0}));
    records.append(
        record("Club dinner", 12, 11, 0, {.type = AnnualEvent, .daysInAdvance = 3, .icon = 21}));
    records.append(record("No date", 0, 0, 1990, {.type = 3, .icon = 5, .email = "x@y"}));
    records.append(record("\"Quoted\"", 29, 2, 2000,
                          {.type = 2, .daysInAdvance = 0, .icon = 31, .dontPrint = true}));
    for (PersonRecord& r : records)
        ComputeOccurrence(r, ymd(2025, 3, 6));

    EXPECT_EQ(formatCsv(records),
              "Name,Year,Month,Day,Icon,Warning,Type,Info,DontPrint,Email,Age,Days,Leapling\r\n"
              "Smith John,1980,3,7,2,14,0,1,0,john@example.com,other@example.com,45,1,0\r\n"
              "Club dinner,0,11,12,21,3,1,0,0,,-1,251,1\r\n"
              "No date,1990,0,0,5,7,3,0,0,x@y,-1,-1,1\r\n"
              "\"Quoted\",2000,2,29,31,0,2,0,1,,26,360,1\r\n");

    EXPECT_EQ(formatCsv(RecordList{}),
              "Name,Year,Month,Day,Icon,Warning,Type,Info,DontPrint,Email,Age,Days,Leapling\r\n");
}

TEST(CsvFormat, ImportReadsEachLineWithTheCursorRule) {
    struct Case {
        const char* line;
        const char* name;
        int year, month, day, icon, warning, type;
        bool info, dontPrint;
        const char* email;
        int leapling;
    };
    const Case cases[] = {
        {"Ann,1980,3,7,2,14,0,0,0,,45,12,1", "Ann", 1980, 3, 7, 2, 14, 0, false, false, "", 1},
        // Too few fields: the last one present repeats, the e-mail is empty.
        {"Bob,1975,5,20", "Bob", 1975, 5, 20, 20, 20, 20, false, false, "", 20},
        // Extra fields are ignored; numbers read as atoi reads them.
        {"\"Cy\",  12x,+4,-0009,7,1,3,1,1,c@d,1,2,0,extra,more", "\"Cy\"", 12, 4, -9, 7, 1, 3, true,
         true, "c@d", 0},
        // Info and DontPrint are set only by exactly 1.
        {"Di,1,1,1,0,0,0,2,01,e,0,0,", "Di", 1, 1, 1, 0, 0, 0, false, true, "e", 0},
        // No comma at all: an empty name, every number read from the whole line.
        {"12", "", 12, 12, 12, 12, 12, 12, false, false, "", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // The file has no skip year: an imported record has none.
        const PersonRecord expected = record(c.name, c.day, c.month, c.year,
                                             {.type = c.type,
                                              .daysInAdvance = c.warning,
                                              .icon = c.icon,
                                              .email = c.email,
                                              .skipYear = -1,
                                              .infoOnly = c.info,
                                              .dontPrint = c.dontPrint,
                                              .leapling = c.leapling});
        EXPECT_EQ(stored(parseCsvLine(c.line)), expected);
    }
}

// A year the records file cannot hold (it keeps four characters) would change at the next save.
TEST(CsvFormat, ImportSkipsTheFirstLineAndLinesWithoutADate) {
    RecordList records;
    records.append(record("Existing", 1, 1, 2000));
    const CsvImportCounts n =
        readCsv("Lost,1980,3,7,2,14,0,0,0,,45,12,1\n" // the first line is never a record
                "Ann,1980,3,7,2,14,0,0,0,,45,12,1\r\n"
                "\r\n" // empty: day and month 0
                "Bad month,1980,13,7\r\n"
                "Bad day,1980,3,32\r\n"
                "Zero day,1980,3,0,1,1,1\r\n"
                "Year 99999,99999,2,29,1,1,1,1,1,e,1,1,1\r\n" // found by fuzz_csv
                "Year -1000,-1000,2,28\r\n"
                "Year 9999,9999,12,31\r\n"
                "Year -999,-999,1,1\r\n"
                "Last,0,12,31,1,1,1,0,0,l@m,0,0,0" // no line end
                "\x1A"
                "After,1,1,1\r\n", // nothing after a Ctrl-Z
                records);
    EXPECT_EQ(n.added, 4u);
    EXPECT_EQ(n.skipped, 6u);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].name, "Existing");
    EXPECT_EQ(records[1].name, "Ann");
    EXPECT_EQ(records[2].year, 9999);
    EXPECT_EQ(records[3].year, -999);
    EXPECT_EQ(records[4].name, "Last");
    EXPECT_EQ(records[4].email, "l@m");

    RecordList none;
    EXPECT_EQ(readCsv("", none).added, 0u);
    EXPECT_EQ(readCsv("Name,Year\r\n", none).added, 0u);
    EXPECT_TRUE(none.empty());
}

TEST(CsvFormat, ExportThenImportGivesEqualStoredFields) {
    std::mt19937 random(20250306);
    // Whole characters: texts in memory are UTF-8.
    const std::vector<std::string> alphabet = {
        "a", "b", "c", "X", "Y", "Z",  " ",  "\"",       "'",           ".",
        ";", ":", "-", "_", "/", "\\", "\t", "\xC3\xA9", "\xE2\x82\xAC"};
    RecordList original;
    for (int i = 0; i < 500; ++i) {
        std::string name, email;
        for (int k = static_cast<int>(random() % 12); k > 0; --k)
            name += alphabet[random() % alphabet.size()];
        for (int k = static_cast<int>(random() % 6); k > 0; --k)
            email += alphabet[random() % alphabet.size()];
        PersonRecord r =
            record(name, 1 + static_cast<int>(random() % 31), 1 + static_cast<int>(random() % 12),
                   random() % 4 == 0 ? 0 : 1900 + static_cast<int>(random() % 130),
                   {.type = static_cast<int>(random() % 4),
                    .daysInAdvance = static_cast<int>(random() % 366),
                    .icon = static_cast<int>(random() % 32),
                    .email = email,
                    .skipYear = 2020,
                    .infoOnly = random() % 2 == 1,
                    .dontPrint = random() % 2 == 1,
                    .leapling = static_cast<int>(random() % 2)});
        ComputeOccurrence(original.append(std::move(r)), ymd(2025, 3, 6));
    }
    TempFolder folder;
    const std::string path = folder.file("birthdays.csv");
    ASSERT_TRUE(writeCsvFile(path, original));

    RecordList back;
    CsvImportCounts n;
    ASSERT_EQ(readCsvFile(path, back, n), TextReadStatus::Ok);
    ASSERT_EQ(back.size(), original.size());
    EXPECT_EQ(n.skipped, 0u);
    for (std::size_t i = 0; i < back.size(); ++i) {
        SCOPED_TRACE(i);
        // The file keeps no skip year: the imported record has none.
        PersonRecord expected = stored(original[i]);
        expected.skipYear = -1;
        EXPECT_EQ(stored(back[i]), expected);
    }
}

TEST(CsvFormat, ImportDecodesEachFileByItsOwnEncoding) {
    std::string everyHighByte;
    for (int b = 0x80; b <= 0xFF; ++b)
        everyHighByte += static_cast<char>(b);
    const std::string header = "Name,Year,Month,Day,Icon,Warning,Type,Info,DontPrint,Email,Age,"
                               "Days,Leapling\r\n";
    struct Case {
        std::string file;
        std::string name, email;
    };
    const Case cases[] = {
        {header + "J\xF6rg,1980,3,7,2,14,0,0,0,j\xF6rg@x.de,45,12,1\r\n", "J\xC3\xB6rg",
         "j\xC3\xB6rg@x.de"},
        {"\xEF\xBB\xBF" + header + "J\xC3\xB6rg,1980,3,7,2,14,0,0,0,\xE2\x82\xAC,45,12,1\r\n",
         "J\xC3\xB6rg", "\xE2\x82\xAC"},
        {header + everyHighByte + ",1980,3,7,2,14,0,0,0,,45,12,1\r\n",
         decodeText(everyHighByte, TextEncoding::Windows1252), ""},
    };
    TempFolder folder;
    const std::string path = folder.file("import.csv");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeBytes(path, c.file);
        RecordList fromFile, fromText;
        CsvImportCounts n;
        ASSERT_EQ(readCsvFile(path, fromFile, n), TextReadStatus::Ok);
        readCsv(c.file, fromText);
        for (const RecordList* read : {&fromFile, &fromText}) {
            ASSERT_EQ(read->size(), 1u);
            EXPECT_EQ((*read)[0].name, c.name);
            EXPECT_EQ((*read)[0].email, c.email);
        }
    }
}

TEST(CsvFormat, FileErrorsGiveTheReasonAndAFailedWriteLeavesTheOldFile) {
    TempFolder folder;
    RecordList records;
    records.append(record("Ann", 7, 3, 1980));

    RecordList read;
    CsvImportCounts n;
    std::string error;
    EXPECT_EQ(readCsvFile(folder.file("missing.csv"), read, n, &error), TextReadStatus::CannotOpen);
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(readCsvFile(folder.prefix(), read, n, &error), TextReadStatus::CannotOpen);
    EXPECT_FALSE(error.empty());

    // A write into a folder that does not exist fails and leaves nothing behind.
    error.clear();
    EXPECT_FALSE(writeCsvFile(folder.file("no/such/folder.csv"), records, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(folder.entryCount(), 0u);

#if defined(KIVO_HAVE_FILE_SIZE_LIMIT)
    // A disk that fills part-way: the old file keeps its bytes and no temporary file remains.
    const std::string old = folder.file("old.csv");
    test::writeBytes(old, "old content");
    RecordList many;
    for (int i = 0; i < 2000; ++i)
        many.append(record("Somebody with a long name", 7, 3, 1980));
    {
        test::FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        error.clear();
        EXPECT_FALSE(writeCsvFile(old, many, &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(test::readBytes(old), "old content");
    EXPECT_EQ(folder.entryCount(), 1u);
#endif
}

} // namespace
} // namespace kivo
