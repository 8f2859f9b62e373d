#include "sync/tag_lines.h"

#include "core/record_line.h"

namespace kivo {

namespace {

std::string escapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == '%' || byte == 0x7F)
            appendPercent(out, byte);
        else
            out += c;
    }
    return out;
}

} // namespace

std::string tagLine(std::string_view tag, std::initializer_list<std::string_view> fields) {
    std::string line(tag);
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first)
            line += '\t';
        line += escapeField(field);
        first = false;
    }
    return line;
}

std::vector<std::string> splitFields(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = text.find('\t', start);
        std::string field;
        unescapeText(text.substr(start, tab - start), field);
        fields.push_back(std::move(field));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

} // namespace kivo
