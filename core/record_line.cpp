// One line of "kivos.ini": the fields of a record, the escape of the texts the plain line cannot
// carry, and the mail command line.
#include "record_line.h"

#include "number_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kivo {

void appendPercent(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

void unescapeText(std::string_view text, std::string& out) {
    out.clear();
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
}

namespace {

constexpr std::string_view kEscapedField = "escaped,";
constexpr char kCtrlZ = '\x1A';

bool contains(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

bool breaksLine(std::string_view text) {
    return contains(text, '\n') || contains(text, '\r') || contains(text, kCtrlZ);
}

// Whether the plain line format would lose or change this record on reading it back.
bool needsEscape(const PersonRecord& record, TextEncoding encoding) {
    const std::string_view name = record.name;
    if (!canEncode(name, encoding) || !canEncode(record.email, encoding))
        return true;
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

// The escaped form of a name or e-mail in the file's encoding: every byte that could end a field,
// a line or the file, '%' itself, a first character that would give the line another meaning,
// and the UTF-8 bytes of a character the encoding cannot carry become "%XX".
std::string escapeText(std::string_view text, bool isName, TextEncoding encoding) {
    std::string out;
    out.reserve(text.size() + 8);
    const bool guardFirst = isName && !text.empty() && (text[0] == '#' || startsWithMailPath(text));
    std::string plain;
    auto flushPlain = [&] {
        appendEncoded(out, plain, encoding, [](std::string& to, std::string_view bytes) {
            for (char b : bytes)
                appendPercent(to, static_cast<unsigned char>(b));
        });
        plain.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool special =
            c == '%' || c == ',' || c == '"' || c == kCtrlZ || c == '\n' || c == '\r';
        if (special || (i == 0 && guardFirst)) {
            flushPlain();
            appendPercent(out, static_cast<unsigned char>(c));
        } else {
            plain += c;
        }
    }
    flushPlain();
    return out;
}

// Fields are a few bytes long, too short for a library search to pay for its start; these look at
// eight bytes at a time instead.
constexpr std::uint64_t kLow7Bits = 0x7F7F7F7F7F7F7F7Fu;

// A word with the high bit set in exactly those bytes of `word` that equal `wanted`.
inline std::uint64_t bytesEqual(std::uint64_t word, char wanted) {
    const std::uint64_t x = word ^ (0x0101010101010101u * static_cast<unsigned char>(wanted));
    // A byte of x is zero where `wanted` is; adding 0x7F to its low bits sets its high bit only
    // when any bit was set, and no carry leaves a byte.
    return ~(((x & kLow7Bits) + kLow7Bits) | x | kLow7Bits);
}

constexpr bool kWordsInOrder = std::endian::native == std::endian::little;

// The first `wanted` byte in [p, end), or nullptr.
const char* findByte(const char* p, const char* end, char wanted) {
    if constexpr (kWordsInOrder) {
        for (; end - p >= 8; p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if (const std::uint64_t hits = bytesEqual(word, wanted))
                return p + std::countr_zero(hits) / 8;
        }
    }
    for (; p != end; ++p)
        if (*p == wanted)
            return p;
    return nullptr;
}

// The high bit of each byte of `hits` (the form bytesEqual gives), gathered into the low byte:
// bit k tells about byte k. The multiplication moves each high bit to its own place in the top
// byte, and no two of the sums meet, so nothing carries.
inline std::uint64_t gatherHighBits(std::uint64_t hits) {
    return ((hits >> 7) * 0x0102040810204080u) >> 56;
}

// The commas among the first 64 bytes of [p, end), one bit per byte: bit k for p[k].
std::uint64_t commaBits(const char* p, const char* end) {
    const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(end - p), 64);
    auto wordAt = [p](std::size_t i) {
        std::uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        return gatherHighBits(bytesEqual(word, ',')) << i;
    };
    std::uint64_t bits = 0;
    if (kWordsInOrder && size >= 8) {
        for (std::size_t i = 0; i + 8 <= size; i += 8)
            bits |= wordAt(i);
        // The last word may overlap the one before; a comma marked twice is marked all the same.
        return bits | wordAt(size - 8);
    }
    for (std::size_t i = 0; i < size; ++i)
        bits |= std::uint64_t{p[i] == ','} << i;
    return bits;
}

// The fields of a record line, read from left to right. A field runs up to the next comma; when
// there is none the field is empty and the scan stays where it is, so every later field is empty
// too. The commas are marked 64 bytes at a time, so that a field costs a bit search, not a byte
// search, and only as much of the line is looked at as the fields asked for.
class RecordLineFields {
public:
    // Reads the name, the first field.
    explicit RecordLineFields(std::string_view line)
        : at_(line.data()), end_(line.data() + line.size()) {
        // A name in double quotes runs up to the closing quote, and the scan goes on two
        // characters after it (past the comma that should follow). Without a closing quote the
        // name is empty and the scan stays just after the opening quote, as for any field whose
        // end is missing.
        const bool quoted = at_ != end_ && *at_ == '"';
        if (quoted) {
            ++at_;
            if (const char* close = findByte(at_, end_, '"')) {
                name_ = std::string_view(at_, static_cast<std::size_t>(close - at_));
                at_ = end_ - close > 2 ? close + 2 : end_;
            }
        }
        window_ = at_;
        commas_ = commaBits(window_, end_);
        if (!quoted)
            name_ = next();
    }

    std::string_view name() const { return name_; }
    // The next field.
    std::string_view next() {
        while (commas_ == 0) {
            if (end_ - window_ <= kWindow)
                return {};
            window_ += kWindow;
            commas_ = commaBits(window_, end_);
        }
        const char* comma = window_ + std::countr_zero(commas_);
        commas_ &= commas_ - 1;
        const std::string_view field(at_, static_cast<std::size_t>(comma - at_));
        at_ = comma + 1;
        return field;
    }
    // Whether nothing is left of the line behind the fields read so far.
    bool atEnd() const { return at_ == end_; }
    // What is left of the line behind the fields read so far.
    std::string_view rest() const {
        return std::string_view(at_, static_cast<std::size_t>(end_ - at_));
    }

private:
    static constexpr std::ptrdiff_t kWindow = 64;

    const char* at_;
    const char* end_;
    std::string_view name_;
    const char* window_;   // the start of the 64 bytes that commas_ marks
    std::uint64_t commas_; // the commas there not yet used
};

// atoi for the fields the quick path below does not take. Kept out of line, so that the quick
// path stays small enough to be inlined at every field.
int generalNumber(std::string_view field);

// A number field by atoi's rules. The usual field, a few digits with a minus sign at most, cannot
// overflow and is read on the spot; anything else goes the general way.
inline int fieldNumber(std::string_view field) {
    constexpr std::size_t kSafeLength = 9; // nine digits always fit an int
    if (field.size() > kSafeLength)
        return generalNumber(field);
    const char* p = field.data();
    const char* end = p + field.size();
    const bool negative = p != end && *p == '-';
    if (negative)
        ++p;
    int value = 0;
    for (; p != end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
        if (digit > 9)
            return generalNumber(field);
        value = value * 10 + static_cast<int>(digit);
    }
    return negative ? -value : value;
}

int generalNumber(std::string_view field) {
    return atoiLike(field);
}

std::string_view leftPart(std::string_view text, std::size_t from, std::size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string_view();
}

// `value` in decimal as printf's "%0<width>i" writes it: zeros after the sign fill the width.
// Written by hand, as a save writes it for every number of every record.
void appendInt(std::string& out, int value, int width = 0) {
    char digits[16];
    const long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    const int count = static_cast<int>(end - digits);
    if (value < 0)
        out += '-';
    const int zeros = width - count - (value < 0 ? 1 : 0);
    if (zeros > 0)
        out.append(static_cast<std::size_t>(zeros), '0');
    out.append(digits, end);
}

} // namespace

void parseRecordLine(std::string_view line, PersonRecord& record, RecordFields which,
                     TextEncoding encoding) {
    RecordLineFields fields(line);
    const std::string_view birthDate = fields.next();
    const std::string_view icon = fields.next();
    record.skipYear = fieldNumber(fields.next());
    record.daysInAdvance = fieldNumber(fields.next());
    const std::string_view type = fields.next();
    record.infoOnly = fields.next() == "1";
    const std::string_view email = fields.next();
    const std::string_view dontPrint = fields.next();
    // Lines written before LEAPLING existed end after DONTPRINT; their 29 February counts on
    // 1 March.
    record.leapling = fields.atEnd() ? 1 : fieldNumber(fields.next());
    record.day = fieldNumber(leftPart(birthDate, 0, 2));
    record.month = fieldNumber(leftPart(birthDate, 2, 2));
    record.age = -1;
    record.daysUntil = -1;
    record.nextYear = -1;
    if (which == RecordFields::DueTest)
        return;

    record.year =
        fieldNumber(birthDate.size() > 4 ? birthDate.substr(birthDate.size() - 4) : birthDate);
    record.icon = fieldNumber(icon);
    record.type = fieldNumber(type);
    record.dontPrint = dontPrint == "1";
    // The marker must end the line: a plain line whose e-mail held commas can shift an
    // "escaped" into this place, but never to the very end, where only numbers are written.
    // Decoding comes first: the escapes stand for UTF-8 bytes whatever the file's encoding.
    if (fields.rest() == kEscapedField) {
        unescapeText(decodeText(fields.name(), encoding), record.name);
        unescapeText(decodeText(email, encoding), record.email);
    } else {
        record.name.assign(fields.name());
        record.email.assign(email);
        decodeInPlace(record.name, encoding);
        decodeInPlace(record.email, encoding);
    }
}

PersonRecord parseRecordLine(std::string_view line, TextEncoding encoding) {
    PersonRecord record;
    parseRecordLine(line, record, RecordFields::All, encoding);
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
//
// The texts are written in the file's encoding; one that the encoding cannot carry is escaped too,
// with the UTF-8 bytes of the characters it lacks as "%XX".
std::string formatRecordLine(const PersonRecord& record, TextEncoding encoding) {
    const bool escape = needsEscape(record, encoding);
    std::string line;
    line.reserve(record.name.size() + record.email.size() + 48);
    if (escape) {
        line += escapeText(record.name, true, encoding);
    } else if (contains(record.name, ',')) {
        line += '"';
        appendEncoded(line, record.name, encoding); // holds no quote, or it would be escaped
        line += '"';
    } else {
        appendEncoded(line, record.name, encoding);
    }

    line += ',';
    appendInt(line, record.day, 2);
    appendInt(line, record.month, 2);
    appendInt(line, record.year, 4);
    line += ',';
    for (int value : {record.icon, record.skipYear, record.daysInAdvance, record.type}) {
        appendInt(line, value);
        line += ',';
    }
    line += record.infoOnly ? "1," : "0,";
    if (escape)
        line += escapeText(record.email, false, encoding);
    else
        appendEncoded(line, record.email, encoding);
    line += ',';
    line += record.dontPrint ? "1," : "0,";
    appendInt(line, record.leapling);
    line += ',';
    if (escape)
        line += kEscapedField;
    return line;
}

// One line of the file: a comment gives nothing, a mail command line sets `mailPath`, and any other
// line is read into `record`. Returns whether it was a record line.
bool readRecordsFileLine(std::string_view line, PersonRecord& record, std::string& mailPath,
                         RecordFields which, TextEncoding encoding) {
    if (!line.empty() && line[0] == '#')
        return false;
    if (startsWithMailPath(line)) {
        mailPath.assign(line.substr(kMailPathKey.size()));
        decodeInPlace(mailPath, encoding);
        return false;
    }
    parseRecordLine(line, record, which, encoding);
    return true;
}

} // namespace kivo
