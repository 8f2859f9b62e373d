// The user-interface text table from "strings.ini" or a shipped translation, and the lookup every
// visible text goes through.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

struct TextPair {
    std::string key;
    std::string text;
};

using TextTable = std::vector<TextPair>;

// Appends one pair per entry line: "#" lines are comments, the first "=" splits key and text,
// nothing is trimmed, lines without "=" are ignored.
void parseTextTable(const std::vector<std::string>& lines, TextTable& texts);

// Loads "strings.ini" from the working directory, or only when that cannot be opened, from the
// data folder; only when neither can be opened, the first of `translations` (shipped translation
// files, most fitting first) that opens. Both folders end with the path separator. Returns
// whether a file was opened and read to its end (after a failure part-way, the pairs read so far
// stay).
bool loadTextTable(const std::string& workingFolder, const std::string& dataFolder,
                   const std::vector<std::string>& translations, TextTable& texts);
bool loadTextTable(const std::string& workingFolder, const std::string& dataFolder,
                   TextTable& texts);

// The first pair whose key is the built-in English text without regard to case, or null. A line
// break in the built-in text is written as a blank in the key, since a line of the file cannot
// hold one.
const TextPair* findText(const TextTable& texts, std::string_view builtIn);

// The text to show for a built-in English text: the text of findText's pair, or the built-in
// text itself.
std::string lookUpText(const TextTable& texts, std::string_view builtIn);

// The languages a locale name stands for, the most fitting first: "de_DE.UTF-8@euro" gives
// "de_DE" and "de"; "C", "POSIX", an empty name and one that is no plain language name give none.
std::vector<std::string> languagesOfLocale(std::string_view localeName);

// The shipped translation files to try, in order: "<folder><language>.ini" for each folder (each
// ending with the path separator) and, within it, each language in order.
std::vector<std::string> translationFiles(const std::vector<std::string>& folders,
                                          const std::vector<std::string>& languages);

} // namespace kivo
