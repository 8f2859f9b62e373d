// The quick due check of a run's start against the record list: for every form a line can take,
// and wherever it lies in the file, it finds a record due exactly when the fully read list has one.
#include "engine/occurrence.h"

#include "core/records_file.h"
#include "core/temp_folder.h"
#include "tests/support/record_builder.h"
#include "tests/support/record_printer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kivo {
namespace {

using namespace std::chrono;
using namespace std::string_literals;
using test::TempFolder;
using test::writeBytes;

// Whether any record of the file, read whole as the windows read it, is due on `today`.
bool dueInList(const std::string& path, Date today) {
    RecordList records;
    std::string mailPath;
    readRecordsFile(path, records, mailPath);
    for (PersonRecord& record : records) {
        ComputeOccurrence(record, today);
        if (isUpcomingDue(record))
            return true;
    }
    return false;
}

// The quick check's answer, the same whichever way the bytes are marked.
bool quickCheck(const std::string& path, Date today, std::size_t mapWindow) {
    bool answers[4];
    int i = 0;
    for (const ByteMarking marking :
         {ByteMarking::Plain, ByteMarking::Sse2, ByteMarking::Avx2, ByteMarking::Widest}) {
        chooseByteMarking(marking);
        RecordsFileReader file;
        file.setMapWindow(mapWindow);
        EXPECT_EQ(file.open(path), TextReadStatus::Ok);
        answers[i++] = anyUpcomingDue(file, today);
        EXPECT_EQ(file.status(), TextReadStatus::Ok);
    }
    EXPECT_EQ(answers[0], answers[1]);
    EXPECT_EQ(answers[0], answers[2]);
    EXPECT_EQ(answers[0], answers[3]);
    return answers[0];
}

constexpr int kEither = -1; // no claim beyond agreeing with the list

struct Case {
    const char* what;
    std::string line;
    int dueOn10March; // 1 due, 0 not due, or kEither
};

TEST(DueCheck, FindsADueRecordExactlyWhenTheRecordListHasOne) {
    const std::string long_name(300, 'n');
    const Case cases[] = {
        {"due today", "A,10031990,0,-1,0,0,0,a@b.c,0,1,", 1},
        {"within its days of advance warning", "A,15031990,0,-1,7,0,0,,0,1,", 1},
        {"beyond them", "A,20031990,0,-1,7,0,0,,0,1,", 0},
        {"yesterday, a leap year away", "A,09031990,0,-1,365,0,0,,0,1,", 1},
        {"information only", "A,10031990,0,-1,0,0,1,,0,1,", 0},
        {"this year skipped", "A,10031990,0,2027,0,0,0,,0,1,", 0},
        {"another year skipped", "A,10031990,0,2026,0,0,0,,0,1,", 1},
        {"no date", "A,00001990,0,-1,400,0,0,,0,1,", 0},
        {"month 13", "A,10131990,0,-1,400,0,0,,0,1,", 0},
        {"31 February rolls over into March", "A,31021990,0,-1,1,0,0,,0,1,", 0},
        {"31 April counts on 1 May", "A,31041990,0,-1,52,0,0,,0,1,", 1},
        {"quoted name with commas", "\"Doe, John\",10031990,0,-1,0,0,0,,0,1,", 1},
        {"quoted name that reads like a far record",
         "\"A,20031990,0,-1,9,x\",10031990,0,-1,0,0,0,,0,1,", 1},
        {"quoted name shifting the fields", "\"Doe, John,10031990,0,-1,0,0,0,,0,1,", kEither},
        {"quotes inside a plain name", "Jo\"hn,10031990,0,-1,0,0,0,,0,1,", 1},
        {"escaped form", "Doe%2C John,10031990,0,-1,0,0,0,a%2Cb,0,1,escaped,", 1},
        {"comment", "#A,10031990,0,-1,0,0,0,,0,1,", 0},
        {"mail command", "mailpath=A,10031990,0,-1,0,0,0,,0,1,", 0},
        {"mail command in capitals", "MAILPATH=A,10031990,0,-1,0,0,0,,0,1,", 0},
        {"mail command in mixed case", "MailPath=A,10031990,0,-1,0,0,0,,0,1,", 0},
        {"a name that only starts like it", "mailpat,10031990,0,-1,0,0,0,,0,1,", 1},
        {"its letters without the equals sign", "mailpath,10031990,0,-1,0,0,0,,0,1,", 1},
        {"a name starting with M, due", "Maria,10031990,0,-1,0,0,0,,0,1,", 1},
        {"a name starting with M, not due", "Maria,20031990,0,-1,9,0,0,,0,1,", 0},
        {"two digits of advance, exactly enough", "A,19031990,0,-1,09,0,0,,0,1,", 1},
        {"two digits of advance, a day short", "A,20031990,0,-1,09,0,0,,0,1,", 0},
        {"ten days ahead, ten days of advance", "A,20031990,0,-1,10,0,0,,0,1,", 1},
        {"three digits of advance", "A,20031990,0,-1,010,0,0,,0,1,", 1},
        {"no days of advance", "A,10031990,0,-1,,0,0,,0,1,", 1},
        {"a letter for the days of advance", "A,11031990,0,-1,x,0,0,,0,1,", 0},
        {"many short lines before it", "B\nB,1\nB,0101\n,\n,,\nB,02,\nA,10031990,0,-1,0,0,0,,0,1,",
         1},
        {"advance with sign and blank", "A,05041990,0,-1, +30,0,0,,0,1,", 1},
        {"negative advance", "A,10031990,0,-1,-1,0,0,,0,1,", 0},
        {"huge advance", "A,11031990,0,-1,99999999999999,0,0,,0,1,", 1},
        {"advance of ten digits", "A,10041990,0,-1,0000000031,0,0,,0,1,", 1},
        {"short date", "A,1003,0,-1,0,0,0,,0,1,", 1},
        {"three-digit date", "A,103,0,-1,0,0,0,,0,1,", 1},
        {"date with a blank", "A, 1031990,0,-1,30,0,0,,0,1,", kEither},
        {"letters in the date", "A,1O031990,0,-1,30,0,0,,0,1,", kEither},
        {"only the date", "A,10031990,", 1},
        {"date without a comma behind it", "A,10031990", 0},
        {"fewer fields", "A,10031990,0,-1,0", kEither},
        {"no LEAPLING: 29 February counts on 1 March", "A,29021992,0,-1,0,0,0,,0,", 0},
        {"29 February with DONTPRINT cut off", "A,29021992,0,-1,0,0,0,,0", 0},
        {"29 February of a leapling 0", "A,29021992,0,-1,355,0,0,,0,0,", 1},
        {"29 February of a leapling 1", "A,29021992,0,-1,355,0,0,,0,1,", 0},
        {"tab in the name", "A\tB,10031990,0,-1,0,0,0,,0,1,", 1},
        {"NUL in the e-mail", "A,10031990,0,-1,0,0,0,a\0b,0,1,"s, 1},
        {"name longer than the quick look", long_name + ",10031990,0,-1,0,0,0,,0,1,", 1},
        {"e-mail longer than the quick look", "A,10031990,0,-1,0,0,0," + long_name + ",0,1,", 1},
        {"three hundred fields", "A,10031990,0,-1,0" + std::string(300, ','), 1},
        {"only commas", std::string(80, ','), 0},
        {"empty", "", 0},
    };
    const Date today = 2027y / March / 10;
    const Date others[] = {2027y / February / 28, 2027y / March / 1, 2028y / February / 28,
                           2027y / December / 31};
    const std::string filler = "Filler,01011990,3,-1,2,0,0,f@example.org,0,1,";
    TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    for (const Case& c : cases) {
        for (const char* lineEnd : {"\r\n", "\n", "\r"}) {
            // Alone, and behind enough text that it crosses from one page into the next.
            for (const bool crossing : {false, true}) {
                std::string bytes = std::string(kRecordsHeader) + lineEnd;
                if (crossing) {
                    while (bytes.size() < 4000)
                        bytes += filler + lineEnd;
                    bytes += "# " + std::string(4096 - 6 - bytes.size() - 4, '-') + lineEnd;
                }
                bytes += c.line + lineEnd + filler + lineEnd;
                writeBytes(path, bytes);
                SCOPED_TRACE(std::string(c.what) + (crossing ? ", across a page" : "") +
                             ", line end " +
                             (lineEnd[0] == '\n' ? "LF"
                              : lineEnd[1]       ? "CR LF"
                                                 : "CR"));
                const bool inList = dueInList(path, today);
                if (c.dueOn10March != kEither) {
                    EXPECT_EQ(inList, c.dueOn10March == 1);
                }
                EXPECT_EQ(quickCheck(path, today, 4096), inList);
                EXPECT_EQ(quickCheck(path, today, 1 << 20), inList);
                for (const Date other : others)
                    EXPECT_EQ(quickCheck(path, other, 4096), dueInList(path, other));
            }
        }
    }
}

TEST(DueCheck, ReadsTheFileByTheTextRules) {
    const std::string due = "A,10031990,0,-1,0,0,0,,0,1,";
    const std::string notDue = "B,11011990,0,-1,0,0,0,,0,1,";
    const std::string huge(10000, 'x');
    const struct {
        const char* what;
        std::string bytes;
        bool due;
    } cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF" + due, true},
        {"byte-order mark before a quoted name", "\xEF\xBB\xBF\"A, B\",10031990,0,-1,0,0,0,,0,1,",
         true},
        {"Ctrl-Z before the due line", notDue + "\r\n\x1A" + due + "\r\n", false},
        {"Ctrl-Z cutting the due line short",
         "A,1003\x1A"
         "1990,0,-1,0,0,0,,0,1,\r\n",
         false},
        {"Ctrl-Z just after the due line", due + "\x1A", true},
        {"no line end at the end", notDue + "\n" + due, true},
        {"line longer than a page before the due one", huge + ",01011990\r\n" + due, true},
        {"line longer than a page that is due", huge + ",10031990,0,-1,0,0,0,,0,1,", true},
        {"lines longer than a page, one after another",
         huge + "\r\n" + huge + "\n" + huge + "\r" + notDue + "\n" + huge + "\r\n" + due, true},
        {"lone CR between lines", notDue + "\r" + due + "\r", true},
        {"blank lines only", "\r\n\r\n\n\r", false},
        {"empty file", "", false},
    };
    TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path, c.bytes);
        const Date today = 2027y / March / 10;
        EXPECT_EQ(dueInList(path, today), c.due);
        EXPECT_EQ(quickCheck(path, today, 4096), c.due);
        EXPECT_EQ(quickCheck(path, today, 1 << 20), c.due);
    }
}

