// Saving beside another writer of the records file: this run's changes merged into the file as it
// is on disk now, on bytes, with what the user is told.
#include "core/records_merge.h"

#include "core/records_file.h"
#include "temp_folder.h"

#include <functional>
#include <gtest/gtest.h>

namespace kivo {
namespace {

const std::string kHeader = std::string(kRecordsHeader) + "\r\n";

std::string line(const std::string& name, const char* date = "12061996", int days = 7) {
    return name + "," + date + ",0,-1," + std::to_string(days) + ",0,0,,0,1,\r\n";
}

PersonRecord& named(RecordList& records, const std::string& name) {
    for (PersonRecord& r : records)
        if (r.name == name)
            return r;
    ADD_FAILURE() << "no record " << name;
    return records[0];
}

// Reads `start` as a run does, lets the run edit its list, then merges into `now` and gives the
// bytes that the save writes.
struct Merge {
    std::string bytes;
    std::vector<std::string> keptTwice;
    bool emptiedOutside = false;
};
Merge merge(const std::string& start, const std::function<void(RecordList&)>& edit,
            const std::optional<std::string>& now) {
    test::TempFolder folder;
    const std::string path = folder.file("kivos.ini");
    test::writeBytes(path, start);
    RecordsFileReader reader;
    RecordsFileSnapshot snapshot;
    reader.keepSnapshot(&snapshot);
    EXPECT_EQ(reader.open(path), TextReadStatus::Ok);
    RecordList records;
    std::string mailPath;
    reader.appendRest(records, mailPath);
    EXPECT_EQ(snapshot.hash, fileContentHash(start)) << "the hash taken while reading";
    edit(records);
    const MergedRecords merged =
        mergeRecords(snapshot, records, now ? std::optional<std::string_view>(*now) : std::nullopt);
    return {formatRecordsFile(merged.records, merged.mailPath, merged.encoding), merged.keptTwice,
            merged.emptiedOutside};
}

TEST(RecordsMergeTest, AppliesThisRunsChangesToTheFileOnDisk) {
    const std::string start = kHeader + line("Anna") + line("Bert") + line("Cleo");
    const auto add = [](const char* name) {
        return [name](RecordList& r) { r.append(parseRecordLine(line(name))); };
    };
    const auto drop = [](const char* name) {
        return [name](RecordList& r) { r.remove(&named(r, name)); };
    };
    const auto change = [](const char* name, int days) {
        return [name, days](RecordList& r) { named(r, name).daysInAdvance = days; };
    };
    const auto none = [](RecordList&) {};
    // A record of an account's contacts, kept in a file of its own, beside a change of this run.
    const auto contactAnd = [](std::function<void(RecordList&)> edit) {
        return [edit](RecordList& r) {
            PersonRecord contact = parseRecordLine(line("Contact"));
            contact.source = 1;
            r.append(contact, 0);
            edit(r);
        };
    };
    struct Case {
        const char* what;
        std::function<void(RecordList&)> edit;
        std::optional<std::string> now;
        std::string written;
        std::vector<std::string> keptTwice = {};
        bool emptied = false;
    };
    const Case cases[] = {
        {"added on both sides", add("Newcomer"), start + line("Remote Person"),
         kHeader + line("Anna") + line("Bert") + line("Cleo") + line("Remote Person") +
             line("Newcomer")},
        {"deleted there, changed here", change("Anna", 9), kHeader + line("Anna") + line("Cleo"),
         kHeader + line("Anna", "12061996", 9) + line("Cleo")},
        {"deleted here, added there", drop("Bert"), start + line("Remote Person"),
         kHeader + line("Anna") + line("Cleo") + line("Remote Person")},
        {"changed here, moved there", change("Cleo", 1),
         kHeader + line("Cleo") + line("Anna") + line("Bert"),
         kHeader + line("Cleo", "12061996", 1) + line("Anna") + line("Bert")},
        {"changed on both sides",
         change("Bert", 3),
         kHeader + line("Anna") + line("Bert", "12061996", 5) + line("Cleo"),
         kHeader + line("Anna") + line("Bert", "12061996", 5) + line("Cleo") +
             line("Bert", "12061996", 3),
         {"Bert"}},
        {"changed here, deleted there",
         change("Bert", 3),
         kHeader + line("Anna") + line("Cleo"),
         kHeader + line("Anna") + line("Cleo") + line("Bert", "12061996", 3),
         {"Bert"}},
        {"deleted here, changed there", drop("Bert"),
         kHeader + line("Anna") + line("Bert", "01011990") + line("Cleo"),
         kHeader + line("Anna") + line("Bert", "01011990") + line("Cleo")},
        {"unchanged here, changed there", none,
         kHeader + line("Anna") + line("Bert", "01011990") + line("Cleo"),
         kHeader + line("Anna") + line("Bert", "01011990") + line("Cleo")},
        {"a mail command set there", add("Newcomer"), "mailpath=mutt %s\r\n" + start,
         kHeader + "mailpath=mutt %s\r\n" + line("Anna") + line("Bert") + line("Cleo") +
             line("Newcomer")},
        {"emptied there: all of this run's records stay",
         drop("Cleo"),
         "",
         kHeader + line("Anna") + line("Bert"),
         {},
         true},
        {"removed there: saved as a new file",
         add("Newcomer"),
         std::nullopt,
         kHeader + line("Anna") + line("Bert") + line("Cleo") + line("Newcomer"),
         {},
         true},
        {"a contact's record is never written here", contactAnd(change("Anna", 9)),
         start + line("Remote Person"),
         kHeader + line("Anna", "12061996", 9) + line("Bert") + line("Cleo") +
             line("Remote Person")},
        {"nor when the file was emptied",
         contactAnd(none),
         "",
         kHeader + line("Anna") + line("Bert") + line("Cleo"),
         {},
         true},
        {"text after a Ctrl-Z there is not read (the save keeps a copy of it)", add("Newcomer"),
         start + "\x1A" + line("Hidden"), start + line("Newcomer")},
    };
    for (const Case& c : cases) {
        const Merge m = merge(start, c.edit, c.now);
        EXPECT_EQ(m.bytes, c.written) << c.what;
        EXPECT_EQ(m.keptTwice, c.keptTwice) << c.what;
        EXPECT_EQ(m.emptiedOutside, c.emptied) << c.what;
    }
}

// A line that occurs twice is two records; a file in Windows-1252 stays in it, its untouched
// lines byte for byte.
TEST(RecordsMergeTest, KeepsDuplicatesAndTheFilesEncoding) {
    const std::string twice = kHeader + line("Anna") + line("Anna") + line("Bert");
    EXPECT_EQ(merge(
                  twice, [](RecordList& r) { r.remove(&r[0]); }, twice + line("Remote Person"))
                  .bytes,
              kHeader + line("Anna") + line("Bert") + line("Remote Person"));

    const std::string zoe = line("Zo\xEB"); // ë in Windows-1252
    const std::string start = kHeader + zoe + line("Bert");
    const Merge m = merge(
        start, [](RecordList& r) { r.append(parseRecordLine(line("J\xC3\xBCrgen"))); },
        start + line("Remote \xC9mile"));
    EXPECT_EQ(m.bytes, start + line("Remote \xC9mile") + line("J\xFCrgen"));
}

TEST(RecordsMergeTest, ContentHashDoesNotDependOnHowTheBytesWereCut) {
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes += static_cast<char>(i * 7);
    for (const std::size_t piece : {1, 3, 7, 8, 9, 64, 299}) {
        ContentHash hash;
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            hash.add(std::string_view(bytes).substr(at, piece));
        EXPECT_EQ(hash.value(), contentHashOf(bytes)) << piece;
    }
    EXPECT_NE(contentHashOf(bytes), contentHashOf(bytes.substr(1)));
    EXPECT_NE(contentHashOf(std::string(8, '\0')), contentHashOf(std::string(9, '\0')));
}

} // namespace
} // namespace kivo
