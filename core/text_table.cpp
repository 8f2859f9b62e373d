// Building the text table from "strings.ini" or a shipped translation, and looking visible texts
// up in it.
#include "text_table.h"

#include "text_file.h"

#include <algorithm>

namespace kivo {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A key of the file against a built-in text: case aside, and a blank for a line break.
bool keyMatches(std::string_view key, std::string_view builtIn) {
    return key.size() == builtIn.size() &&
           std::equal(key.begin(), key.end(), builtIn.begin(), [](char k, char b) {
               return lowerAscii(k) == lowerAscii(b) || (b == '\n' && k == ' ');
           });
}

bool isLanguageName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
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
                   const std::vector<std::string>& translations, TextTable& texts) {
    std::vector<std::string> lines;
    // The data folder's file is only a fallback: one in the working directory wins even when it
    // is empty or breaks off part-way. A user's own file of either place hides the shipped
    // translations the same way, so that it means what it always meant.
    TextReadStatus status = readTextFile(workingFolder + "strings.ini", lines);
    if (status == TextReadStatus::CannotOpen)
        status = readTextFile(dataFolder + "strings.ini", lines);
    for (std::size_t i = 0; status == TextReadStatus::CannotOpen && i < translations.size(); ++i)
        status = readTextFile(translations[i], lines);
    parseTextTable(lines, texts);
    return status == TextReadStatus::Ok;
}

bool loadTextTable(const std::string& workingFolder, const std::string& dataFolder,
                   TextTable& texts) {
    return loadTextTable(workingFolder, dataFolder, {}, texts);
}

const TextPair* findText(const TextTable& texts, std::string_view builtIn) {
    for (const TextPair& pair : texts)
        if (keyMatches(pair.key, builtIn))
            return &pair;
    return nullptr;
}

std::string lookUpText(const TextTable& texts, std::string_view builtIn) {
    const TextPair* pair = findText(texts, builtIn);
    return pair ? pair->text : std::string(builtIn);
}

std::vector<std::string> languagesOfLocale(std::string_view localeName) {
    // "language_COUNTRY.codeset@modifier": the code set and the modifier do not change the words.
    const std::string_view name = localeName.substr(0, localeName.find_first_of(".@"));
    if (!isLanguageName(name) || name == "C" || name == "POSIX")
        return {};
    std::vector<std::string> languages{std::string(name)};
    if (const std::size_t country = name.find('_');
        country != std::string_view::npos && country > 0)
        languages.emplace_back(name.substr(0, country));
    return languages;
}

std::vector<std::string> translationFiles(const std::vector<std::string>& folders,
                                          const std::vector<std::string>& languages) {
    std::vector<std::string> files;
    for (const std::string& folder : folders)
        for (const std::string& language : languages)
            files.push_back(folder + language + ".ini");
    return files;
}

} // namespace kivo
