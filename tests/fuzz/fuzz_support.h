// What the fuzz targets share: a check that stops the run with a message, a scratch file for the
// readers that open files, and the comparison of the stored fields of records.
#pragma once

#include "core/person_record.h"
#include "core/text_encoding.h"
#include "core/text_file.h"
#include "tests/support/record_builder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace kivo::fuzz {

// An invariant that must hold for every input; a broken one is a finding, whatever the build.
#define FUZZ_REQUIRE(condition, what)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, what);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder of this process's own for the files the readers open (memory-backed when the system
// has such a folder, so that a file per input costs little).
inline const std::string& scratchFolder() {
    // Never destroyed, so that the clean-up at exit can still read it.
    static const std::string& folder = *new std::string([] {
        const char* base = std::getenv("TMPDIR");
        std::string root = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (base ? base : "/tmp");
        std::string path = root + "/kivo-fuzz-" + std::to_string(getpid()) + "/";
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        FUZZ_REQUIRE(!ec, "scratch folder made");
        // Gone again when the run ends normally; a crash leaves it for a look at the input.
        std::atexit([] { std::filesystem::remove_all(scratchFolder()); });
        return path;
    }());
    return folder;
}

// Writes `bytes` to the file `name` in the scratch folder and returns its path.
inline std::string scratchFile(const std::string& name, std::string_view bytes) {
    const std::string path = scratchFolder() + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_REQUIRE(file != nullptr, "scratch file opened");
    FUZZ_REQUIRE(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(),
                 "scratch file written");
    FUZZ_REQUIRE(std::fclose(file) == 0, "scratch file closed");
    return path;
}

// The encoding the readers find for a file's bytes: that of its text after a byte-order mark and
// before a Ctrl-Z.
inline TextEncoding fileEncoding(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    return encodingOf(bytes.substr(0, bytes.find('\x1A')));
}

// The lines of a text file as its readers give them: split by the line rules and decoded from
// the file's encoding to UTF-8.
inline std::vector<std::string> decodedLines(std::string_view bytes) {
    const TextEncoding encoding = fileEncoding(bytes);
    std::vector<std::string> lines = splitTextLines(bytes);
    for (std::string& line : lines)
        decodeInPlace(line, encoding);
    return lines;
}

// Whether two records agree in every field that is stored.
inline bool sameStoredFields(const PersonRecord& a, const PersonRecord& b) {
    return test::stored(a) == test::stored(b);
}

// A record's stored fields, for the report of a broken invariant.
inline void printRecord(const char* label, const PersonRecord& r) {
    std::fprintf(stderr, "%s: name [", label);
    for (const char c : r.name)
        std::fprintf(stderr, "%02x", static_cast<unsigned char>(c));
    std::fprintf(stderr,
                 "] %d %d %d icon %d skip %d days %d type %d info %d print %d leap %d email [",
                 r.day, r.month, r.year, r.icon, r.skipYear, r.daysInAdvance, r.type, r.infoOnly,
                 r.dontPrint, r.leapling);
    for (const char c : r.email)
        std::fprintf(stderr, "%02x", static_cast<unsigned char>(c));
    std::fprintf(stderr, "]\n");
}

inline bool sameRecords(const RecordList& a, const RecordList& b) {
    if (a.size() != b.size()) {
        std::fprintf(stderr, "%zu records against %zu\n", a.size(), b.size());
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameStoredFields(a[i], b[i])) {
            std::fprintf(stderr, "record %zu differs\n", i);
            printRecord("one", a[i]);
            printRecord("other", b[i]);
            return false;
        }
    return true;
}

} // namespace kivo::fuzz
