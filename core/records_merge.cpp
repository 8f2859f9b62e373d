// Saving beside other writers of the records file: the content hash and the merge of a run's
// changes into the file as it is on disk.
#include "records_merge.h"

#include "record_line.h"
#include "text_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>

namespace kivo {

std::uint64_t fileContentHash(std::string_view bytes) {
    return contentHashOf(bytes.substr(0, std::min(bytes.find('\x1A'), bytes.size())));
}

std::uint64_t storedFieldsHash(const PersonRecord& r) {
    ContentHash hash;
    const int numbers[] = {r.day,
                           r.month,
                           r.year,
                           r.icon,
                           r.skipYear,
                           r.daysInAdvance,
                           r.type,
                           r.infoOnly ? 1 : 0,
                           r.dontPrint ? 1 : 0,
                           r.leapling,
                           static_cast<int>(r.name.size())};
    char bytes[sizeof numbers];
    std::memcpy(bytes, numbers, sizeof numbers);
    hash.add(std::string_view(bytes, sizeof bytes));
    hash.add(r.name);
    hash.add(r.email);
    return hash.value();
}

namespace {

struct DiskFile {
    RecordList records;
    std::string mailPath;
    TextEncoding encoding = TextEncoding::Utf8;
};

DiskFile readDisk(std::string_view bytes) {
    DiskFile disk;
    disk.encoding = encodingOf(bytes);
    // Each record is read straight into the place it is kept.
    auto record = std::make_unique<PersonRecord>();
    TextLines lines(textOfFile(bytes));
    for (std::string_view line; lines.next(line);) {
        if (readRecordsFileLine(line, *record, disk.mailPath, RecordFields::All, disk.encoding)) {
            disk.records.append(std::move(record));
            record = std::make_unique<PersonRecord>();
        }
    }
    return disk;
}

// The records on disk by the hash of their stored fields, in file order within a hash; a place
// is taken once, so that a line that occurs twice matches two records.
class DiskIndex {
public:
    explicit DiskIndex(const RecordList& records) : taken_(records.size(), false) {
        places_.reserve(records.size());
        for (std::size_t i = 0; i < records.size(); ++i)
            places_.push_back({storedFieldsHash(records[i]), i});
        std::sort(places_.begin(), places_.end());
    }
    // The first place not yet taken of a record with these stored fields, or -1.
    std::ptrdiff_t take(std::uint64_t hash) {
        auto at = std::lower_bound(places_.begin(), places_.end(), Place{hash, 0});
        for (; at != places_.end() && at->hash == hash; ++at)
            if (!taken_[at->index]) {
                taken_[at->index] = true;
                return static_cast<std::ptrdiff_t>(at->index);
            }
        return -1;
    }

private:
    struct Place {
        std::uint64_t hash;
        std::size_t index;
        bool operator<(const Place& o) const {
            return hash != o.hash ? hash < o.hash : index < o.index;
        }
    };
    std::vector<Place> places_;
    std::vector<bool> taken_;
};

} // namespace

MergedRecords mergeRecords(const RecordsFileSnapshot& read, const RecordList& current,
                           const std::optional<std::string_view>& onDisk) {
    MergedRecords merged;
    DiskFile disk = onDisk ? readDisk(*onDisk) : DiskFile{};
    merged.mailPath = disk.mailPath;
    merged.encoding = disk.encoding;

    if (disk.records.empty() && !read.records.empty()) {
        // Nothing left outside of what was read: keep this run's list whole.
        merged.emptiedOutside = true;
        for (const PersonRecord& record : current)
            if (record.source == 0)
                merged.records.append(record);
        return merged;
    }

    // This run's record for each place read; null where this run deleted it. Records kept
    // elsewhere (an account's contacts) are no part of the file.
    std::vector<const PersonRecord*> byPlace(read.records.size(), nullptr);
    for (std::size_t i = 0; i < current.size(); ++i) {
        if (current[i].source != 0)
            continue;
        const std::int32_t place = current.readPlace(i);
        if (place >= 0 && static_cast<std::size_t>(place) < byPlace.size())
            byPlace[place] = &current[i];
    }

    // What becomes of each record on disk: kept, removed, or replaced by this run's version.
    DiskIndex index(disk.records);
    std::vector<const PersonRecord*> replacement(disk.records.size(), nullptr);
    std::vector<bool> removed(disk.records.size(), false);
    std::vector<bool> keptTwice(read.records.size(), false);
    for (std::size_t place = 0; place < read.records.size(); ++place) {
        const PersonRecord* now = byPlace[place];
        if (now && storedFieldsHash(*now) == read.records[place])
            continue; // unchanged here: the disk's version stands, whatever it is
        const std::ptrdiff_t onDiskAt = index.take(read.records[place]);
        if (onDiskAt >= 0) {
            if (now)
                replacement[onDiskAt] = now;
            else
                removed[onDiskAt] = true;
        } else if (now) {
            // Changed here, and changed or deleted there: both versions stay.
            keptTwice[place] = true;
        }
    }

    for (std::size_t i = 0; i < disk.records.size(); ++i) {
        if (removed[i])
            continue;
        if (replacement[i])
            merged.records.append(*replacement[i]);
        else
            merged.records.append(std::move(disk.records[i]));
    }
    for (std::size_t i = 0; i < current.size(); ++i) {
        if (current[i].source != 0)
            continue;
        const std::int32_t place = current.readPlace(i);
        const bool added = place < 0 || static_cast<std::size_t>(place) >= byPlace.size();
        if (added || keptTwice[place]) {
            merged.records.append(current[i]);
            if (!added)
                merged.keptTwice.push_back(current[i].name);
        }
    }
    return merged;
}

std::vector<std::string> conflictCopiesOf(const std::string& folder, const std::string& fileName) {
    namespace fs = std::filesystem;
    const std::string stem = fileName.substr(0, fileName.rfind('.'));
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(fs::path(folder.empty() ? "." : folder), error), end;
         !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::error_code typeError;
        if (name != fileName && lower.rfind(stem, 0) == 0 &&
            lower.find("conflict", stem.size()) != std::string::npos &&
            it->is_regular_file(typeError))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kivo
