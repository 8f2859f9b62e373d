// Text files under CR LF / Ctrl-Z rules, and file replacement that never damages the old file.
#include "core/text_file.h"

#include "core/safe_save.h"
#include "file_size_limit.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kivo {
namespace {

using Lines = std::vector<std::string>;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

TEST(SplitTextLines, LineEndsFollowTextModeRules) {
    EXPECT_EQ(splitTextLines(""), Lines{});
    EXPECT_EQ(splitTextLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(splitTextLines("a\nb"), (Lines{"a", "b"}));             // bare LF, no LF at the end
    EXPECT_EQ(splitTextLines("\r\n\r\nx\r\n"), (Lines{"", "", "x"})); // empty lines are lines
    // A lone CR ends a line too, so that a file from an old Mac editor does not run its records
    // together.
    EXPECT_EQ(splitTextLines("a\rb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(splitTextLines("a\r\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(splitTextLines("tail\r"), (Lines{"tail"}));
    EXPECT_EQ(splitTextLines("\r\rx"), (Lines{"", "", "x"}));
    // A UTF-8 byte-order mark is skipped at the start and nowhere else.
    EXPECT_EQ(splitTextLines("\xEF\xBB\xBF"
                             "a\r\n\xEF\xBB\xBF"
                             "b"),
              (Lines{"a", "\xEF\xBB\xBF"
                          "b"}));
    EXPECT_EQ(splitTextLines("\xEF\xBB\xBF"), Lines{});
}

TEST(SplitTextLines, CtrlZEndsTheFile) {
    EXPECT_EQ(splitTextLines("a\r\nb\x1A\r\nc\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(splitTextLines("\x1A"
                             "a\r\n"),
              Lines{});
    EXPECT_EQ(splitTextLines("a\r\n\x1A"), (Lines{"a"}));
}

TEST(AppendTextLine, EndsEveryLineWithCrLf) {
    std::string out;
    appendTextLine(out, "one");
    appendTextLine(out, "");
    appendTextLine(out, "two");
    EXPECT_EQ(out, "one\r\n\r\ntwo\r\n");
    EXPECT_EQ(splitTextLines(out), (Lines{"one", "", "two"}));
}

TEST(ReadTextFile, AppendsLinesAndTellsMissingFromFailed) {
    TempFolder folder;
    const std::string path = folder.file("lines.txt");
    writeBytes(path, "first\r\nsecond\nthird\x1A"
                     "ignored\r\n");
    Lines lines{"kept"};
    EXPECT_EQ(readTextFile(path, lines), TextReadStatus::Ok);
    EXPECT_EQ(lines, (Lines{"kept", "first", "second", "third"}));

    Lines none;
    EXPECT_EQ(readTextFile(folder.file("missing.txt"), none), TextReadStatus::CannotOpen);
    EXPECT_EQ(readTextFile(folder.prefix(), none), TextReadStatus::CannotOpen); // a folder
    EXPECT_FALSE(readTextLines(folder.file("missing.txt"), none));
    EXPECT_TRUE(none.empty());
}

TEST(ReadTextFile, LongFilesAreReadWhole) {
    TempFolder folder;
    std::string bytes;
    Lines expected;
    for (int i = 0; i < 20000; ++i) { // several read buffers' worth
        expected.push_back("line " + std::to_string(i));
        appendTextLine(bytes, expected.back());
    }
    writeBytes(folder.file("long.txt"), bytes);
    Lines lines;
    EXPECT_TRUE(readTextLines(folder.file("long.txt"), lines));
    EXPECT_EQ(lines, expected);
}

#if defined(__linux__)
TEST(ReadTextFile, ReadErrorIsReported) {
    // Opening works, but reading the start of our own address space fails with EIO.
    Lines lines;
    EXPECT_EQ(readTextFile("/proc/self/mem", lines), TextReadStatus::ReadError);
    EXPECT_TRUE(lines.empty());
}
#endif

TEST(ReplaceFileAtomically, WritesExactBytesAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const std::string path = folder.file("data.ini");
    const std::string first("a\r\n\x1A\0b", 6);
    std::string error;
    ASSERT_TRUE(replaceFileAtomically(path, first, &error)) << error;
    EXPECT_EQ(readBytes(path), first);

    ASSERT_TRUE(replaceFileAtomically(path, "second\r\n", &error)) << error;
    EXPECT_EQ(readBytes(path), "second\r\n");
    EXPECT_EQ(folder.entryCount(), 1u);
}

TEST(ReplaceFileAtomically, MissingFolderFailsWithReason) {
    TempFolder folder;
    const std::string path = folder.file("no-such-folder/data.ini");
    std::string error;
    EXPECT_FALSE(replaceFileAtomically(path, "x\r\n", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(replaceFileAtomically(path, "x\r\n")); // no error text wanted: still no crash
}

#if !defined(_WIN32)
TEST(ReplaceFileAtomically, KeepsPermissionsAndSymbolicLinks) {
    namespace fs = std::filesystem;
    TempFolder folder;
    const std::string real = folder.file("real.ini");
    const std::string link = folder.file("link.ini");
    writeBytes(real, "old\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, link);

    ASSERT_TRUE(replaceFileAtomically(link, "new\r\n"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(real), "new\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(folder.entryCount(), 2u);
}
#endif

#if defined(KIVO_HAVE_FILE_SIZE_LIMIT)
TEST(ReplaceFileAtomically, WriteFailingPartWayLeavesOldFileUntouched) {
    TempFolder folder;
    const std::string path = folder.file("data.ini");
    const std::string old = "old contents\r\nstay here\r\n";
    writeBytes(path, old);
    const std::string big(256 * 1024, 'n');

    bool ok = true;
    std::string error;
    {
        test::FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        ok = replaceFileAtomically(path, big, &error);
    }
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(folder.entryCount(), 1u) << "the temporary file was left behind";

    // With the limit gone the same write goes through.
    EXPECT_TRUE(replaceFileAtomically(path, big, &error)) << error;
    EXPECT_EQ(readBytes(path), big);
}
#endif

} // namespace
} // namespace kivo
