// Building the text table from "strings.ini" and looking visible texts up in it.
#include "text_table.h"

#include "text_file.h"

#include <algorithm>

namespace kivo {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

} // namespace

void parseTextTable(const std::vector<std::string>& lines, TextTable& texts) {
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '#')
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        texts.push_back({line.substr(0, equals), line.substr(equals + 1)});
    }
}

bool loadTextTable(const std::string& workingFolder, const std::string& dataFolder,
                   TextTable& texts) {
    std::vector<std::string> lines;
    // The data folder's file is only a fallback: one in the working directory wins even when it
    // is empty or breaks off part-way.
    TextReadStatus status = readTextFile(workingFolder + "strings.ini", lines);
    if (status == TextReadStatus::CannotOpen)
        status = readTextFile(dataFolder + "strings.ini", lines);
    parseTextTable(lines, texts);
    return status == TextReadStatus::Ok;
}

std::string lookUpText(const TextTable& texts, std::string_view builtIn) {
    for (const TextPair& pair : texts)
        if (equalsIgnoringCase(pair.key, builtIn))
            return pair.text;
    return std::string(builtIn);
}

} // namespace kivo
