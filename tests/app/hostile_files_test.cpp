// Records files that no program of ours wrote: the reader and the whole daily run take each one
// without crashing or hanging, and leave it exactly as it was when the user changes nothing.
#include "app/kivo_app.h"

#include "core/records_file.h"
#include "support/fake_platform.h"
#include "support/scripted_user.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace kivo {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

enum class Place { File, Folder, SymlinkLoop };

struct HostileFile {
    const char* what;
    std::string bytes;
    long expectedRecords = -1; // -1: not checked
    Place place = Place::File;
};

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string randomBytes(std::size_t size) {
    std::mt19937 random(20261207);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random());
    return out;
}

std::string utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

const std::string kHeader = std::string(kRecordsHeader) + "\r\n";

std::vector<HostileFile> hostileFiles() {
    const std::string huge = "99999999999999999999999";
    return {
        {"empty", "", 0},
        {"CR LF only", "\r\n\r\n\r\n", 3},
        {"no final line end", kHeader + "Anna,07061996,4,-1,7,0,0,,0,1,", 1},
        {"300 fields", "Anna,07061996" + repeat(",7", 298) + "\r\n", 1},
        {"only commas", repeat(",", 5000) + "\r\n" + repeat(",", 3), 2},
        {"unclosed quotes", "\"Anna,07061996,4,-1,7,0,0,,0,1,\r\n\"\r\n\"\"\"\r\n\"a\"", 4},
        {"NUL bytes",
         "An\0na,0706\0"
         "1996,4,-1,7,0,0,\0,0,1,\r\n\0\0\0\r\n"s,
         2},
        {"random bytes", randomBytes(256 * 1024)},
        {"UTF-16", utf16(kHeader + "Anna,07061996,4,-1,7,0,0,,0,1,\r\n")},
        {"one line of 3 MiB", "Anna," + std::string(3 << 20, '7') + ",1,\r\n", 1},
        {"huge numbers in every field",
         repeat(huge + "," + huge + "," + huge + ",-" + huge + "," + huge + "," + huge + "," +
                    huge + "," + huge + "," + huge + ",-" + huge + ",\r\n",
                3),
         3},
        {"negative and impossible dates",
         kHeader + "Minus,-1-1-001,4,-1,7,0,0,,0,1,\r\nFeb 31,31022026,4,-1,7,0,0,,0,1,\r\n"
                   "Zero,00000000,4,-1,7,0,0,,0,1,\r\nNines,99999999,4,-1,7,0,0,,0,1,\r\n"
                   "Short,7,4,-1,7,0,0,,0,1,\r\nSigns,+7-6+1996,4,-1,7,0,0,,0,1,\r\n",
         6},
        {"years 0, 9999 and 10000+",
         kHeader + "Y0,07060000,4,-1,7,0,0,,0,1,\r\nY9999,07069999,4,-1,7,0,0,,0,1,\r\n"
                   "Y10000,070610000,4,-1,7,0,0,,0,1,\r\nYbig,0706999999999,4,-1,7,0,0,,0,1,\r\n",
         4},
        {"a folder in the file's place", "", -1, Place::Folder},
        {"a symlink loop in the file's place", "", -1, Place::SymlinkLoop},
    };
}

TEST(HostileRecordsFile, ReaderAndDailyRunTakeItAndLeaveItAlone) {
    for (const HostileFile& c : hostileFiles()) {
        SCOPED_TRACE(c.what);
        test::FakePlatform fake;
        const std::string path = fake.folders.working + kRecordsFileName;
        switch (c.place) {
        case Place::File:
            test::writeFileBytes(path, c.bytes);
            break;
        case Place::Folder:
            fs::create_directories(path);
            break;
        case Place::SymlinkLoop:
            fs::create_symlink(kRecordsFileName, path);
            break;
        }

        RecordList records;
        std::string mailPath;
        const bool read = readRecordsFile(path, records, mailPath);
        EXPECT_EQ(read, c.place == Place::File);
        if (c.expectedRecords >= 0) {
            EXPECT_EQ(static_cast<long>(records.size()), c.expectedRecords);
        }
        for (PersonRecord& r : records)
            ComputeOccurrence(r, fake.clock.date);

        // The user closes whatever window opens (none, the reminder window, or the setup window
        // of a first run) and changes nothing.
        test::ScriptedUser user;
        CKivoApp app(fake.platform);
        EXPECT_FALSE(app.InitInstance(""));
        EXPECT_FALSE(app.lastRun().recordsWritten);
        switch (c.place) {
        case Place::File:
            EXPECT_TRUE(test::readFileBytes(path) == c.bytes) << "the file was changed";
            break;
        case Place::Folder:
            EXPECT_TRUE(fs::is_directory(path));
            break;
        case Place::SymlinkLoop:
            EXPECT_TRUE(fs::is_symlink(path));
            EXPECT_EQ(fs::read_symlink(path), kRecordsFileName);
            break;
        }
        for (const auto& entry : fs::directory_iterator(fake.folders.working))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << "a temporary file was left behind";
    }
}

} // namespace
} // namespace kivo
