// The shipped translations against the built-in table: a line for every text, the placeholders of
// the English text, nothing empty. A missing or broken line is named with its file and text.
#include "core/built_in_texts.h"
#include "core/text_encoding.h"
#include "core/text_file.h"
#include "core/text_table.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace kivo {
namespace {

// What the program fills into a text: "%s" and "%i" in order (their order is the arguments'
// order), or Qt's "%1", "%2" (any order, but each of them); "%%" is a percent sign.
std::string placeholders(std::string_view text, bool numbered) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        const char next = text[++i];
        if (numbered && next >= '1' && next <= '9')
            found.push_back(std::string("%") + next);
        else if (!numbered && next != '%')
            found.push_back(std::string("%") + next);
    }
    if (numbered)
        std::sort(found.begin(), found.end());
    std::string joined;
    for (const std::string& p : found)
        joined += p + " ";
    return joined;
}

// What is wrong with a translation of `builtIn`, or nothing.
std::string fault(std::string_view builtIn, std::string_view text) {
    if (text.empty())
        return "is empty";
    if (builtIn.find("%20") != std::string_view::npos) {
        // Put into a "mailto:" address as it is: blanks and other bytes as %XX.
        static const std::regex urlEncoded("([A-Za-z0-9!'()*._~,;:@/-]|%[0-9A-Fa-f]{2})+");
        return std::regex_match(std::string(text), urlEncoded) ? "" : "is not URL-encoded";
    }
    const bool numbered = placeholders(builtIn, true) != "";
    const std::string wanted = placeholders(builtIn, numbered);
    const std::string given = placeholders(text, numbered);
    if (given != wanted)
        return "has the placeholders \"" + given + "\" instead of \"" + wanted + "\"";
    if (numbered && placeholders(text, false).find("%%") != std::string::npos)
        return "has a \"%%\", which Qt shows as it is";
    return "";
}

TEST(ShippedTranslations, TheCheckFindsTheFaultsThatWouldShowWrongly) {
    const struct {
        const char* builtIn;
        const char* text;
        bool good;
    } cases[] = {
        {"%s will be %s on %s %s (%s)", "%s wird %s am %s, %s (%s)", true},
        {"%s %i days ago", "vor %i Tagen: %s", false},
        {"%s %i days ago", "%s war vor Tagen", false},
        {"in %i days", "in %d Tagen", false},
        {"in %i days", "100 %% in %i Tagen", true},
        {"Calendar: %1 new, %2 changed, %3 removed.", "%3 entfernt, %1 neu, %2 geändert", true},
        {"Calendar: %1 new, %2 changed, %3 removed.", "%1 neu, %2 geändert", false},
        {"Items", "Einträge %1", false},
        {"Items", "", false},
        {"Happy%20Birthday!", "Grattis%20p%C3%A5%20f%C3%B6delsedagen!", true},
        {"Happy%20Birthday!", "Alles Gute!", false},
        {"Happy%20Birthday!", "Grattis%20på%20födelsedagen!", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fault(c.builtIn, c.text).empty(), c.good) << c.builtIn << " = " << c.text;
}

TEST(ShippedTranslations, EveryTextOfTheBuiltInTableHasAGoodLineInEveryLanguage) {
    std::set<std::string> languages;
    for (const auto& entry : std::filesystem::directory_iterator(KIVO_TRANSLATIONS_SOURCE)) {
        if (entry.path().extension() != ".ini")
            continue;
        const std::string file = entry.path().filename().string();
        languages.insert(entry.path().stem().string());
        std::string bytes;
        bool missing = false;
        ASSERT_EQ(readFileBytes(entry.path().string(), bytes, missing), TextReadStatus::Ok);
        // Read the same on every system: a file that is not UTF-8 would be taken as Windows-1252.
        EXPECT_TRUE(isValidUtf8(bytes)) << file << " is not UTF-8";
        std::vector<std::string> lines;
        ASSERT_EQ(readTextFile(entry.path().string(), lines), TextReadStatus::Ok);
        TextTable texts;
        parseTextTable(lines, texts);

        for (const std::string_view builtIn : builtInTexts()) {
            const TextPair* line = findText(texts, builtIn);
            if (!line) {
                ADD_FAILURE() << file << " has no line for \"" << builtIn << "\"";
                continue;
            }
            if (const std::string wrong = fault(builtIn, line->text); !wrong.empty())
                ADD_FAILURE() << file << ": the line for \"" << builtIn << "\" " << wrong;
        }
        // A line no text looks up is a text that was renamed or removed: it would never show.
        for (const TextPair& pair : texts) {
            const auto& all = builtInTexts();
            const bool known = std::any_of(all.begin(), all.end(), [&](std::string_view b) {
                return findText({pair}, b) != nullptr;
            });
            EXPECT_TRUE(known) << file << " has a line for \"" << pair.key
                               << "\", which is no text of the program";
            EXPECT_EQ(findText(texts, pair.key), &pair)
                << file << " has two lines for \"" << pair.key << "\"";
        }
    }
    const std::set<std::string> shipped{"de", "es", "fr", "it", "nl", "pt_BR", "sv"};
    EXPECT_TRUE(std::includes(languages.begin(), languages.end(), shipped.begin(), shipped.end()));
}

} // namespace
} // namespace kivo
