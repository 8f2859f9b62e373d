// The records file "kivos.ini": its header, the "mailpath=" line and one line per record.
#pragma once

#include "person_record.h"

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

inline constexpr const char* kRecordsFileName = "kivos.ini";
inline constexpr const char* kRecordsHeader =
    "# NAME, BIRTHDATE, ICON, SKIPYEAR, DAYSINADVANCE, NOTABIRTHDAY, INFOONLY, EMAIL, DONTPRINT, "
    "LEAPLING";

// Reads one record line (without its line end). Never fails: bad input reads by the rules of
// the file format (missing fields read as empty, numbers by atoi rules).
PersonRecord parseRecordLine(std::string_view line);

// Writes one record line, without the line end. A name or e-mail that the plain line cannot
// carry is written in an escaped form that parseRecordLine undoes.
std::string formatRecordLine(const PersonRecord& record);

// Applies the lines of a records file: comments skipped, "mailpath=" lines (any case) set
// `mailPath`, every other line appended as a record.
void parseRecordsLines(const std::vector<std::string>& lines, RecordList& records,
                       std::string& mailPath);

// The whole file as bytes: header, mail command line when `mailPath` is not empty, records.
std::string formatRecordsFile(const RecordList& records, const std::string& mailPath);

// Reads `path`, appending to `records` (which is not emptied first). Returns false when the file
// cannot be opened or reading fails part-way; the records read so far stay.
bool readRecordsFile(const std::string& path, RecordList& records, std::string& mailPath);

// Replaces `path` with the records, never leaving a half-written file behind. Returns false with
// the reason in `error` when it could not; the previous file is then untouched.
bool writeRecordsFile(const std::string& path, const RecordList& records,
                      const std::string& mailPath, std::string* error = nullptr);

} // namespace kivo
