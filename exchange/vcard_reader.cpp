// The contacts reader: cards unfolded into properties, the few that make a record picked out.
#include "exchange/vcard_reader.h"

#include <algorithm>
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
// No real card has more than a few dated events; a card of thousands keeps no more.
constexpr std::size_t kMaxEvents = 16;

struct Property {
    std::string group;                                       // upper case; "" for none
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
    p.group.clear();
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
        for (const char c : name.substr(0, dot))
            p.group += upper(c);
        name.remove_prefix(dot + 1);
    }
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
    std::string fn, assembledN, email, uid;
    std::optional<VCardDate> birthday, anniversary;
    // Apple's dated events and their labels, each tied to its own by the group of the line.
    std::vector<std::pair<std::string, VCardDate>> labelledDates;
    std::vector<std::pair<std::string, std::string>> labels;
};

// Apple's contacts write a date whose year the user left out with the year 1604, with or without
// the X-APPLE-OMIT-YEAR parameter that says so; nobody alive was born then.
constexpr int kAppleNoYear = 1604;

// A date property: its value in one of the known forms, with Apple's year for "no year".
std::optional<VCardDate> readDate(const Property& p) {
    if (equalsNoCase(p.param("VALUE"), "text"))
        return std::nullopt;
    VCardDate date;
    if (!parseVCardDate(trim(p.value), date.year, date.month, date.day))
        return std::nullopt;
    if (const std::string_view omit = p.param("X-APPLE-OMIT-YEAR");
        date.year == kAppleNoYear ||
        (allDigits(omit) && omit.size() <= 4 && number(omit) == date.year))
        date.year = 0;
    return date;
}

// An X-ABLabel as a record shows it: Apple's own labels come as "_$!<Anniversary>!$_", and its
// anniversary is the anniversary (empty label).
std::string eventLabel(std::string label) {
    constexpr std::string_view open = "_$!<", close = ">!$_";
    if (label.size() >= open.size() + close.size() && label.starts_with(open) &&
        label.ends_with(close))
        label = label.substr(open.size(), label.size() - open.size() - close.size());
    label = cleanName(std::move(label));
    return equalsNoCase(label, "Anniversary") ? std::string() : label;
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
    } else if (p.name == "UID") {
        if (card.uid.empty())
            card.uid = cleanName(unescape(p.text()));
    } else if (p.name == "BDAY") {
        if (!card.birthday)
            card.birthday = readDate(p);
    } else if (p.name == "ANNIVERSARY" || p.name == "X-ANNIVERSARY" ||
               p.name == "X-EVOLUTION-ANNIVERSARY") {
        if (!card.anniversary)
            card.anniversary = readDate(p);
    } else if (p.name == "X-ABDATE") {
        if (card.labelledDates.size() < kMaxEvents)
            if (auto date = readDate(p))
                card.labelledDates.emplace_back(p.group, std::move(*date));
    } else if (p.name == "X-ABLABEL") {
        if (card.labels.size() < kMaxEvents && !p.group.empty())
            card.labels.emplace_back(p.group, eventLabel(unescape(p.text())));
    }
}

// The contact a finished card describes, or nothing when it has no name or no date.
std::optional<VCardContact> contactOf(Card& card) {
    VCardContact contact;
    contact.name = !card.fn.empty() ? card.fn : card.assembledN;
    contact.email = std::move(card.email);
    contact.uid = std::move(card.uid);
    contact.birthday = card.birthday;
    if (card.anniversary)
        contact.events.push_back(*card.anniversary);
    for (auto& [group, date] : card.labelledDates) {
        // A date without a label of its own (no group, or none given) is Apple's "other" date;
        // it is still the user's event, so it is kept, named as an anniversary.
        for (const auto& [labelGroup, label] : card.labels)
            if (!group.empty() && labelGroup == group) {
                date.label = label;
                break;
            }
        if (std::find(contact.events.begin(), contact.events.end(), date) == contact.events.end())
            contact.events.push_back(std::move(date));
    }
    if (contact.name.empty() || (!contact.birthday && contact.events.empty()))
        return std::nullopt;
    return contact;
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

std::vector<VCardContact> readVCardContacts(std::string_view bytes, std::size_t& skipped) {
    std::vector<VCardContact> contacts;
    skipped = 0;
    ContentLines lines(bytes);
    std::string line;
    Property p;
    Card card;
    bool open = false;
    while (lines.next(line)) {
        if (!parseProperty(line, p))
            continue;
        if (p.name == "BEGIN" && equalsNoCase(trim(p.value), "VCARD")) {
            if (open)
                ++skipped; // a card that never ended
            card = Card();
            open = true;
        } else if (!open) {
            continue;
        } else if (p.name == "END" && equalsNoCase(trim(p.value), "VCARD")) {
            if (auto contact = contactOf(card))
                contacts.push_back(std::move(*contact));
            else
                ++skipped;
            open = false;
        } else {
            takeProperty(p, card);
        }
    }
    if (open)
        ++skipped;
    return contacts;
}

std::size_t appendRecordsOfContact(const VCardContact& contact, const PersonRecord& defaults,
                                   std::string_view anniversaryWord, RecordList& records) {
    std::size_t added = 0;
    const auto add = [&](std::string name, int type, const VCardDate& date) {
        PersonRecord r = defaults;
        r.name = std::move(name);
        r.email = contact.email;
        r.type = type;
        r.year = date.year, r.month = date.month, r.day = date.day;
        r.skipYear = -1;
        r.age = r.daysUntil = r.nextYear = -1;
        records.append(std::move(r));
        ++added;
    };
    if (contact.birthday)
        add(contact.name, Birthday, *contact.birthday);
    for (const VCardDate& event : contact.events)
        add(contact.name + " (" +
                (event.label.empty() ? std::string(anniversaryWord) : event.label) + ")",
            AnnualEventWithStart, event);
    return added;
}

VCardImportCounts readVCards(std::string_view bytes, const PersonRecord& defaults,
                             std::string_view anniversaryWord, RecordList& records) {
    VCardImportCounts counts;
    for (const VCardContact& contact : readVCardContacts(bytes, counts.skipped))
        counts.added += appendRecordsOfContact(contact, defaults, anniversaryWord, records);
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
