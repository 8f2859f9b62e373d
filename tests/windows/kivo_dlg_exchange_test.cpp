// The setup window's Export and Import: the file dialogs answered by a script, the questions and
// messages it shows, the files it leaves on disk and the records it appends.
#include "windows/kivo_dlg.h"

#include "platform/file_picker.h"
#include "resources/dialog_templates.h"
#include "support/window_fixture.h"

#include <QDir>
#include <QPushButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace kivo {
namespace {

using test::control;
using test::readFileBytes;
using test::record;
using test::writeFileBytes;

constexpr const char* kHeader =
    "Name,Year,Month,Day,Icon,Warning,Type,Info,DontPrint,Email,Age,Days,Leapling\r\n";

struct Exchange : test::SetupWindowFixture {
    std::string folder;            // a fresh folder for the chosen files, with the separator
    std::vector<FilePicker> shown; // what each file dialog was asked to show

    Exchange() {
        folder = fake.root.path().toStdString() + "/files/";
        QDir().mkpath(QString::fromStdString(folder));
    }

    // A window whose file dialog answers with `path` and `filterIndex`, or is cancelled when
    // `path` is empty.
    std::unique_ptr<CKivoDlg> openAnswering(std::string path, int filterIndex = 0) {
        auto dlg = open();
        dlg->shiftHeld = [] { return false; };
        dlg->runFilePicker = [this, path, filterIndex](FilePicker& picker) {
            shown.push_back(picker);
            if (path.empty())
                return -1;
            picker.path = path;
            picker.filterIndex = filterIndex;
            return 1;
        };
        return dlg;
    }
    static void click(CKivoDlg& dlg, SetupControl id) { control<QPushButton>(dlg, id)->click(); }
};

TEST_F(Exchange, ExportWritesTheCsvFileAndAppendsTheExtension) {
    add(record("Smith, John", 7, 3, 1980, {.email = "john@example.com"}));
    add(record("No year", 1, 1, 0, {.type = AnnualEvent}));
    const std::string expected = std::string(kHeader) +
                                 "Smith John,1980,3,7,4,7,0,0,0,john@example.com,45,1,1\r\n"
                                 "No year,0,1,1,4,7,1,0,0,,-1,301,1\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"list.txt", "list.txt.csv"}, {"DATA.CSV", "DATA.CSV"}, {"x", "x.csv"}};
    for (const auto& [chosen, written] : cases) {
        SCOPED_TRACE(chosen);
        auto dlg = openAnswering(folder + chosen);
        click(*dlg, SetupControl::Export);
        EXPECT_EQ(readFileBytes(folder + written), expected);
        EXPECT_FALSE(dlg->modified);
    }
    // The dialog the user saw.
    ASSERT_FALSE(shown.empty());
    EXPECT_FALSE(shown[0].forOpening);
    EXPECT_EQ(shown[0].defaultName, "birthdays.csv");
    ASSERT_EQ(shown[0].filters.size(), 3u);
    EXPECT_EQ(shown[0].filters[0].first, "CSV Files (*.csv)");
    EXPECT_EQ(shown[0].filters[1].first, "iCalendar Files (*.ics)");
    EXPECT_EQ(shown[0].filters[2].first, "All Files (*)");
    EXPECT_TRUE(fake.messages.questions.empty());
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_F(Exchange, ExportCancelledOrNotOverwrittenChangesNothing) {
    add(record("Anna", 7, 3, 1980));
    auto cancelled = openAnswering("");
    click(*cancelled, SetupControl::Export);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files).size(), 0);

    writeFileBytes(folder + "x.csv", "old content");
    auto dlg = openAnswering(folder + "x");
    fake.messages.answers = {false};
    click(*dlg, SetupControl::Export);
    ASSERT_EQ(fake.messages.questions.size(), 1u);
    EXPECT_EQ(fake.messages.questions[0],
              "That file already exists.  Do you wish to overwrite it?");
    EXPECT_EQ(readFileBytes(folder + "x.csv"), "old content");

    fake.messages.answers = {true};
    click(*dlg, SetupControl::Export);
    EXPECT_EQ(readFileBytes(folder + "x.csv").substr(0, 13), "Name,Year,Mon");
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files).size(), 1);
}

