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

TEST(TextTable, NoFileAnywhereLeavesTheTableEmpty) {
    test::TempFolder working;
    test::TempFolder data;
    TextTable texts;
    EXPECT_FALSE(loadTextTable(working.prefix(), data.prefix(), texts));
    EXPECT_TRUE(texts.empty());
}

} // namespace
} // namespace kivo
