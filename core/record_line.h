// One line of the records file "kivos.ini": a record, a comment or the mail command line.
#pragma once

#include "person_record.h"
#include "text_encoding.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

// The start of the line that holds the mail command, in any case.
inline constexpr std::string_view kMailPathKey = "mailpath=";

namespace record_line_detail {

inline char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace record_line_detail

// Whether `text` starts with the mail command's key, in any case. Inline: the due scan asks it of
// every line it reads in full.
inline bool startsWithMailPath(std::string_view text) {
    if (text.size() < kMailPathKey.size())
        return false;
    for (std::size_t i = 0; i < kMailPathKey.size(); ++i)
        if (record_line_detail::lowerAscii(text[i]) != kMailPathKey[i])
            return false;
    return true;
}

// Reads one record line (without its line end). Never fails: bad input reads by the rules of
// the file format (missing fields read as empty, numbers by atoi rules). The texts are decoded
// from the file's encoding (see text_encoding.h).
PersonRecord parseRecordLine(std::string_view line, TextEncoding encoding = TextEncoding::Utf8);

// How much of a record line is read: everything, or only what decides whether a record is due
// (day, month, skip year, days of advance warning, "information only" and the leapling rule), for
// a pass that looks at nothing else. The derived fields are always reset to "not computed"; with
// DueTest the others (name, year, icon, type, e-mail, "don't print") are left as they were.
enum class RecordFields { All, DueTest };

// Reads a record line into an existing record, reusing the storage of its texts.
void parseRecordLine(std::string_view line, PersonRecord& record,
                     RecordFields which = RecordFields::All,
                     TextEncoding encoding = TextEncoding::Utf8);

// The escape of one byte as the records file writes it in an escaped text: '%' and two hex digits.
void appendPercent(std::string& out, unsigned char byte);
// Undoes such escapes into `out`. A '%' without two hex digits behind it (a hand-edited file)
// stays as it is.
void unescapeText(std::string_view text, std::string& out);

// Writes one record line, without the line end, in the file's encoding. A name or e-mail that
// the plain line or the encoding cannot carry is written in an escaped form that parseRecordLine
// undoes.
std::string formatRecordLine(const PersonRecord& record,
                             TextEncoding encoding = TextEncoding::Utf8);

// One line of the file: a comment gives nothing, a mail command line sets `mailPath`, and any other
// line is read into `record`. Returns whether it was a record line.
bool readRecordsFileLine(std::string_view line, PersonRecord& record, std::string& mailPath,
                         RecordFields which, TextEncoding encoding);

} // namespace kivo
