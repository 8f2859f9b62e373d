// Saving beside other writers of the records file (a sync tool, a text editor, kivo on another
// machine sharing the folder): what a run read, and how its changes go into a file that changed
// on disk since.
#pragma once

#include "content_hash.h"
#include "person_record.h"
#include "text_encoding.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The hash of a file's bytes as TextFileLines::contentHash gives it for the same file read to its
// end: everything up to the first Ctrl-Z.
std::uint64_t fileContentHash(std::string_view bytes);

// A hash of what the file keeps of a record (name, date, e-mail, options): equal for two records
// that are written as the same line, whatever their derived values.
std::uint64_t storedFieldsHash(const PersonRecord& record);

// What a run read of the records file: whether there was one, the hash of its bytes, and the hash
// of each record's stored fields in file order. The run's records carry their place in that
// order (RecordList::readPlace), so that a save can tell what this run added, changed and deleted.
struct RecordsFileSnapshot {
    bool existed = false;
    std::uint64_t hash = 0;
    std::vector<std::uint64_t> records;
};

// The file to write after a merge, and what the user must be told of it.
struct MergedRecords {
    RecordList records;
    std::string mailPath;
    TextEncoding encoding = TextEncoding::Utf8;
    // Records that this run changed and the other writer changed or deleted too: both versions
    // are kept, and these are the names of this run's versions.
    std::vector<std::string> keptTwice;
    // The file had records when it was read and has none now (or is gone): taken for a failed
    // copy rather than a wish to delete everything, so this run's records are all kept.
    bool emptiedOutside = false;
};

// Applies this run's changes to the file as it is on disk now (`onDisk`; nullopt when it is gone):
// records added in this run are appended, records deleted in this run are removed from it, and a
// record changed in this run replaces its old line where that line is still there. Everything
// else on disk stays, in its order. Lines are matched by their stored fields, so a line that
// occurs twice is two records.
MergedRecords mergeRecords(const RecordsFileSnapshot& read, const RecordList& current,
                           const std::optional<std::string_view>& onDisk);

// The files in `folder` that a file-sync program made of the records file `fileName` when it was
// changed in two places at once ("kivos.sync-conflict-20261208-101010-ABCDEFG.ini",
// "kivos (conflicted copy 2026-12-08).ini", "kivos.ini.conflict", "kivos_conflict-20261208.ini"):
// the names that begin with the file's name up to its extension and hold "conflict" in any case.
// Names only, sorted.
std::vector<std::string> conflictCopiesOf(const std::string& folder, const std::string& fileName);

} // namespace kivo