TEST_F(Exchange, AFailedExportSaysWhyAndLeavesNoFile) {
    add(record("Anna", 7, 3, 1980));
    auto dlg = openAnswering(folder + "missing/folder/out.csv");
    click(*dlg, SetupControl::Export);
    ASSERT_EQ(fake.messages.errors.size(), 1u);
    EXPECT_EQ(fake.messages.errors[0].rfind("Error writing to file\n\n", 0), 0u);
    EXPECT_GT(fake.messages.errors[0].size(), 23u); // the reason follows
    EXPECT_FALSE(std::filesystem::exists(folder + "missing"));
}

TEST_F(Exchange, TheSecondExportTypeWritesOneCalendarOfEveryRecord) {
    add(record("Anna", 7, 3, 1980));
    add(record("Undated", 0, 0, 0));
    auto dlg = openAnswering(folder + "all", 1);
    click(*dlg, SetupControl::Export);
    const std::string text = readFileBytes(folder + "all.ics");
    EXPECT_EQ(text.rfind("BEGIN:VCALENDAR\r\n", 0), 0u);
    EXPECT_NE(text.find("SUMMARY:Anna's Birthday\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Undated"), std::string::npos);
    ASSERT_EQ(fake.messages.infos.size(), 1u); // the record left out is told of
    EXPECT_NE(fake.messages.infos[0].find(": 1"), std::string::npos);
}

TEST_F(Exchange, ShiftWritesOneCalendarFilePerRecordWithoutADialog) {
    const std::string data = fake.root.path().toStdString() + "/data/";
    QDir().mkpath(QString::fromStdString(data + "sub"));
    writeFileBytes(data + "categories.ini", "Family\r\nWork\r\n");
    add(record("Jo \"JJ\" Smith", 7, 3, 1980, {.icon = 1}));
    add(record("Club", 29, 2, 0, {.icon = 2}));
    auto dlg = openAnswering(folder + "never");
    dlg->dataFolder = data;
    dlg->shiftHeld = [] { return true; };
    click(*dlg, SetupControl::Export);

    EXPECT_TRUE(shown.empty());
    const std::string jo = readFileBytes(data + "Jo JJ Smith.ics");
    EXPECT_NE(jo.find("\r\nCATEGORIES:Work\r\nCLASS:PUBLIC\r\nCONTACT:Jo JJ Smith\r\n"),
              std::string::npos);
    EXPECT_NE(jo.find("\r\nSUMMARY:Jo JJ Smith's Birthday\r\n"), std::string::npos);
    const std::string club = readFileBytes(data + "Club.ics");
    EXPECT_NE(club.find("\r\nCATEGORIES:Birthday\r\n"), std::string::npos);
    EXPECT_NE(club.find("\r\nDTSTART;VALUE=DATE:00000229\r\n"), std::string::npos);
    EXPECT_EQ(dlg->categories[0], "Family");
    // Every file written: nothing is shown.
    EXPECT_TRUE(fake.messages.warnings.empty());
    EXPECT_TRUE(fake.messages.errors.empty());
    EXPECT_FALSE(dlg->modified);

    // Names that would leave the data folder give no file, and the user is told.
    records.clear();
    add(record("../../escaped", 1, 1, 1990));
    add(record("sub/inner", 1, 1, 1990));
    add(record("..", 1, 1, 1990));
    add(record("Fine", 1, 1, 1990));
    dlg->fillList();
    click(*dlg, SetupControl::Export);
    EXPECT_FALSE(std::filesystem::exists(fake.root.path().toStdString() + "/escaped.ics"));
    EXPECT_FALSE(std::filesystem::exists(data + "sub/inner.ics"));
    EXPECT_TRUE(std::filesystem::exists(data + "Fine.ics"));
    ASSERT_EQ(fake.messages.warnings.size(), 1u);
    EXPECT_EQ(fake.messages.warnings[0].rfind("Calendar files not written: 3\n\nThe first is "
                                              "\"../../escaped\": ",
                                              0),
              0u);
}

