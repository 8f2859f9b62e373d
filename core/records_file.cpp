// Reading and writing "kivos.ini": the header, the mail command line and one line per record.
#include "records_file.h"

#include "safe_save.h"
#include "text_file.h"

#include <algorithm>

namespace kivo {

void parseRecordsLines(const std::vector<std::string>& lines, RecordList& records,
                       std::string& mailPath) {
    for (const std::string& line : lines) {
        auto record = std::make_unique<PersonRecord>();
        if (readRecordsFileLine(line, *record, mailPath, RecordFields::All, TextEncoding::Utf8))
            records.append(std::move(record));
    }
}

bool RecordsFileReader::next(PersonRecord& record, std::string& mailPath, RecordFields which) {
    atStart_ = false;
    const TextEncoding encoding = lines_.encoding();
    for (std::string_view line; lines_.next(line);)
        if (readRecordsFileLine(line, record, mailPath, which, encoding)) {
            ++recordsGiven_;
            return true;
        }
    return false;
}

bool RecordsFileReader::findDue(const NearestDays& nearest, DueLineTest& test) {
    atStart_ = false;
    return findDueLine(lines_, nearest, test);
}

template <typename Keep>
void RecordsFileReader::appendMatching(RecordList& records, std::string& mailPath, const Keep& keep,
                                       bool keepsAll) {
    // The encoding is a property of the whole file, known only once it was read to its end. Texts
    // are taken as UTF-8 until then, which nearly every file is; one that turns out otherwise is
    // read a second time.
    const bool guessing = atStart_ && !lines_.encodingKnown();
    const std::size_t first = records.size();
    const std::string mailBefore = mailPath;
    auto appendEach = [&] {
        if (snapshot_)
            snapshot_->records.clear();
        std::int32_t kept = 0;
        // A record that is not kept leaves its place to the next one.
        auto record = std::make_unique<PersonRecord>();
        while (next(*record, mailPath)) {
            if (!keep(*record))
                continue;
            if (snapshot_)
                snapshot_->records.push_back(storedFieldsHash(*record));
            records.append(std::move(record), keepsAll ? recordsGiven_ - 1 : kept);
            ++kept;
            record = std::make_unique<PersonRecord>();
        }
        if (snapshot_) {
            snapshot_->existed = true;
            snapshot_->hash = lines_.contentHash();
        }
    };
    appendEach();
    if (guessing && lines_.encodingKnown() && lines_.encoding() != TextEncoding::Utf8 && rewind()) {
        records.truncate(first);
        mailPath = mailBefore;
        appendEach();
    }
}

void RecordsFileReader::appendRest(RecordList& records, std::string& mailPath,
                                   const std::function<void(PersonRecord&)>& each) {
    if (!each) {
        appendMatching(
            records, mailPath, [](PersonRecord&) { return true; }, true);
        return;
    }
    appendMatching(
        records, mailPath,
        [&each](PersonRecord& record) {
            each(record);
            return true;
        },
        true);
}

void RecordsFileReader::appendKept(RecordList& records, std::string& mailPath,
                                   const std::function<bool(PersonRecord&)>& keep) {
    appendMatching(records, mailPath, keep, false);
}

RecordsFileOutcome RecordsFileReader::outcome() const {
    RecordsFileOutcome outcome;
    outcome.encoding = lines_.encoding();
    outcome.cutByCtrlZ = lines_.cutByCtrlZ();
    if (!lines_.failure().empty() || status() != TextReadStatus::Ok) {
        outcome.state = lines_.missing() ? RecordsFileState::Missing : RecordsFileState::Unreadable;
        outcome.reason = lines_.failure();
    } else {
        outcome.state = RecordsFileState::Read;
    }
    return outcome;
}

std::string formatRecordsFile(const RecordList& records, const std::string& mailPath,
                              TextEncoding encoding) {
    std::string out;
    appendTextLine(out, kRecordsHeader);
    if (!mailPath.empty()) {
        std::string line(kMailPathKey);
        appendEncoded(line, mailPath, encoding);
        appendTextLine(out, line);
    }
    for (const PersonRecord& record : records)
        if (record.source == 0)
            appendTextLine(out, formatRecordLine(record, encoding));
    // A Windows-1252 file owes that encoding to bytes that are not UTF-8; when none is left (they
    // were in a comment or a number), its texts would read back as UTF-8 and change. Such a file
    // is written in UTF-8, which carries every text.
    const auto high = [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; };
    if (encoding == TextEncoding::Windows1252 && std::any_of(out.begin(), out.end(), high) &&
        isValidUtf8(out))
        return formatRecordsFile(records, mailPath, TextEncoding::Utf8);
    return out;
}

bool readRecordsFile(const std::string& path, RecordList& records, std::string& mailPath) {
    RecordsFileReader reader;
    if (reader.open(path) != TextReadStatus::Ok)
        return false;
    reader.appendRest(records, mailPath);
    return reader.status() == TextReadStatus::Ok;
}

bool writeRecordsFile(const std::string& path, const RecordList& records,
                      const std::string& mailPath, std::string* error, TextEncoding encoding) {
    return replaceFileAtomically(path, formatRecordsFile(records, mailPath, encoding), error);
}

std::string recordsBackupPath(const std::string& path) {
    return path + ".bak";
}

} // namespace kivo
