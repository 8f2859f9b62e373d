// The records file "kivos.ini": its header, the "mailpath=" line and one line per record.
#pragma once

#include "due_scan.h"
#include "person_record.h"
#include "record_line.h"
#include "records_merge.h"
#include "safe_save.h"
#include "text_file.h"

#include <functional>
#include <string>
#include <vector>

namespace kivo {

inline constexpr const char* kRecordsFileName = "kivos.ini";
inline constexpr const char* kRecordsHeader =
    "# NAME, BIRTHDATE, ICON, SKIPYEAR, DAYSINADVANCE, NOTABIRTHDAY, INFOONLY, EMAIL, DONTPRINT, "
    "LEAPLING";

// Applies the lines of a records file: comments skipped, "mailpath=" lines (any case) set
// `mailPath`, every other line appended as a record.
void parseRecordsLines(const std::vector<std::string>& lines, RecordList& records,
                       std::string& mailPath);

// The whole file as bytes: header, mail command line when `mailPath` is not empty, records.
std::string formatRecordsFile(const RecordList& records, const std::string& mailPath,
                              TextEncoding encoding = TextEncoding::Utf8);

// What reading a records file found: no file (the first run's case), a file read to its end, or
// a file that exists but cannot be read (permissions, an I/O error, a folder or a special file in
// its place, a size beyond any records file), which must never be replaced.
enum class RecordsFileState { Missing, Read, Unreadable };

struct RecordsFileOutcome {
    RecordsFileState state = RecordsFileState::Missing;
    std::string reason; // why it could not be read
    // A Ctrl-Z ended the reading with more text behind it, which the next save would drop.
    bool cutByCtrlZ = false;
    // The encoding the file's texts were read in, and a save must write them in.
    TextEncoding encoding = TextEncoding::Utf8;
};

// Reads a records file record by record, so that a pass over it needs no list of records and no
// copy of its lines.
class RecordsFileReader {
public:
    // Opens the file: Ok, or CannotOpen.
    TextReadStatus open(const std::string& path) {
        recordsGiven_ = 0;
        return lines_.open(path);
    }
    // Reads the next record line into `record`, skipping comments; mail command lines met on the
    // way set `mailPath`. False after the last line. Texts are decoded once an earlier pass has
    // found the file's encoding, and taken as UTF-8 before.
    bool next(PersonRecord& record, std::string& mailPath, RecordFields which = RecordFields::All);
    // Appends every record from here to the end to `records`. Called at the start of the file,
    // it first reads the file through once when its encoding is not known yet.
    // `each`, when given, is called with every record as it is appended, while it is still in the
    // processor's cache.
    // Each record appended carries its place among the file's records (RecordList::readPlace).
    void appendRest(RecordList& records, std::string& mailPath,
                    const std::function<void(PersonRecord&)>& each = {});
    // Appends only the records from here to the end that `keep` accepts (it may fill in their
    // derived values); the others are read one over another and never kept. The snapshot then
    // holds the kept records alone, and each kept record's place is its index among them: a save
    // merges what was changed of them into the file as it is then (see records_merge.h).
    void appendKept(RecordList& records, std::string& mailPath,
                    const std::function<bool(PersonRecord&)>& keep);
    // What a save beside other writers needs of the file as appendRest read it to its end: the
    // hash of its bytes and of each record's stored fields (see records_merge.h).
    void keepSnapshot(RecordsFileSnapshot* snapshot) { snapshot_ = snapshot; }
    // What the file turned out to be, once opening failed or the file was read to its end.
    RecordsFileOutcome outcome() const;
    // How the reading ended, once next() has returned false: Ok, or ReadError when a read failed
    // part-way (the records of the lines before the failure were all given).
    TextReadStatus status() const { return lines_.status(); }
    // Reads on to the end without parsing, only to learn status().
    TextReadStatus finish() { return lines_.finish(); }
    // Reads the file from its first line until `test` finds a due record; returns whether it did.
    // Only the lines that may be due by `nearest` reach `test`: a comment, a mail command line, a
    // line without a usable day and month and a line whose date is further away than its days
    // of advance warning are passed over without parsing; any line of a form this quick look does
    // not read goes to `test`. The file is read through to its end when nothing is due, so that
    // status() tells whether it could be read; its encoding is not looked at. Call rewind()
    // before reading the file again.
    bool findDue(const NearestDays& nearest, DueLineTest& test);
    // How much of the file findDue maps into memory at once; tests make it small.
    void setMapWindow(std::size_t bytes) { lines_.setMapWindow(bytes); }
    // Starts again at the first line; false when no file is open or it cannot be read again.
    bool rewind() {
        atStart_ = true;
        recordsGiven_ = 0;
        return lines_.rewind();
    }
    void close() { lines_.close(); }

private:
    // Appends the records `keep` accepts; their places count every record when `keepsAll`, else
    // the kept ones alone.
    template <typename Keep>
    void appendMatching(RecordList& records, std::string& mailPath, const Keep& keep,
                        bool keepsAll);

    TextFileLines lines_;
    bool atStart_ = true;
    std::int32_t recordsGiven_ = 0; // record lines given by next() since the start of the file
    RecordsFileSnapshot* snapshot_ = nullptr;
};

// Reads `path`, appending to `records` (which is not emptied first). Returns false when the file
// cannot be opened or reading fails part-way; the records read so far stay.
bool readRecordsFile(const std::string& path, RecordList& records, std::string& mailPath);

// Replaces `path` with the records, never leaving a half-written file behind. Returns false with
// the reason in `error` when it could not; the previous file is then untouched.
bool writeRecordsFile(const std::string& path, const RecordList& records,
                      const std::string& mailPath, std::string* error = nullptr,
                      TextEncoding encoding = TextEncoding::Utf8);

// The copy of a records file that a save keeps when a Ctrl-Z cut text off it ("kivos.ini.bak").
std::string recordsBackupPath(const std::string& path);

} // namespace kivo