// Cuts the file short the first time it is asked, as another program could while the check runs.
class CuttingTest final : public DueLineTest {
public:
    explicit CuttingTest(std::string path) : path_(std::move(path)) {}
    bool isDue(std::string_view line) override {
        ++calls;
        if (calls == 1)
            std::filesystem::resize_file(path_, 0);
        return line.starts_with("due");
    }
    int calls = 0;

private:
    std::string path_;
};

TEST(DueCheck, AFileCutShortUnderTheCheckIsReadAgainAsItNowIs) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows reads the file through a buffer, never mapped: a cut takes no "
                    "pages from under the check";
#endif
    TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    std::string bytes;
    while (bytes.size() < 5 * 4096)
        bytes += "A,01011990,0,-1,0,0,0,,0,1,\r\n";
    writeBytes(path, bytes + "due,01011990,0,-1,0,0,0,,0,1,\r\n");
    RecordsFileReader file;
    file.setMapWindow(4096);
    ASSERT_EQ(file.open(path), TextReadStatus::Ok);
    CuttingTest test(path);
    const NearestDays everyDateNear{}; // every line with a date goes to the test
    // The mapped pages vanish with the cut; the check then reads the empty file.
    EXPECT_FALSE(file.findDue(everyDateNear, test));
    EXPECT_EQ(test.calls, 1);
    EXPECT_EQ(file.status(), TextReadStatus::Ok);
}

TEST(ComputeOccurrences, FillsEveryRecordAsComputeOccurrenceDoes) {
    RecordList records;
    for (int leapling : {0, 1, 7})
        for (int month = -1; month <= 13; ++month)
            for (int day = -1; day <= 32; ++day)
                for (int year : {0, 1992, 2030}) {
                    records.append(test::record("", day, month, year, {.leapling = leapling}));
                }
    for (const Date today : {2027y / March / 10, 2028y / February / 29, 2027y / December / 31}) {
        ComputeOccurrences(records, today);
        for (const PersonRecord& record : records) {
            PersonRecord expected = record;
            ComputeOccurrence(expected, today);
            ASSERT_EQ(record, expected) << record.day << "." << record.month;
        }
    }
}

} // namespace
} // namespace kivo
