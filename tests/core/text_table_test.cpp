// The user-interface text table: parsing "strings.ini", where it is loaded from, and the lookup.
#include "core/text_table.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TextTable parse(const std::vector<std::string>& lines) {
    TextTable texts;
    parseTextTable(lines, texts);
    return texts;
}

TEST(TextTable, ParsesEntriesAndIgnoresEverythingElse) {
    const TextTable texts = parse({"# Name=Comment", "", "no equals sign", "Name=Nom",
                                   " Close = Fermer ", "a=b=c", "=no key", "Empty="});
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0].key, "Name");
    EXPECT_EQ(texts[0].text, "Nom");
    EXPECT_EQ(texts[1].key, " Close "); // nothing is trimmed
    EXPECT_EQ(texts[1].text, " Fermer ");
    EXPECT_EQ(texts[2].key, "a");
    EXPECT_EQ(texts[2].text, "b=c");
    EXPECT_EQ(texts[3].key, "");
    EXPECT_EQ(texts[4].text, "");
}

TEST(TextTable, LookUpIgnoresCaseAndTheFirstEntryWins) {
    const TextTable texts = parse(
        {"NAME=Nom", "name=Second", "Name =Blank", "Days=", "%s has a birthday today=Happy day!"});
    EXPECT_EQ(lookUpText(texts, "Name"), "Nom");
    EXPECT_EQ(lookUpText(texts, "nAmE"), "Nom");
    EXPECT_EQ(lookUpText(texts, "Name "), "Blank");
    EXPECT_EQ(lookUpText(texts, "days"), "");
    EXPECT_EQ(lookUpText(texts, "%S HAS A BIRTHDAY TODAY"), "Happy day!");
    EXPECT_EQ(lookUpText(texts, "Close"), "Close");
    EXPECT_EQ(lookUpText(texts, "Nam"), "Nam");
    EXPECT_EQ(lookUpText({}, "OK"), "OK");
}

TEST(TextTable, ALineBreakOfTheBuiltInTextIsABlankInTheKey) {
    const TextTable texts = parse({"out of memory=Kein Speicher", "Error  =Fehler"});
    EXPECT_EQ(lookUpText(texts, "out\nof memory"), "Kein Speicher");
    EXPECT_EQ(lookUpText(texts, "Error\n\n"), "Fehler");
    EXPECT_EQ(lookUpText(texts, "out\tof memory"), "out\tof memory");
    EXPECT_EQ(lookUpText(parse({"out\nof memory=x"}), "out of memory"), "out of memory");
}

TEST(TextTable, CaseFoldingIsAsciiOnly) {
    const TextTable texts = parse({"\xC9t\xE9=Summer"});
    EXPECT_EQ(lookUpText(texts, "\xC9t\xE9"), "Summer");
    EXPECT_EQ(lookUpText(texts, "\xC9T\xE9"), "Summer");
    EXPECT_EQ(lookUpText(texts, "\xE9t\xE9"), "\xE9t\xE9");
}

TEST(TextTable, WorkingDirectoryFileHidesTheDataFolders) {
    test::TempFolder working;
    test::TempFolder data;
    test::writeBytes(data.file("strings.ini"), "# translated\r\nName=Nom\r\nOK=D'accord\r\n");

    TextTable texts;
    EXPECT_TRUE(loadTextTable(working.prefix(), data.prefix(), texts));
    EXPECT_EQ(lookUpText(texts, "ok"), "D'accord");
    EXPECT_EQ(texts.size(), 2u);

    test::writeBytes(working.file("strings.ini"), "# nothing here\r\n");
    texts.clear();
    EXPECT_TRUE(loadTextTable(working.prefix(), data.prefix(), texts));
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(lookUpText(texts, "Name"), "Name");
}

// The user's own file in the working folder, then in the data folder, then the translation
// shipped for the user's language (language_COUNTRY before language), then the built-in texts.
TEST(TextTable, TheUsersOwnFileComesFirstThenTheShippedTranslationThenTheBuiltInTexts) {
    struct Case {
        bool working, data, country, language;
        const char* shown; // what "Name" is shown as
    } cases[] = {
        {true, true, true, true, "working"},  {false, true, true, true, "data"},
        {false, false, true, true, "de_AT"},  {false, false, false, true, "de"},
        {false, false, false, false, "Name"}, {true, false, false, true, "working"},
    };
    for (const Case& c : cases) {
        test::TempFolder working, data, shipped;
        const auto place = [](bool there, const std::string& path, const char* text) {
            if (there)
                test::writeBytes(path, std::string("# ") + text + "\r\nName=" + text + "\r\n");
        };
        place(c.working, working.file("strings.ini"), "working");
        place(c.data, data.file("strings.ini"), "data");
        place(c.country, shipped.file("de_AT.ini"), "de_AT");
        place(c.language, shipped.file("de.ini"), "de");
        const std::vector<std::string> files = translationFiles(
            {shipped.prefix() + "none/", shipped.prefix()}, languagesOfLocale("de_AT.UTF-8"));
        TextTable texts;
        EXPECT_EQ(loadTextTable(working.prefix(), data.prefix(), files, texts),
                  std::string(c.shown) != "Name");
        EXPECT_EQ(lookUpText(texts, "Name"), c.shown) << "expected from " << c.shown;
    }
}

TEST(TextTable, ALocaleNameGivesItsLanguageWithAndWithoutTheCountry) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"de_DE.UTF-8", {"de_DE", "de"}},
        {"sr_RS@latin", {"sr_RS", "sr"}},
        {"pt_BR", {"pt_BR", "pt"}},
        {"sv", {"sv"}},
        {"C.UTF-8", {}},
        {"POSIX", {}},
        {"", {}},
        {"../../etc/passwd", {}},
        {"de/../x_Y", {}},
    };
    for (const auto& [locale, languages] : cases)
        EXPECT_EQ(languagesOfLocale(locale), languages) << locale;
}

TEST(TextTable, NoFileAnywhereLeavesTheTableEmpty) {
    test::TempFolder working;
    test::TempFolder data;
    TextTable texts;
    EXPECT_FALSE(loadTextTable(working.prefix(), data.prefix(), texts));
    EXPECT_TRUE(texts.empty());
}

} // namespace
} // namespace kivo
