// The records file read record by record: exactly the records that reading the file's lines one by
// one by the format's rules gives, for hostile records, malformed lines and every number field.
#include "core/records_file.h"

#include "core/number_text.h"
#include "core/text_file.h"
#include "temp_folder.h"
#include "tests/support/record_builder.h"
#include "tests/support/record_printer.h"

#include <gtest/gtest.h>

#include <random>

namespace kivo {
namespace {

using test::record;
using test::TempFolder;
using test::writeBytes;

// The format's reading rules spelled out plainly, one search per field, as an independent oracle
// for the reader under test.
namespace reference {

int hex(char c) {
    const std::string_view digits = "0123456789ABCDEF";
    const char upper = (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    const std::size_t at = digits.find(upper);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Texts are decoded by the whole file's encoding before any escape is undone.
PersonRecord parse(std::string_view line, TextEncoding encoding = TextEncoding::Utf8) {
    std::size_t pos = 0;
    auto next = [&]() -> std::string_view {
        const std::size_t comma = line.find(',', pos);
        if (comma == std::string_view::npos)
            return {};
        const std::string_view field = line.substr(pos, comma - pos);
        pos = comma + 1;
        return field;
    };
    std::string_view name;
    if (!line.empty() && line[0] == '"') {
        const std::size_t close = line.find('"', 1);
        pos = 1;
        if (close != std::string_view::npos) {
            name = line.substr(1, close - 1);
            pos = std::min(close + 2, line.size());
        }
    } else {
        name = next();
    }
    PersonRecord r;
    const std::string_view date = next();
    r.icon = atoiLike(next());
    r.skipYear = atoiLike(next());
    r.daysInAdvance = atoiLike(next());
    r.type = atoiLike(next());
    r.infoOnly = next() == "1";
    const std::string_view email = next();
    r.dontPrint = next() == "1";
    r.leapling = pos >= line.size() ? 1 : atoiLike(next());
    const bool escaped = pos < line.size() && line.substr(pos) == "escaped,";
    const std::string decodedName = decodeText(name, encoding);
    const std::string decodedEmail = decodeText(email, encoding);
    r.name = escaped ? unescape(decodedName) : decodedName;
    r.email = escaped ? unescape(decodedEmail) : decodedEmail;
    r.day = atoiLike(date.size() > 0 ? date.substr(0, 2) : date);
    r.month = atoiLike(date.size() > 2 ? date.substr(2, 2) : std::string_view());
    r.year = atoiLike(date.size() > 4 ? date.substr(date.size() - 4) : date);
    return r;
}

bool isMailLine(std::string_view line) {
    if (line.size() < 9)
        return false;
    std::string key(line.substr(0, 9));
    for (char& c : key)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return key == "mailpath=";
}

// The records and the mail command of a file, line by line.
std::vector<PersonRecord> read(std::string_view bytes, std::string& mailPath) {
    std::vector<PersonRecord> records;
    const TextEncoding encoding = encodingOf(bytes.substr(0, bytes.find('\x1A')));
    for (const std::string& line : splitTextLines(bytes)) {
        if (!line.empty() && line[0] == '#')
            continue;
        if (isMailLine(line))
            mailPath = decodeText(line.substr(9), encoding);
        else
            records.push_back(parse(line, encoding));
    }
    return records;
}

} // namespace reference

// Texts that need no escape and texts that do, numbers of every kind atoi meets.
const std::vector<std::string> kTextPieces = {"Anna",
                                              " ",
                                              "Smith",
                                              "Zo\xC3\xAB",
                                              "50%",
                                              "%41",
                                              "x\ry",
                                              "=",
                                              "#",
                                              ",",
                                              "\"",
                                              "mailpath=",
                                              "\x1A",
                                              "\n",
                                              "\r\n",
                                              "%",
                                              "%2C",
                                              "\xFF",
                                              std::string(1, '\0')};
const std::vector<std::string> kNumberFields = {"0",
                                                "1",
                                                "7",
                                                "12",
                                                "-1",
                                                "+5",
                                                " 8",
                                                "\t9",
                                                "007",
                                                "-",
                                                "--1",
                                                "+",
                                                "3x",
                                                "",
                                                "1e3",
                                                "-0",
                                                "999999999",
                                                "9999999999",
                                                "2147483647",
                                                "2147483648",
                                                "-2147483648",
                                                "-2147483649",
                                                "123456789012345678901234567890"};

// Lines nobody writes, from the pieces the format reacts to.
std::string malformedLine(std::mt19937& random) {
    static const std::vector<std::string> pieces = {
        ",",        ",",       ",",    ",",           "\"",        "-",    "+",        " ",
        "0",        "1",       "2",    "29",          "02",        "2902", "31121999", "-1",
        "escaped,", "escaped", "#",    "mailpath=",   "MailPath=", "\r",   "%",        "%2C",
        "%4",       "Anna",    "\xE9", "99999999999", "1e3",       "\t"};
    std::string line;
    for (int n = std::uniform_int_distribution<int>(0, 24)(random); n > 0; --n)
        line += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
    return line;
}

// A file with generated hostile records as the writer writes them, malformed lines, number
// fields of every kind, mail lines, comments and a line longer than any read buffer, with both
// kinds of line end.
std::string generatedFile(std::mt19937& random) {
    auto number = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto text = [&] {
        std::string out;
        for (int n = number(0, 5); n > 0; --n)
            out += kTextPieces[static_cast<std::size_t>(number(0, int(kTextPieces.size()) - 1))];
        return out;
    };
    auto numberField = [&] {
        return kNumberFields[static_cast<std::size_t>(number(0, int(kNumberFields.size()) - 1))];
    };

    std::string bytes;
    appendTextLine(bytes, kRecordsHeader);
    for (int i = 0; i < 10000; ++i) {
        PersonRecord r;
        r.name = text();
        r.day = number(-1, 31);
        r.month = number(-1, 12);
        r.year = number(0, 3) == 0 ? 0 : number(-999, 9999);
        r.icon = number(-1, 31);
        r.skipYear = number(0, 1) ? -1 : number(1900, 2100);
        r.daysInAdvance = number(-5, 400);
        r.type = number(0, 3);
        r.infoOnly = number(0, 1) == 1;
        r.email = text();
        r.dontPrint = number(0, 1) == 1;
        r.leapling = number(-1, 2);
        const std::string lineEnd = number(0, 4) == 0 ? "\n" : "\r\n";
        switch (number(0, 9)) {
        case 0:
            bytes += malformedLine(random) + lineEnd;
            break;
        case 1: {
            // Every number field of its own kind, in a line of the current or the older format.
            std::string line =
                "N" + std::to_string(i) + "," + numberField() + numberField() + numberField();
            for (int field = 0; field < 4; ++field)
                line += "," + numberField();
            line += "," + numberField() + ",e@x," + numberField() + ",";
            if (number(0, 2) != 0)
                line += numberField() + ",";
            bytes += line + lineEnd;
            break;
        }
        case 2: {
            // Only a written record can hold a line feed or Ctrl-Z, escaped.
            std::string rest = text();
            std::erase(rest, '\n');
            std::erase(rest, '\x1A');
            bytes += (number(0, 1) ? "MAILpath=" : "# ") + rest + lineEnd;
            break;
        }
        default:
            bytes += formatRecordLine(r) + lineEnd;
        }
        if (i == 5000)
            bytes += "Long " + std::string(150 * 1024, 'n') + ",01021990,1,-1,3,0,0,,0,1,\r\n";
    }
    return bytes;
}

TEST(RecordsFileReader, GivesExactlyTheRecordsOfTheLineByLineReading) {
    std::mt19937 random(20260607);
    const std::string bytes = generatedFile(random);
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    writeBytes(path, bytes);

    std::string expectedMail = "before";
    const std::vector<PersonRecord> expected = reference::read(bytes, expectedMail);
    ASSERT_GT(expected.size(), 8000u); // the rest are comments and mail lines

    // Into one record, used again for every line.
    RecordsFileReader reader;
    ASSERT_EQ(reader.open(path), TextReadStatus::Ok);
    // As a run does: a first pass learns the file's encoding, which the texts need.
    reader.finish();
    ASSERT_TRUE(reader.rewind());
    PersonRecord record;
    std::string mailPath = "before";
    std::size_t count = 0;
    while (reader.next(record, mailPath)) {
        ASSERT_LT(count, expected.size());
        SCOPED_TRACE("record " + std::to_string(count));
        EXPECT_EQ(record, expected[count++]);
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_EQ(count, expected.size());
    EXPECT_EQ(reader.status(), TextReadStatus::Ok);
    EXPECT_EQ(mailPath, expectedMail);

    // Into the list, as start-up builds it.
    RecordList list;
    std::string listMail = "before";
    ASSERT_TRUE(readRecordsFile(path, list, listMail));
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < list.size() && !::testing::Test::HasFailure(); ++i)
        EXPECT_EQ(list[i], expected[i]);
    EXPECT_EQ(listMail, expectedMail);
}

TEST(RecordsFileReader, DueTestReadsTheDueFieldsAlikeAndLeavesTheRestAlone) {
    std::mt19937 random(7);
    std::vector<std::string> lines;
    for (int i = 0; i < 20000; ++i)
        lines.push_back(malformedLine(random));
    for (const std::string& a : kNumberFields)
        for (const std::string& b : kNumberFields)
            lines.push_back("x," + a + b + "," + b + "," + a + "," + b + ",0,1,,0," + a + ",");

    const PersonRecord untouched = record("kept name", 0, 0, 4242,
                                          {.type = 3,
                                           .daysInAdvance = 0,
                                           .icon = 17,
                                           .email = "kept@example.org",
                                           .dontPrint = true});
    PersonRecord dueOnly = untouched;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        const PersonRecord all = reference::parse(line);
        dueOnly.age = dueOnly.daysUntil = dueOnly.nextYear = 5; // left from a computation
        parseRecordLine(line, dueOnly, RecordFields::DueTest);
        PersonRecord expected = all;
        expected.name = untouched.name;
        expected.email = untouched.email;
        expected.year = untouched.year;
        expected.icon = untouched.icon;
        expected.type = untouched.type;
        expected.dontPrint = untouched.dontPrint;
        EXPECT_EQ(dueOnly, expected);
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST(RecordsFileReader, FieldsReadAlikeWhereverTheyStandInALongLine) {
    // The reader marks commas a stretch of the line at a time: names and e-mails of every length
    // move each later field across the edges of those stretches, with and without the end comma.
    for (std::size_t nameLength = 0; nameLength <= 140; nameLength += 3) {
        for (std::size_t emailLength : {0u, 5u, 63u, 64u, 65u, 130u}) {
            for (const char* tail : {"12,", "12", ""}) {
                const std::string line = std::string(nameLength, 'n') + ",31122001,4,-1,9,2,1," +
                                         std::string(emailLength, 'e') + ",1," + tail;
                SCOPED_TRACE(line);
                const PersonRecord expected = reference::parse(line);
                EXPECT_EQ(parseRecordLine(line), expected);
                PersonRecord dueOnly = expected;
                dueOnly.day = dueOnly.month = dueOnly.skipYear = dueOnly.leapling = 0;
                parseRecordLine(line, dueOnly, RecordFields::DueTest);
                EXPECT_EQ(dueOnly, expected);
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}

TEST(RecordsFileReader, EveryNumberFieldReadsAsAtoiReadsIt) {
    for (const std::string& number : kNumberFields) {
        SCOPED_TRACE("field \"" + number + "\"");
        const std::string line = "n," + number + "," + number + "," + number + "," + number + "," +
                                 number + "," + number + ",e," + number + "," + number + ",";
        const PersonRecord r = parseRecordLine(line);
        const int value = atoiLike(number);
        EXPECT_EQ(r.icon, value);
        EXPECT_EQ(r.skipYear, value);
        EXPECT_EQ(r.daysInAdvance, value);
        EXPECT_EQ(r.type, value);
        EXPECT_EQ(r.leapling, value);
        EXPECT_EQ(r.infoOnly, number == "1");
        EXPECT_EQ(r.dontPrint, number == "1");
        EXPECT_EQ(r, reference::parse(line));
    }
}

TEST(RecordsFileReader, RewindGivesTheSameRecordsAgain) {
    TempFolder folder;
    const std::string path = folder.file(kRecordsFileName);
    writeBytes(path, std::string(kRecordsHeader) +
                         "\r\nAnna,07031961,2,-1,14,0,0,a@x,0,1,\r\nmailpath=m\r\nBob,,\r\n");
    RecordsFileReader reader;
    ASSERT_EQ(reader.open(path), TextReadStatus::Ok);
    PersonRecord record;
    std::string mailPath;
    ASSERT_TRUE(reader.next(record, mailPath));
    EXPECT_EQ(record.name, "Anna");
    EXPECT_EQ(reader.finish(), TextReadStatus::Ok);
    EXPECT_EQ(mailPath, ""); // finishing reads on without looking at the lines
    ASSERT_TRUE(reader.rewind());
    RecordList list;
    reader.appendRest(list, mailPath);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "Anna");
    EXPECT_EQ(list[1].name, "Bob");
    EXPECT_EQ(mailPath, "m");
}

} // namespace
} // namespace kivo
