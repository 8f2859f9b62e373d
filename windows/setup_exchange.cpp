// The setup window's exchange commands: the records exported to a CSV file or calendars, and
// imported from a CSV or contacts file.
#include "windows/kivo_dlg.h"

#include "controls/list_ctrl_ex.h"
#include "core/number_text.h"
#include "exchange/calendar_format.h"
#include "exchange/csv_format.h"
#include "exchange/vcard_reader.h"
#include "platform/file_picker.h"
#include "platform/system_services.h"

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <span>

namespace kivo {

namespace {

// The filters of the export and import dialogs; the second one of each is this program's addition.
struct FileKind {
    const char* description;
    const char* pattern;
};
constexpr FileKind kExportKinds[] = {
    {"CSV Files", "*.csv"}, {"iCalendar Files", "*.ics"}, {"All Files", "*"}};
constexpr FileKind kImportKinds[] = {
    {"CSV Files", "*.csv"}, {"vCard Files", "*.vcf"}, {"All Files", "*"}};
constexpr int kSecondFilter = 1;
constexpr int kAllFilesFilter = 2;

// The file dialog's filter text ("CSV Files (*.csv)|*.csv|...||") with the descriptions looked
// up. A "|" would end a description early, so a translation's own becomes a blank.
std::string fileFilter(const TextTable* texts, std::span<const FileKind> kinds) {
    static const TextTable noTexts;
    std::string filter;
    for (const FileKind& kind : kinds) {
        std::string description = lookUpText(texts ? *texts : noTexts, kind.description);
        std::replace(description.begin(), description.end(), '|', ' ');
        filter += description + " (" + kind.pattern + ")|" + kind.pattern + "|";
    }
    return filter + "|";
}

bool endsWithNoCase(const std::string& text, std::string_view end) {
    if (text.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        const char a = text[text.size() - end.size() + i];
        if (std::tolower(static_cast<unsigned char>(a)) != end[i])
            return false;
    }
    return true;
}

bool canOpenForReading(const std::string& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

// The platform's description of a file error, cut as its buffer of 255 characters cuts it.
std::string errorReason(std::string reason) {
    if (reason.size() > 254)
        reason.resize(254);
    return reason;
}

} // namespace

// What a record made here gets besides its name and date: the defaults on the screen, as New
// hands them to the editor.
PersonRecord CKivoDlg::newRecordDefaults() const {
    PersonRecord r;
    r.icon = iconBox_->currentIndex();
    r.daysInAdvance = atoiLike(fromQt(daysAheadEdit_->text()));
    r.type = Birthday;
    r.leapling = 1;
    r.skipYear = -1;
    return r;
}

void CKivoDlg::exportCsv() {
    if (shiftHeld()) {
        exportICalendar();
        return;
    }
    FilePicker picker(false, "birthdays.csv", fileFilter(texts, kExportKinds), this);
    if (runFilePicker(picker) != 1)
        return;
    const bool singleCalendar = picker.filterIndex == kSecondFilter;
    std::string path = picker.getPath();
    const char* extension = singleCalendar ? ".ics" : ".csv";
    if (!endsWithNoCase(path, extension))
        path += extension;
    if (canOpenForReading(path) && !platform_.messages.question(text(
                                       "That file already exists.  Do you wish to overwrite it?")))
        return;
    writeExport(path, singleCalendar);
}

// The file is replaced only once it is complete: a failure leaves an existing file as it was and
// no partial one behind.
bool CKivoDlg::writeExport(const std::string& path, bool singleCalendar) {
    std::string error;
    std::size_t undated = 0;
    bool written;
    if (singleCalendar) {
        Categories all = defaultCategories();
        readCategoriesFile(dataFolder + kCategoriesFileName, all);
        written = replaceFileAtomically(
            path, formatSingleCalendar(*records, all, platform_.clock.currentTime(), &undated),
            &error);
    } else {
        written = writeCsvFile(path, *records, &error);
    }
    if (!written) {
        platform_.messages.error(text("Error writing to file") + "\n\n" + errorReason(error));
        return false;
    }
    if (undated > 0) {
        const char* builtIn = "Records without a date, left out of the calendar: %i";
        platform_.messages.information(
            fillFormat(text(builtIn), builtIn, {std::to_string(undated)}));
    }
    return true;
}

void CKivoDlg::importCsv() {
    FilePicker picker(true, "birthdays.csv", fileFilter(texts, kImportKinds), this);
    if (runFilePicker(picker) != 1)
        return;
    const std::string& path = picker.getPath();
    const bool contacts = picker.filterIndex == kSecondFilter ||
                          (picker.filterIndex == kAllFilesFilter && endsWithNoCase(path, ".vcf"));
    const std::size_t before = records->size();
    std::string error;
    std::size_t skipped = 0;
    bool failed;
    if (contacts) {
        VCardImportCounts counts;
        failed = readVCardFile(path, newRecordDefaults(), text("Anniversary"), *records, counts,
                               &error) != TextReadStatus::Ok;
        skipped = counts.skipped;
    } else {
        CsvImportCounts counts;
        failed = readCsvFile(path, *records, counts, &error) != TextReadStatus::Ok;
        skipped = counts.skipped;
    }
    for (std::size_t i = before; i < records->size(); ++i)
        ComputeOccurrence((*records)[i], today);
    if (failed)
        platform_.messages.error(text("Error reading file") + "\n\n" + errorReason(error));
    // The records read before an error stay, and are shown.
    modified = true;
    fillList();
    listCtrl_->SetSelected(-1);
    if (skipped > 0) {
        const char* builtIn =
            contacts
                ? "Contacts not imported because they have no birthday or could not be read: %i"
                : "Lines not imported because their day, month or year cannot be kept: %i";
        platform_.messages.warning(fillFormat(text(builtIn), builtIn, {std::to_string(skipped)}));
    }
}

void CKivoDlg::exportICalendar() {
    categories = defaultCategories();
    readCategoriesFile(dataFolder + kCategoriesFileName, categories);
    std::size_t failed = 0;
    std::string firstName, firstReason;
    for (const PersonRecord& r : *records) {
        const std::string name = calendarName(r.name);
        std::string reason;
        if (writeCalendarFile(name, r.day, r.month, r.year, r.icon, &reason))
            continue;
        if (failed++ == 0) {
            firstName = r.name;
            firstReason = reason;
        }
    }
    // Silent when every file was written; a file left out must not pass for exported.
    if (failed > 0) {
        // Two texts, since a line of a translation cannot hold the blank line between them.
        const char* count = "Calendar files not written: %i";
        const char* first = "The first is \"%s\": %s";
        platform_.messages.warning(
            fillFormat(text(count), count, {std::to_string(failed)}) + "\n\n" +
            fillFormat(text(first), first, {firstName, errorReason(firstReason)}));
    }
}

bool CKivoDlg::writeCalendarFile(const std::string& name, int day, int month, int year, int icon,
                                 std::string* reason) {
    const auto file = calendarFileName(name);
    if (!file) {
        // A separator, "." or ".." would put the file outside the data folder.
        if (reason)
            *reason = text("The name cannot be a file name in the data folder.");
        return false;
    }
    return replaceFileAtomically(
        dataFolder + *file,
        formatCalendarFile(name, day, month, year, categoryFor(categories, icon)), reason);
}

} // namespace kivo
