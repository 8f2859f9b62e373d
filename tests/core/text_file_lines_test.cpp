// Reading a text file line by line through a small buffer: the same lines as splitting the whole
// file, wherever a line, a CR or a Ctrl-Z falls against the buffer's edges.
#include "core/text_file.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <random>

namespace kivo {
namespace {

using Lines = std::vector<std::string>;
using test::TempFolder;
using test::writeBytes;

Lines readThroughBuffer(const std::string& path, TextReadStatus& status) {
    TextFileLines file;
    Lines lines;
    status = file.open(path);
    for (std::string_view line; file.next(line);)
        lines.emplace_back(line);
    if (status == TextReadStatus::Ok)
        status = file.status();
    return lines;
}

// Text of `size` bytes made of short and long lines, with CRs and LFs in every position; a CR
// is often the last byte before a buffer edge with its LF just behind it.
std::string generatedText(std::size_t size, std::mt19937& random) {
    static const std::string pieces[] = {"\r\n", "\n", "\r", "a", ",", "\r\r\n", "line text"};
    std::string text;
    while (text.size() < size) {
        const auto pick = std::uniform_int_distribution<int>(0, 9)(random);
        if (pick < 7)
            text += pieces[pick];
        else
            text.append(std::uniform_int_distribution<std::size_t>(0, 300)(random), 'x');
    }
    text.resize(size);
    for (std::size_t edge = 64 * 1024; edge + 1 < text.size(); edge += 64 * 1024) {
        text[edge - 1] = '\r';
        text[edge] = '\n';
    }
    return text;
}

TEST(TextFileLines, GivesTheLinesOfTheWholeFileWhateverItsSize) {
    TempFolder folder;
    const std::string path = folder.file("lines.txt");
    std::mt19937 random(4711);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535}, std::size_t{65536},
                             std::size_t{65537}, std::size_t{200000}, std::size_t{700001}}) {
        SCOPED_TRACE("size " + std::to_string(size));
        const std::string text = generatedText(size, random);
        for (const std::string& ending : {std::string(), std::string("\r\n"), std::string("\r")}) {
            writeBytes(path, text + ending);
            TextReadStatus status = TextReadStatus::CannotOpen;
            EXPECT_EQ(readThroughBuffer(path, status), splitTextLines(text + ending));
            EXPECT_EQ(status, TextReadStatus::Ok);
        }
    }
}

TEST(TextFileLines, ALineLongerThanTheBufferIsGivenWhole) {
    TempFolder folder;
    const std::string path = folder.file("long.txt");
    const std::string longLine(300 * 1024, 'n');
    writeBytes(path, "short\r\n" + longLine + "\r\nend");
    TextReadStatus status = TextReadStatus::CannotOpen;
    EXPECT_EQ(readThroughBuffer(path, status), (Lines{"short", longLine, "end"}));
    EXPECT_EQ(status, TextReadStatus::Ok);
}

TEST(TextFileLines, CtrlZEndsTheFileWhereverItFalls) {
    TempFolder folder;
    const std::string path = folder.file("z.txt");
    std::mt19937 random(99);
    const std::string text = generatedText(300000, random);
    for (std::size_t at : {std::size_t{0}, std::size_t{65535}, std::size_t{65536},
                           std::size_t{131073}, std::size_t{299999}}) {
        std::string bytes = text;
        bytes[at] = '\x1A';
        writeBytes(path, bytes);
        TextReadStatus status = TextReadStatus::CannotOpen;
        EXPECT_EQ(readThroughBuffer(path, status), splitTextLines(bytes)) << "Ctrl-Z at " << at;
        EXPECT_EQ(status, TextReadStatus::Ok);
    }
}

TEST(TextFileLines, RewindReadsTheSameLinesAgainAndFinishOnlyReadsOn) {
    TempFolder folder;
    const std::string path = folder.file("again.txt");
    std::mt19937 random(5);
    const std::string text = generatedText(150000, random);
    writeBytes(path, text);

    TextFileLines file;
    ASSERT_EQ(file.open(path), TextReadStatus::Ok);
    std::string_view line;
    ASSERT_TRUE(file.next(line));
    ASSERT_TRUE(file.next(line));
    EXPECT_EQ(file.finish(), TextReadStatus::Ok);
    EXPECT_FALSE(file.next(line));

    ASSERT_TRUE(file.rewind());
    Lines again;
    while (file.next(line))
        again.emplace_back(line);
    EXPECT_EQ(again, splitTextLines(text));
}

TEST(TextFileLines, NothingToReadWithoutAFile) {
    TempFolder folder;
    TextFileLines file;
    std::string_view line;
    EXPECT_FALSE(file.next(line)); // never opened
    EXPECT_FALSE(file.rewind());
    EXPECT_EQ(file.open(folder.file("missing.txt")), TextReadStatus::CannotOpen);
    EXPECT_FALSE(file.next(line));
    EXPECT_EQ(file.open(folder.prefix()), TextReadStatus::CannotOpen); // a folder
    EXPECT_FALSE(file.rewind());
}

#if defined(__linux__)
TEST(TextFileLines, ReadErrorEndsTheLinesAndIsReported) {
    // Opening works, but reading the start of our own address space fails.
    TextReadStatus status = TextReadStatus::Ok;
    EXPECT_TRUE(readThroughBuffer("/proc/self/mem", status).empty());
    EXPECT_EQ(status, TextReadStatus::ReadError);
}
#endif

} // namespace
} // namespace kivo
