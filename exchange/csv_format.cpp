// The CSV exchange file, written and read by the rules of the export and import commands.
#include "exchange/csv_format.h"

#include "core/number_text.h"
#include "core/safe_save.h"
#include "engine/occurrence.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

namespace kivo {

namespace {

void appendNumber(std::string& out, int value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendCsvLine(std::string& out, const PersonRecord& r) {
    for (const char c : r.name)
        if (c != ',')
            out += c;
    for (const int value : {r.year, r.month, r.day, r.icon, r.daysInAdvance, r.type,
                            r.infoOnly ? 1 : 0, r.dontPrint ? 1 : 0}) {
        out += ',';
        appendNumber(out, value);
    }
    out += ',';
    out += r.email;
    // A record without a date has no derived values; -1 says so in the file.
    const bool dated = hasUsableDate(r);
    for (const int value : {dated ? r.age : -1, dated ? r.daysUntil : -1, r.leapling}) {
        out += ',';
        appendNumber(out, value);
    }
}

// The import's cursor: the rest of the line from the current field on. It moves only past a
// comma, so a short line repeats its last field.
class Cursor {
public:
    explicit Cursor(std::string_view line) : rest_(line) {}
    std::string_view rest() const { return rest_; }
    std::string_view field() const { return rest_.substr(0, rest_.find(',')); }
    // The text before the next comma, or nothing when no comma follows.
    std::string_view textField() const {
        const auto comma = rest_.find(',');
        return comma == std::string_view::npos ? std::string_view() : rest_.substr(0, comma);
    }
    void advance() {
        const auto comma = rest_.find(',');
        if (comma != std::string_view::npos)
            rest_.remove_prefix(comma + 1);
    }

private:
    std::string_view rest_;
};

void parseInto(std::string_view line, PersonRecord& r) {
    Cursor at(line);
    r.name.assign(at.textField());
    at.advance();
    int* const numbers[] = {&r.year, &r.month, &r.day, &r.icon, &r.daysInAdvance, &r.type};
    for (int* number : numbers) {
        *number = atoiLike(at.rest());
        at.advance();
    }
    r.infoOnly = atoiLike(at.rest()) == 1;
    at.advance();
    r.dontPrint = atoiLike(at.rest()) == 1;
    at.advance();
    r.email.assign(at.textField());
    at.advance(); // now at Age
    at.advance(); // Days
    at.advance(); // Leapling
    r.leapling = atoiLike(at.rest());
    r.skipYear = -1;
    r.age = r.daysUntil = r.nextYear = -1;
}

// The years the records file can hold: it keeps four characters, a minus sign included. Any other
// year would come back changed from the next save.
bool yearFitsRecordsFile(int year) {
    return year >= -999 && year <= 9999;
}

// Reads the data lines of any line source (a text in memory or a file).
template <class Lines> void appendLines(Lines& lines, RecordList& records, CsvImportCounts& n) {
    std::string_view line;
    if (!lines.next(line))
        return; // the header, whatever it holds
    while (lines.next(line)) {
        auto record = std::make_unique<PersonRecord>();
        parseInto(line, *record);
        if (!hasUsableDate(*record) || !yearFitsRecordsFile(record->year)) {
            ++n.skipped;
            continue;
        }
        records.append(std::move(record));
        ++n.added;
    }
}

// The texts of the records appended from `first` on, decoded by the file's encoding. The CSV
// syntax is all ASCII, so decoding a field after it was taken out of its line is the same as
// decoding the line first.
void decodeTexts(RecordList& records, std::size_t first, TextEncoding encoding) {
    for (std::size_t i = first; i < records.size(); ++i) {
        decodeInPlace(records[i].name, encoding);
        decodeInPlace(records[i].email, encoding);
    }
}

} // namespace

std::string formatCsv(const RecordList& records) {
    std::string out;
    out.reserve(80 + records.size() * 64);
    out += kCsvHeader;
    out += "\r\n";
    for (const PersonRecord& r : records) {
        appendCsvLine(out, r);
        out += "\r\n";
    }
    return out;
}

PersonRecord parseCsvLine(std::string_view line) {
    PersonRecord r;
    parseInto(line, r);
    return r;
}

CsvImportCounts readCsv(std::string_view bytes, RecordList& records) {
    CsvImportCounts counts;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const std::string_view text = bytes.substr(0, bytes.find('\x1A'));
    TextLines lines(text);
    const std::size_t first = records.size();
    appendLines(lines, records, counts);
    decodeTexts(records, first, encodingOf(text));
    return counts;
}

TextReadStatus readCsvFile(const std::string& path, RecordList& records, CsvImportCounts& counts,
                           std::string* error) {
    TextFileLines lines;
    errno = 0;
    TextReadStatus status = lines.open(path);
    if (status == TextReadStatus::Ok) {
        const std::size_t first = records.size();
        appendLines(lines, records, counts);
        status = lines.status();
        // A file that broke off part-way is judged by what was read of it.
        TextEncoding encoding = lines.encoding();
        if (!lines.encodingKnown()) {
            Utf8Validator utf8;
            for (std::size_t i = first; i < records.size(); ++i) {
                utf8.feed(records[i].name);
                utf8.feed(records[i].email);
            }
            encoding = utf8.valid() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
        }
        decodeTexts(records, first, encoding);
    }
    if (status != TextReadStatus::Ok && error) {
        int reason = errno;
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec))
            reason = EISDIR;
        *error = std::strerror(reason != 0 ? reason : EIO);
    }
    return status;
}

bool writeCsvFile(const std::string& path, const RecordList& records, std::string* error) {
    return replaceFileAtomically(path, formatCsv(records), error);
}

} // namespace kivo
