// Reading and writing "kivos.ini": the header, the mail command line and one line per record.
#include "records_file.h"

#include "number_text.h"
#include "text_file.h"

#include <algorithm>
#include <cstdio>

namespace kivo {

namespace {

constexpr std::string_view kMailPathKey = "mailpath=";
constexpr std::string_view kEscapedField = "escaped,";
constexpr char kCtrlZ = '\x1A';

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithMailPath(std::string_view text) {
    if (text.size() < kMailPathKey.size())
        return false;
    for (std::size_t i = 0; i < kMailPathKey.size(); ++i)
        if (lowerAscii(text[i]) != kMailPathKey[i])
            return false;
    return true;
}

bool contains(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

bool breaksLine(std::string_view text) {
    return contains(text, '\n') || contains(text, kCtrlZ);
}

// Whether the plain line format would lose or change this record on reading it back.
bool needsEscape(const PersonRecord& record) {
    const std::string_view name = record.name;
    if (breaksLine(name))
        return true;
    if (contains(name, ',')) {
        // The quoted form has no room for quotes inside it.
        if (contains(name, '"'))
            return true;
    } else if (!name.empty() && (name[0] == '#' || name[0] == '"' || startsWithMailPath(name))) {
        // Unquoted, the line would read as a comment, a quoted name or the mail command.
        return true;
    }
    const std::string_view email = record.email;
    return breaksLine(email) || contains(email, ',');
}

void appendPercent(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

// The escaped form of a name or e-mail: every byte that could end a field, a line or the file,
// '%' itself, and a first character that would give the line another meaning become "%XX".
std::string escapeText(std::string_view text, bool isName) {
    std::string out;
    out.reserve(text.size() + 8);
    const bool guardFirst = isName && !text.empty() && (text[0] == '#' || startsWithMailPath(text));
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool special =
            c == '%' || c == ',' || c == '"' || c == kCtrlZ || c == '\n' || c == '\r';
        if (special || (i == 0 && guardFirst))
            appendPercent(out, static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Undoes escapeText. A '%' without two hex digits behind it (a hand-edited file) stays as it is.
std::string unescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Walks the fields of a record line. A field runs up to the next comma; when there is none the
// field is empty and the position stays, so every later field is empty too.
class FieldScanner {
public:
    explicit FieldScanner(std::string_view line) : line_(line) {}

    std::string_view next() {
        const std::size_t comma = line_.find(',', pos_);
        if (comma == std::string_view::npos)
            return {};
        const std::string_view field = line_.substr(pos_, comma - pos_);
        pos_ = comma + 1;
        return field;
    }

    // A name in double quotes: up to the closing quote, then on two characters after it (past
    // the comma that should follow). Without a closing quote the name is empty and the scan
    // stays just after the opening quote, as for any field whose end is missing.
    std::string_view quoted() {
        const std::size_t close = line_.find('"', pos_ + 1);
        pos_ += 1;
        if (close == std::string_view::npos)
            return {};
        const std::string_view field = line_.substr(pos_, close - pos_);
        pos_ = std::min(close + 2, line_.size());
        return field;
    }

    bool atEnd() const { return pos_ >= line_.size(); }
    std::string_view rest() const { return atEnd() ? std::string_view() : line_.substr(pos_); }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

std::string_view leftPart(std::string_view text, std::size_t from, std::size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string_view();
}

std::string formatInt(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%i", value);
    return buffer;
}

} // namespace

PersonRecord parseRecordLine(std::string_view line) {
    PersonRecord record;
    FieldScanner fields(line);
    const std::string_view name =
        (!line.empty() && line[0] == '"') ? fields.quoted() : fields.next();
    const std::string_view birthDate = fields.next();
    record.icon = atoiLike(fields.next());
    record.skipYear = atoiLike(fields.next());
    record.daysInAdvance = atoiLike(fields.next());
    record.type = atoiLike(fields.next());
    record.infoOnly = fields.next() == "1";
    const std::string_view email = fields.next();
    record.dontPrint = fields.next() == "1";
    // Lines written before LEAPLING existed end here; their 29 February counts on 1 March.
    record.leapling = fields.atEnd() ? 1 : atoiLike(fields.next());

    // The marker must end the line: a plain line whose e-mail held commas can shift an
    // "escaped" into this place, but never to the very end, where only numbers are written.
    if (fields.rest() == kEscapedField) {
        record.name = unescapeText(name);
        record.email = unescapeText(email);
    } else {
        record.name = name;
        record.email = email;
    }

    record.day = atoiLike(leftPart(birthDate, 0, 2));
    record.month = atoiLike(leftPart(birthDate, 2, 2));
    record.year =
        atoiLike(birthDate.size() > 4 ? birthDate.substr(birthDate.size() - 4) : birthDate);
    return record;
}

// A record is written as "name,DDMMYYYY,icon,skipYear,daysInAdvance,type,infoOnly,email,
// dontPrint,leapling," with a name holding a comma put in double quotes (its own quotes dropped).
//
// Some names and e-mails cannot survive that form: a name starting with "#" or "mailpath=" would
// read as a comment or as the mail command, an unquoted name starting with a quote would be cut,
// a quoted name cannot hold quotes, an e-mail with a comma shifts every later field, and a line
// feed or Ctrl-Z ends the line or the whole file. Only for such a record, the name and e-mail are
// written with those bytes (and every '%') as "%XX", the name unquoted, and one more field,
// "escaped", follows LEAPLING. Older readers stop at LEAPLING, so they still see every number
// right; ours decodes the two texts only when that field is there. Every other record is written
// exactly as before, so files stay readable both ways.
std::string formatRecordLine(const PersonRecord& record) {
    const bool escape = needsEscape(record);
    std::string line;
    line.reserve(record.name.size() + record.email.size() + 48);
    if (escape) {
        line += escapeText(record.name, true);
    } else if (contains(record.name, ',')) {
        line += '"';
        line += record.name; // holds no quote, or it would have been escaped
        line += '"';
    } else {
        line += record.name;
    }

    char date[48];
    std::snprintf(date, sizeof date, ",%02i%02i%04i,", record.day, record.month, record.year);
    line += date;
    for (int value : {record.icon, record.skipYear, record.daysInAdvance, record.type}) {
        line += formatInt(value);
        line += ',';
    }
    line += record.infoOnly ? "1," : "0,";
    line += escape ? escapeText(record.email, false) : record.email;
    line += ',';
    line += record.dontPrint ? "1," : "0,";
    line += formatInt(record.leapling);
    line += ',';
    if (escape)
        line += kEscapedField;
    return line;
}

void parseRecordsLines(const std::vector<std::string>& lines, RecordList& records,
                       std::string& mailPath) {
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '#')
            continue;
        if (startsWithMailPath(line)) {
            mailPath = line.substr(kMailPathKey.size());
            continue;
        }
        records.append(parseRecordLine(line));
    }
}

std::string formatRecordsFile(const RecordList& records, const std::string& mailPath) {
    std::string out;
    appendTextLine(out, kRecordsHeader);
    if (!mailPath.empty())
        appendTextLine(out, std::string(kMailPathKey) + mailPath);
    for (const PersonRecord& record : records)
        appendTextLine(out, formatRecordLine(record));
    return out;
}

bool readRecordsFile(const std::string& path, RecordList& records, std::string& mailPath) {
    std::vector<std::string> lines;
    const TextReadStatus status = readTextFile(path, lines);
    parseRecordsLines(lines, records, mailPath);
    return status == TextReadStatus::Ok;
}

bool writeRecordsFile(const std::string& path, const RecordList& records,
                      const std::string& mailPath, std::string* error) {
    return replaceFileAtomically(path, formatRecordsFile(records, mailPath), error);
}

} // namespace kivo