TEST_F(Exchange, ImportAppendsTheRecordsAndTellsOfSkippedLines) {
    PersonRecord& existing = add(record("Existing", 1, 1, 2000));
    writeFileBytes(folder + "in.csv", std::string(kHeader) +
                                          "Zed,1980,3,7,2,14,0,1,0,z@x,45,12,0\r\n"
                                          "\r\n"
                                          "Bad,1980,13,1\r\n"
                                          "Ann,0,3,6,3,5,1,0,1,,0,0,1\r\n");
    auto dlg = openAnswering(folder + "in.csv");
    dlg->listCtrl()->SetSelected(0);
    click(*dlg, SetupControl::Import);

    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(&records[0], &existing);
    const PersonRecord& zed = records[1];
    EXPECT_EQ(zed.name, "Zed");
    EXPECT_EQ(std::tuple(zed.year, zed.month, zed.day, zed.icon, zed.daysInAdvance, zed.infoOnly,
                         zed.email, zed.leapling, zed.skipYear),
              std::tuple(1980, 3, 7, 2, 14, true, std::string("z@x"), 0, -1));
    EXPECT_EQ(zed.daysUntil, 1); // computed against the window's day, 6 March 2025
    EXPECT_EQ(records[2].daysUntil, 0);
    EXPECT_TRUE(dlg->modified);
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Ann", "Existing", "Zed"}));
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), -1);
    EXPECT_EQ(itemCount(*dlg), "Items: 3");
    ASSERT_EQ(fake.messages.warnings.size(), 1u);
    EXPECT_EQ(fake.messages.warnings[0],
              "Lines not imported because their day, month or year cannot be kept: 2");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].forOpening);
    EXPECT_EQ(shown[0].filters[1].first, "vCard Files (*.vcf)");

    // The same file again doubles the records.
    click(*dlg, SetupControl::Import);
    EXPECT_EQ(records.size(), 5u);
}

TEST_F(Exchange, ImportCancelledOrUnreadable) {
    auto cancelled = openAnswering("");
    click(*cancelled, SetupControl::Import);
    EXPECT_FALSE(cancelled->modified);
    EXPECT_TRUE(fake.messages.errors.empty());

    auto missing = openAnswering(folder + "missing.csv");
    click(*missing, SetupControl::Import);
    ASSERT_EQ(fake.messages.errors.size(), 1u);
    EXPECT_EQ(fake.messages.errors[0].rfind("Error reading file\n\n", 0), 0u);
    EXPECT_GT(fake.messages.errors[0].size(), 20u);
    EXPECT_TRUE(missing->modified);
    EXPECT_TRUE(records.empty());
}

TEST_F(Exchange, ContactsImportTakesTheDefaultsOnScreen) {
    settings.defaultIcon = 9;
    settings.daysAhead = 12;
    writeFileBytes(folder + "people.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\n"
                                          "EMAIL:anna@example.com\r\nBDAY:--0307\r\nEND:VCARD\r\n"
                                          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No date\r\n"
                                          "END:VCARD\r\n");
    for (const int filter : {1, 2}) { // vCard, or All Files with a .vcf name
        SCOPED_TRACE(filter);
        records.clear();
        fake.messages.warnings.clear();
        auto dlg = openAnswering(folder + "people.vcf", filter);
        click(*dlg, SetupControl::Import);
        ASSERT_EQ(records.size(), 1u);
        const PersonRecord& anna = records[0];
        EXPECT_EQ(std::tuple(anna.name, anna.email, anna.year, anna.month, anna.day, anna.icon,
                             anna.daysInAdvance, anna.type, anna.skipYear),
                  std::tuple(std::string("Anna"), std::string("anna@example.com"), 0, 3, 7, 9, 12,
                             int(Birthday), -1));
        EXPECT_EQ(anna.daysUntil, 1);
        EXPECT_TRUE(dlg->modified);
        ASSERT_EQ(fake.messages.warnings.size(), 1u);
        EXPECT_EQ(fake.messages.warnings[0], "Contacts not imported because they have no "
                                             "birthday or could not be read: 1");
    }
}

} // namespace
} // namespace kivo
