// The user-interface text table from "strings.ini" and the lookup every visible text goes through.
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
// data folder. Both folders end with the path separator. Returns whether a file was opened and
// read to its end (after a failure part-way, the pairs read so far stay).
bool loadTextTable(const std::string& workingFolder, const std::string& dataFolder,
                   TextTable& texts);

// The text to show for a built-in English text: the first pair whose key equals it without regard
// to case, or the built-in text itself.
std::string lookUpText(const TextTable& texts, std::string_view builtIn);

} // namespace kivo
