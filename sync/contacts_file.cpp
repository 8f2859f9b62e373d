#include "sync/contacts_file.h"

#include "core/record_line.h"
#include "core/records_file.h"
#include "core/safe_save.h"
#include "sync/tag_lines.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace kivo {

namespace {

constexpr std::string_view kHeader =
    "# kivo: the birthdays of one account's address books, kept by its sync. Change them on the "
    "server; kivo rewrites this file.";
constexpr std::string_view kBookTag = "#@book\t";
constexpr std::string_view kContactTag = "#@contact\t";
constexpr std::string_view kHiddenTag = "#@hidden\t";

bool sameOwnChoices(const PersonRecord& a, const PersonRecord& b) {
    return a.icon == b.icon && a.daysInAdvance == b.daysInAdvance && a.skipYear == b.skipYear &&
           a.type == b.type && a.infoOnly == b.infoOnly && a.dontPrint == b.dontPrint &&
           a.leapling == b.leapling;
}

// The choices that are the user's own and survive a sync.
void keepOwnChoices(PersonRecord& fromServer, const PersonRecord& before) {
    fromServer.icon = before.icon;
    fromServer.daysInAdvance = before.daysInAdvance;
    fromServer.skipYear = before.skipYear;
    fromServer.type = before.type;
    fromServer.infoOnly = before.infoOnly;
    fromServer.dontPrint = before.dontPrint;
    fromServer.leapling = before.leapling;
}

} // namespace

std::string contactsFileName(const std::string& accountId) {
    return kContactsFilePrefix + accountId + ".ini";
}

std::string formatContactsFile(const ContactsFile& file) {
    std::string out;
    appendTextLine(out, kHeader);
    for (const AddressBookState& book : file.books)
        appendTextLine(out, tagLine(kBookTag, {book.href, book.syncToken}));
    for (const ContactRecord& r : file.records) {
        appendTextLine(
            out, tagLine(r.hidden ? kHiddenTag : kContactTag, {r.href, r.etag, r.uid, r.kind}));
        appendTextLine(out, (r.hidden ? "#" : "") + formatRecordLine(r.record));
    }
    return out;
}

ContactsFile parseContactsFile(std::string_view bytes) {
    ContactsFile file;
    TextLines lines(textOfFile(bytes));
    std::string_view line;
    while (lines.next(line)) {
        if (line.starts_with(kBookTag)) {
            const std::vector<std::string> fields = splitFields(line.substr(kBookTag.size()));
            if (fields.size() == 2 && !fields[0].empty())
                file.books.push_back({fields[0], fields[1]});
            continue;
        }
        const bool hidden = line.starts_with(kHiddenTag);
        if (!hidden && !line.starts_with(kContactTag))
            continue;
        std::vector<std::string> fields =
            splitFields(line.substr((hidden ? kHiddenTag : kContactTag).size()));
        // The record follows its tag line; a tag without one is passed over.
        std::string_view recordLine;
        if (!lines.next(recordLine))
            break;
        if (hidden) {
            if (!recordLine.starts_with('#'))
                continue;
            recordLine.remove_prefix(1);
        }
        ContactRecord r;
        std::string ignoredMailPath;
        if (fields.size() != 4 || fields[0].empty() ||
            !readRecordsFileLine(recordLine, r.record, ignoredMailPath, RecordFields::All,
                                 TextEncoding::Utf8))
            continue;
        r.href = std::move(fields[0]);
        r.etag = std::move(fields[1]);
        r.uid = std::move(fields[2]);
        r.kind = std::move(fields[3]);
        r.hidden = hidden;
        file.records.push_back(std::move(r));
    }
    return file;
}

TextReadStatus readContactsFile(const std::string& path, ContactsFile& file, bool& missing) {
    std::string bytes;
    const TextReadStatus status = readFileBytes(path, bytes, missing);
    file = status == TextReadStatus::Ok ? parseContactsFile(bytes) : ContactsFile{};
    return status;
}

bool writeContactsFile(const std::string& path, const ContactsFile& file, std::string* error) {
    return replaceFileAtomically(path, formatContactsFile(file), error);
}

