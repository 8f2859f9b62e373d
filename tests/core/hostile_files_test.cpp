// Files that are not what they should be: pipes, devices, folders, huge or forbidden files, text
// cut by a Ctrl-Z, read-only files, and what interrupted saves leave behind.
#include "core/records_file.h"
#include "core/text_file.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

RecordsFileOutcome outcomeOf(const std::string& path) {
    RecordsFileReader reader;
    if (reader.open(path) == TextReadStatus::Ok)
        reader.finish();
    return reader.outcome();
}

TEST(HostileFiles, OnlyRegularFilesWithinTheLimitAreRead) {
    TempFolder folder;
    const std::string huge = folder.file("huge.ini");
    writeBytes(huge, "");
    fs::resize_file(huge, static_cast<std::uintmax_t>(kTextFileSizeLimit) + 1); // sparse
    const std::string ok = folder.file("ok.ini");
    writeBytes(ok, "Anna,12061996,4,-1,7,0,0,,0,1,\r\n");

    struct Case {
        std::string path;
        RecordsFileState state;
        std::string reason; // part of it
    };
    std::vector<Case> cases = {
        {folder.file("missing.ini"), RecordsFileState::Missing, ""},
        {folder.file("missing.ini/below"), RecordsFileState::Missing, ""},
        {folder.prefix(), RecordsFileState::Unreadable, "folder"},
        {huge, RecordsFileState::Unreadable, "1 GiB"},
        {ok, RecordsFileState::Read, ""},
    };
#if !defined(_WIN32)
    // Windows has neither named pipes in a folder nor device files.
    const std::string fifo = folder.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder.file("zero.ini");
    fs::create_symlink("/dev/zero", zero);
    cases.push_back({fifo, RecordsFileState::Unreadable, "not a regular file"}); // would block
    cases.push_back({zero, RecordsFileState::Unreadable, "not a regular file"}); // never ends
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const RecordsFileOutcome outcome = outcomeOf(c.path);
        EXPECT_EQ(outcome.state, c.state);
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        // The other data files follow the same rule through the plain reader.
        std::vector<std::string> lines;
        EXPECT_EQ(readTextFile(c.path, lines) == TextReadStatus::Ok,
                  c.state == RecordsFileState::Read);
    }
#if !defined(_WIN32)
    EXPECT_TRUE(fs::is_fifo(folder.file("fifo.ini")));
#endif
}

// Mode 000 stops everybody but the administrator, so as the administrator the check runs in a
// child process that has given up its rights.
TEST(HostileFiles, AFileTheUserMayNotReadIsUnreadableWithTheReason) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no permission that keeps a file's owner from reading it";
#else
    TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    writeBytes(path, "Anna,12061996,4,-1,7,0,0,,0,1,\r\n");
    fs::permissions(path, fs::perms::none);
    fs::permissions(folder.path(), fs::perms::all);
    if (::geteuid() != 0) {
        const RecordsFileOutcome outcome = outcomeOf(path);
        EXPECT_EQ(outcome.state, RecordsFileState::Unreadable);
        EXPECT_EQ(outcome.reason, "Permission denied");
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const RecordsFileOutcome outcome = outcomeOf(path);
        ::_exit(outcome.state == RecordsFileState::Unreadable &&
                        outcome.reason == "Permission denied"
                    ? 0
                    : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "cannot give up the administrator's rights here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

TEST(HostileFiles, AReadOnlyFileIsNotReplacedAndOthersKeepWhatPermissionsTheUserCanUse) {
    TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    struct Case {
        fs::perms before;
        bool saved;
        fs::perms after;
    };
    using P = fs::perms;
#if defined(_WIN32)
    // Of the permissions Windows keeps the read-only attribute alone, and shows it as 444 or 666.
    constexpr P kReadOnly = P::owner_read | P::group_read | P::others_read;
    constexpr P kReadWrite = kReadOnly | P::owner_write | P::group_write | P::others_write;
    const Case cases[] = {{kReadOnly, false, P::none}, {kReadWrite, true, kReadWrite}};
#else
    const Case cases[] = {
        {P::owner_read | P::group_read | P::others_read, false, P::none}, // 444: read-only
        {P::none, false, P::none},                                        // 000
        {P::owner_read | P::owner_write | P::group_read, true,
         P::owner_read | P::owner_write | P::group_read},       // 640 kept
        {P::owner_write, true, P::owner_read | P::owner_write}, // 200: unreadable kept -> 600
    };
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.before));
        writeBytes(path, "old\r\n");
        fs::permissions(path, c.before);
        std::string error;
        EXPECT_EQ(replaceFileAtomically(path, "new\r\n", &error), c.saved);
        const fs::perms after = fs::status(path).permissions() & P::all;
        EXPECT_EQ(after, c.saved ? c.after : c.before);
        if (!c.saved) {
            EXPECT_NE(error.find("read-only"), std::string::npos) << error;
        }
        fs::permissions(path, P::owner_read | P::owner_write);
        EXPECT_EQ(readBytes(path), c.saved ? "new\r\n" : "old\r\n");
        EXPECT_EQ(folder.entryCount(), 1u);
    }
}

