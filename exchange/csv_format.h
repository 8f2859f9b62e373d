// The CSV exchange file: its header, one line per record, and the reading rules of the import.
#pragma once

#include "core/person_record.h"
#include "core/text_file.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

inline constexpr const char* kCsvHeader =
    "Name,Year,Month,Day,Icon,Warning,Type,Info,DontPrint,Email,Age,Days,Leapling";

// The whole file: header and one line per record, each ending with CR LF.
std::string formatCsv(const RecordList& records);

// Reads one data line into a fresh record by the import's cursor rule (a field without a comma
// after it repeats for the fields that follow). skipYear is -1; derived fields are not computed.
PersonRecord parseCsvLine(std::string_view line);

// What an import brought: records appended, and lines left out because their day or month is not
// a date (day 1..31 and month 1..12), which no list could show, or their year is one the records
// file cannot keep (below -999 or above 9999).
struct CsvImportCounts {
    std::size_t added = 0;
    std::size_t skipped = 0;
};

// Appends the records of CSV bytes (first line skipped whatever it holds; a Ctrl-Z ends the text)
// to `records`.
CsvImportCounts readCsv(std::string_view bytes, RecordList& records);

// Reads a CSV file into `records`. On a file that cannot be opened or a read that fails part-way
// it returns that status with the reason in `error`; the records of the lines read before stay.
TextReadStatus readCsvFile(const std::string& path, RecordList& records, CsvImportCounts& counts,
                           std::string* error = nullptr);

// Replaces `path` with the CSV of `records` only once it is completely written; on failure the
// old file is untouched, no partial file remains and `error` receives the reason.
bool writeCsvFile(const std::string& path, const RecordList& records, std::string* error = nullptr);

} // namespace kivo