void applyContactChanges(ContactsFile& file, const std::vector<ServerContact>& changed,
                         const std::vector<std::string>& removedHrefs) {
    std::unordered_set<std::string> gone(removedHrefs.begin(), removedHrefs.end());
    std::unordered_map<std::string, const ServerContact*> byHref;
    for (const ServerContact& contact : changed)
        byHref[contact.href] = &contact;

    std::vector<ContactRecord> kept;
    kept.reserve(file.records.size());
    std::unordered_set<std::string> placed; // href + '\n' + kind of every date already in `kept`
    for (ContactRecord& r : file.records) {
        if (gone.contains(r.href))
            continue;
        const auto update = byHref.find(r.href);
        if (update == byHref.end()) {
            kept.push_back(std::move(r));
            continue;
        }
        const ServerContact& contact = *update->second;
        const auto date = std::find_if(contact.dates.begin(), contact.dates.end(),
                                       [&](const ContactDate& d) { return d.kind == r.kind; });
        if (date == contact.dates.end())
            continue; // the contact no longer has this date
        PersonRecord record = date->record;
        keepOwnChoices(record, r.record);
        r.record = std::move(record);
        r.etag = contact.etag;
        r.uid = contact.uid;
        placed.insert(r.href + '\n' + r.kind);
        kept.push_back(std::move(r));
    }
    for (const ServerContact& contact : changed) {
        if (gone.contains(contact.href))
            continue;
        for (const ContactDate& date : contact.dates) {
            if (!placed.insert(contact.href + '\n' + date.kind).second)
                continue;
            kept.push_back(
                {contact.href, contact.etag, contact.uid, date.kind, false, date.record});
        }
    }
    file.records = std::move(kept);
}

std::vector<std::string> contactsFilesIn(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::error_code error;
    for (fs::directory_iterator it(fs::path(folder.empty() ? "." : folder), error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (name.starts_with(kContactsFilePrefix) && name.ends_with(".ini") &&
            it->is_regular_file(typeError))
            paths.push_back(folder + name);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void appendContactRecords(const ContactsFile& file, std::int16_t source, RecordList& records) {
    for (std::size_t i = 0; i < file.records.size(); ++i) {
        if (file.records[i].hidden)
            continue;
        PersonRecord& added = records.append(file.records[i].record, static_cast<std::int32_t>(i));
        added.source = source;
    }
}

ContactChoices contactChoicesOf(const ContactsFile& read, std::int16_t source,
                                const RecordList& records) {
    // The run's record for each place of the file; null where the user deleted it.
    std::vector<const PersonRecord*> byPlace(read.records.size(), nullptr);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::int32_t place = records.readPlace(i);
        if (records[i].source == source && place >= 0 &&
            static_cast<std::size_t>(place) < byPlace.size())
            byPlace[place] = &records[i];
    }
    ContactChoices choices;
    for (std::size_t place = 0; place < read.records.size(); ++place) {
        const ContactRecord& was = read.records[place];
        if (was.hidden)
            continue;
        const PersonRecord* now = byPlace[place];
        if (now && sameOwnChoices(*now, was.record))
            continue;
        choices.changes.push_back(
            {was.href, was.kind, now == nullptr, now ? *now : PersonRecord{}});
    }
    return choices;
}

bool applyContactChoices(ContactsFile& file, const ContactChoices& choices) {
    bool changed = false;
    std::vector<bool> taken(file.records.size(), false);
    for (const ContactChoices::Change& change : choices.changes) {
        for (std::size_t i = 0; i < file.records.size(); ++i) {
            ContactRecord& r = file.records[i];
            if (taken[i] || r.href != change.href || r.kind != change.kind)
                continue;
            taken[i] = true;
            if (change.hide)
                r.hidden = true;
            else
                keepOwnChoices(r.record, change.choices);
            changed = true;
            break;
        }
    }
    return changed;
}

bool saveContactChoices(const std::string& path, const ContactChoices& choices,
                        std::string* error) {
    if (choices.changes.empty())
        return true;
    ContactsFile file;
    bool missing = false;
    if (readContactsFile(path, file, missing) != TextReadStatus::Ok) {
        if (error)
            *error = missing ? "The file is gone: the account was removed or synced anew."
                             : "The file cannot be read.";
        return false;
    }
    // A contact deleted on the server since takes the user's choices with it.
    return !applyContactChoices(file, choices) || writeContactsFile(path, file, error);
}

} // namespace kivo
