// The contacts reader: cards unfolded into properties, the few that make a record picked out.
#include "exchange/vcard_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kivo {

namespace {

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = upper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string decodeQuotedPrintable(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=' && i + 2 < s.size()) {
            const int hi = hexValue(s[i + 1]);
            const int lo = hexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// Backslash escapes of text values; a line break inside a name becomes a blank.
std::string unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char next = s[++i];
            out += (next == 'n' || next == 'N') ? ' ' : next;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Splits at `sep` where it is not escaped with a backslash.
std::vector<std::string_view> splitUnescaped(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// A name fit for a record: control characters become blanks, blanks at either end go.
std::string cleanName(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return std::string(trim(s));
}

constexpr std::size_t kMaxParameters = 32;

struct Property {
    std::string name;                                        // upper case, without a group
    std::vector<std::pair<std::string, std::string>> params; // key upper case ("" for a bare one)
    std::string_view value;

    // The value of a parameter, or of a bare one such as 2.1's "QUOTED-PRINTABLE".
    bool has(std::string_view key, std::string_view value) const {
        for (const auto& [k, v] : params)
            if ((equalsNoCase(k, key) || k.empty()) && equalsNoCase(v, value))
                return true;
        return false;
    }
    std::string_view param(std::string_view key) const {
        for (const auto& [k, v] : params)
            if (equalsNoCase(k, key))
                return v;
        return {};
    }
    bool quotedPrintable() const { return has("ENCODING", "QUOTED-PRINTABLE"); }
    std::string text() const {
        return quotedPrintable() ? decodeQuotedPrintable(value) : std::string(value);
    }
};

// Takes a content line apart: group.NAME;PARAM=VALUE;...:value. False without a colon.
bool parseProperty(std::string_view line, Property& p) {
    std::size_t i = 0;
    std::size_t nameEnd = line.find_first_of(";:");
    if (nameEnd == std::string_view::npos)
        return false;
    std::string_view name = line.substr(0, nameEnd);
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    p.name.clear();
    for (const char c : name)
        p.name += upper(c);
    p.params.clear();
    i = nameEnd;
    while (i < line.size() && line[i] == ';') {
        ++i;
        std::string key, value;
        bool inValue = false, quoted = false;
        for (; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (!quoted && (c == ';' || c == ':'))
                break;
            if (!inValue && c == '=') {
                inValue = true;
                continue;
            }
            (inValue ? value : key) += inValue ? c : upper(c);
        }
        // No real property has more than a few parameters; a line of thousands keeps no more.
        if (p.params.size() >= kMaxParameters)
            continue;
        if (inValue)
            p.params.emplace_back(std::move(key), std::move(value));
        else
            p.params.emplace_back(std::string(), std::move(key)); // a bare parameter
    }
    if (i >= line.size() || line[i] != ':')
        return false;
    p.value = line.substr(i + 1);
    return true;
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int number(std::string_view digits) {
    int n = 0;
    for (const char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

struct Card {
    std::string fn, assembledN, email;
    bool hasBirthday = false, hasAnniversary = false;
    int bYear = 0, bMonth = 0, bDay = 0;
    int aYear = 0, aMonth = 0, aDay = 0;
};

// A date property: its value in one of the known forms, with Apple's year for "no year".
bool readDate(const Property& p, int& year, int& month, int& day) {
    if (equalsNoCase(p.param("VALUE"), "text"))
        return false;
    if (!parseVCardDate(trim(p.value), year, month, day))
        return false;
    if (const std::string_view omit = p.param("X-APPLE-OMIT-YEAR");
        allDigits(omit) && omit.size() <= 4 && number(omit) == year)
        year = 0;
    return true;
}

void takeProperty(const Property& p, Card& card) {
    if (p.name == "FN") {
        if (card.fn.empty())
            card.fn = cleanName(unescape(p.text()));
    } else if (p.name == "N") {
        if (!card.assembledN.empty())
            return;
        const std::string text = p.text();
        const auto parts = splitUnescaped(text, ';');
        // Family; Given; Additional; Prefix; Suffix, as a person writes a name.
        std::string name;
        for (const std::size_t k : {3u, 1u, 2u, 0u, 4u}) {
            if (k >= parts.size())
                continue;
            std::string part = unescape(parts[k]);
            for (char& c : part)
                if (c == ',')
                    c = ' ';
            part = cleanName(std::move(part));
            if (part.empty())
                continue;
            if (!name.empty())
                name += ' ';
            name += part;
        }
        card.assembledN = name;
    } else if (p.name == "EMAIL") {
        if (card.email.empty())
            card.email = cleanName(unescape(p.text()));
    } else if (p.name == "BDAY") {
        if (!card.hasBirthday)
            card.hasBirthday = readDate(p, card.bYear, card.bMonth, card.bDay);
    } else if (p.name == "ANNIVERSARY" || p.name == "X-ANNIVERSARY" ||
               p.name == "X-EVOLUTION-ANNIVERSARY") {
        if (!card.hasAnniversary)
            card.hasAnniversary = readDate(p, card.aYear, card.aMonth, card.aDay);
    }
}

// Cuts the text into content lines: lines that begin with a blank continue the one before, and a
// quoted-printable value of version 2.1 that ends with "=" goes on in the next line.
class ContentLines {
public:
    explicit ContentLines(std::string_view text) : text_(text) {}

    bool next(std::string& line) {
        std::string_view physical;
        if (!physicalAt(pos_, physical, pos_))
            return false;
        line.assign(physical);
        // Whether the value is quoted-printable is known once the colon is seen; the text is
        // searched only once, however many lines the value takes.
        std::size_t searched = 0;
        bool known = false;
        bool quotedPrintable = false;
        for (;;) {
            if (!known) {
                const auto colon = line.find(':', searched);
                searched = line.size();
                if (colon != std::string::npos) {
                    known = true;
                    quotedPrintable =
                        containsQuotedPrintable(std::string_view(line).substr(0, colon));
                }
            }
            std::string_view more;
            std::size_t after = 0;
            if (!physicalAt(pos_, more, after))
                break;
            if (quotedPrintable && !line.empty() && line.back() == '=') {
                line.pop_back();
                line.append(more);
            } else if (!more.empty() && (more[0] == ' ' || more[0] == '\t')) {
                line.append(more.substr(1));
            } else {
                break;
            }
            pos_ = after;
        }
        return true;
    }

private:
    static bool containsQuotedPrintable(std::string_view head) {
        constexpr std::string_view word = "QUOTED-PRINTABLE";
        for (std::size_t i = 0; i + word.size() <= head.size(); ++i)
            if (equalsNoCase(head.substr(i, word.size()), word))
                return true;
        return false;
    }
    // The physical line at `at`, without its line end, and where the next one begins.
    bool physicalAt(std::size_t at, std::string_view& line, std::size_t& after) const {
        if (at >= text_.size())
            return false;
        std::size_t end = text_.find('\n', at);
        after = end == std::string_view::npos ? text_.size() : end + 1;
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

bool parseVCardDate(std::string_view v, int& year, int& month, int& day) {
    if (const auto t = v.find_first_of("Tt"); t != std::string_view::npos)
        v = v.substr(0, t);
    std::string_view y, m, d;
    if (v.size() >= 2 && v[0] == '-' && v[1] == '-') {
        v.remove_prefix(2);
        if (v.size() == 4)
            m = v.substr(0, 2), d = v.substr(2);
        else if (v.size() == 5 && v[2] == '-')
            m = v.substr(0, 2), d = v.substr(3);
        else
            return false;
    } else if (v.size() == 8) {
        y = v.substr(0, 4), m = v.substr(4, 2), d = v.substr(6);
    } else if (v.size() == 10 && v[4] == '-' && v[7] == '-') {
        y = v.substr(0, 4), m = v.substr(5, 2), d = v.substr(8);
    } else {
        return false;
    }
    if ((!y.empty() && !allDigits(y)) || !allDigits(m) || !allDigits(d))
        return false;
    year = y.empty() ? 0 : number(y);
    month = number(m);
    day = number(d);
    if (month < 1 || month > 12 || day < 1)
        return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int most = (month == 2 && year != 0 && !isLeap(year)) ? 28 : kDays[month - 1];
    return day <= most;
}

VCardImportCounts readVCards(std::string_view bytes, const PersonRecord& defaults,
                             std::string_view anniversaryWord, RecordList& records) {
    VCardImportCounts counts;
    ContentLines lines(bytes);
    std::string line;
    Property p;
    Card card;
    bool open = false;

    const auto finish = [&] {
        const std::string& name = !card.fn.empty() ? card.fn : card.assembledN;
        if (name.empty() || (!card.hasBirthday && !card.hasAnniversary)) {
            ++counts.skipped;
            return;
        }
        const auto add = [&](std::string recordName, int type, int y, int m, int d) {
            PersonRecord r = defaults;
            r.name = std::move(recordName);
            r.email = card.email;
            r.type = type;
            r.year = y, r.month = m, r.day = d;
            r.skipYear = -1;
            r.age = r.daysUntil = r.nextYear = -1;
            records.append(std::move(r));
            ++counts.added;
        };
        if (card.hasBirthday)
            add(name, Birthday, card.bYear, card.bMonth, card.bDay);
        if (card.hasAnniversary)
            add(name + " (" + std::string(anniversaryWord) + ")", AnnualEventWithStart, card.aYear,
                card.aMonth, card.aDay);
    };

    while (lines.next(line)) {
        if (!parseProperty(line, p))
            continue;
        if (p.name == "BEGIN" && equalsNoCase(trim(p.value), "VCARD")) {
            if (open)
                ++counts.skipped; // a card that never ended
            card = Card();
            open = true;
        } else if (!open) {
            continue;
        } else if (p.name == "END" && equalsNoCase(trim(p.value), "VCARD")) {
            finish();
            open = false;
        } else {
            takeProperty(p, card);
        }
    }
    if (open)
        ++counts.skipped;
    return counts;
}

TextReadStatus readVCardFile(const std::string& path, const PersonRecord& defaults,
                             std::string_view anniversaryWord, RecordList& records,
                             VCardImportCounts& counts, std::string* error) {
    const auto fail = [error](TextReadStatus status, int reason) {
        if (error)
            *error = std::strerror(reason != 0 ? reason : EIO);
        return status;
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return fail(TextReadStatus::CannotOpen, EISDIR);
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return fail(TextReadStatus::CannotOpen, errno);
    std::string bytes;
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    const int readError = std::ferror(file) ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(file);
    if (readError != 0)
        return fail(TextReadStatus::ReadError, readError);
    counts = readVCards(bytes, defaults, anniversaryWord, records);
    return TextReadStatus::Ok;
}

} // namespace kivo