TEST(HostileFiles, StaleTemporariesAreRemovedOnlyByARunThatIsAlone) {
    TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    writeBytes(path, "records\r\n");
    const std::vector<std::string> stale = {"kivos.ini.tmp0123abcd", "kivos.ini.tmpffffffff"};
    const std::vector<std::string> kept = {"kivos.ini.bak", "kivos.ini.tmp0123", "other.ini",
                                           "kivos.ini.tmp0123abcdX", "pre.ini.tmp0123abcd"};
    for (const auto& name : stale)
        writeBytes(folder.file(name), std::string(1000, 'x'));
    for (const auto& name : kept)
        writeBytes(folder.file(name), "x");

    {
        FolderInUse first(folder.prefix());
        EXPECT_TRUE(first.alone());
        FolderInUse second(folder.prefix()); // another kivo started meanwhile
        EXPECT_FALSE(second.alone());
    }
    FolderInUse again(folder.prefix());
    ASSERT_TRUE(again.alone());
    removeStaleTemporaries(path);
    for (const auto& name : stale)
        EXPECT_FALSE(fs::exists(folder.file(name))) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(fs::exists(folder.file(name))) << name;
    EXPECT_EQ(readBytes(path), "records\r\n");
}

TEST(HostileFiles, TextBehindACtrlZIsNoticedAndTheCopyIsKeptOnce) {
    TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    struct Case {
        std::string bytes;
        bool cut;
    };
    const std::string big(70000, 'x'); // the tail lies beyond the first buffer
    const Case cases[] = {
        {"A,01011990,\r\n", false},
        {"A,01011990,\r\n\x1A", false},
        {"A,01011990,\r\n\x1A\r\n \x1A\x1A\t", false},
        {"A,01011990,\r\n\x1A"
         "B,02021990,\r\n",
         true},
        {"A,\x1A" + std::string(70000, ' ') + "B", true},
        {"A,\x1A" + std::string(70000, ' '), false},
        {big + "\x1A" + "B", true},
    };
    for (const Case& c : cases) {
        writeBytes(path, c.bytes);
        const RecordsFileOutcome outcome = outcomeOf(path);
        EXPECT_EQ(outcome.state, RecordsFileState::Read);
        EXPECT_EQ(outcome.cutByCtrlZ, c.cut) << c.bytes.substr(0, 40);
    }

    const std::string copy = recordsBackupPath(path);
    EXPECT_EQ(copy, folder.file("kivos.ini.bak"));
    writeBytes(path, "first\x1A"
                     "tail");
    EXPECT_EQ(keepCopyOnce(path, copy), CopyResult::Made);
    writeBytes(path, "second\x1A"
                     "tail");
    EXPECT_EQ(keepCopyOnce(path, copy), CopyResult::AlreadyThere);
    EXPECT_EQ(readBytes(copy), "first\x1A"
                               "tail");
    std::string error;
    EXPECT_EQ(keepCopyOnce(folder.file("missing.ini"), folder.file("other.bak"), &error),
              CopyResult::Failed);
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace kivo
