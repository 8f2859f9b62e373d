// The log-on run's quick look for a due record: the records file's bytes marked 64 at a time, and
// only the lines that may be due read in full.
#include "due_scan.h"

#include "record_line.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivo {

namespace {

constexpr char kCtrlZ = '\x1A';

// The marks of 64 bytes of a file, one bit per byte (bit k for byte k): commas, LF and CR, Ctrl-Z,
// and control bytes other than those three (0x00 to 0x19).
struct ChunkMarks {
    std::uint64_t commas = 0;
    std::uint64_t newlines = 0;
    std::uint64_t ctrlZ = 0;
    std::uint64_t controls = 0;
};

void markChunkPlain(const char* p, ChunkMarks& marks) {
    marks = {};
    for (int i = 0; i < 64; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        const std::uint64_t bit = std::uint64_t{1} << i;
        if (c == ',')
            marks.commas |= bit;
        else if (c == '\n' || c == '\r')
            marks.newlines |= bit;
        else if (c == kCtrlZ)
            marks.ctrlZ |= bit;
        else if (c < kCtrlZ)
            marks.controls |= bit;
    }
}

#if defined(__SSE2__)
// The marks of 16 bytes, placed at `shift`.
inline void markSixteen(const char* p, int shift, ChunkMarks& marks) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i ctrlZ = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(kCtrlZ));
    const __m128i newlines = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                          _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
    // A byte is at most Ctrl-Z when the smaller of the two is the byte itself.
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(kCtrlZ)), bytes);
    auto bits = [shift](__m128i mask) {
        return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(mask))} << shift;
    };
    marks.commas |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')));
    marks.newlines |= bits(newlines);
    marks.ctrlZ |= bits(ctrlZ);
    marks.controls |= bits(_mm_andnot_si128(_mm_or_si128(newlines, ctrlZ), low));
}

void markChunkSse2(const char* p, ChunkMarks& marks) {
    marks = {};
    markSixteen(p, 0, marks);
    markSixteen(p + 16, 16, marks);
    markSixteen(p + 32, 32, marks);
    markSixteen(p + 48, 48, marks);
}
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KIVO_MARKS_AVX512 1
// The same with the wide registers of newer processors, which compare 64 bytes in one step.
__attribute__((target("avx512bw"))) void markChunkAvx512(const char* p, ChunkMarks& marks) {
    const __m512i bytes = _mm512_loadu_si512(p);
    const __mmask64 newlines = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\n')) |
                               _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\r'));
    const __mmask64 ctrlZ = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(kCtrlZ));
    marks.commas = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(','));
    marks.newlines = newlines;
    marks.ctrlZ = ctrlZ;
    marks.controls = _mm512_cmplt_epu8_mask(bytes, _mm512_set1_epi8(kCtrlZ)) &
                     ~static_cast<std::uint64_t>(newlines);
}
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KIVO_MARKS_AVX2 1
// The marks of one byte kind in 32 bytes, placed at `shift`.
__attribute__((target("avx2"))) inline std::uint64_t bitsOf(__m256i mask, int shift) {
    return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(mask))} << shift;
}

// The marks of 32 bytes, placed at `shift`.
__attribute__((target("avx2"))) inline void markThirtyTwo(const char* p, int shift,
                                                          ChunkMarks& marks) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i ctrlZ = _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(kCtrlZ));
    const __m256i newlines = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')),
                                             _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r')));
    const __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_set1_epi8(kCtrlZ)), bytes);
    marks.commas |= bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(',')), shift);
    marks.newlines |= bitsOf(newlines, shift);
    marks.ctrlZ |= bitsOf(ctrlZ, shift);
    marks.controls |= bitsOf(_mm256_andnot_si256(_mm256_or_si256(newlines, ctrlZ), low), shift);
}

// The same with the 32-byte registers that most processors since 2013 have, in two steps.
__attribute__((target("avx2"))) void markChunkAvx2(const char* p, ChunkMarks& marks) {
    marks = {};
    markThirtyTwo(p, 0, marks);
    markThirtyTwo(p + 32, 32, marks);
}
#endif

using MarkChunk = void (*)(const char*, ChunkMarks&);

// The widest way of marking that the processor has, unless a test chose one.
ByteMarking chosenMarking = ByteMarking::Widest;

MarkChunk chooseMarkChunk() {
    switch (chosenMarking) {
    case ByteMarking::Plain:
        return markChunkPlain;
    case ByteMarking::Sse2:
#if defined(__SSE2__)
        return markChunkSse2;
#else
        return markChunkPlain;
#endif
    case ByteMarking::Avx2:
#if defined(KIVO_MARKS_AVX2)
        if (__builtin_cpu_supports("avx2"))
            return markChunkAvx2;
#endif
        break;
    case ByteMarking::Widest:
#if defined(KIVO_MARKS_AVX512)
        if (__builtin_cpu_supports("avx512bw"))
            return markChunkAvx512;
#endif
#if defined(KIVO_MARKS_AVX2)
        if (__builtin_cpu_supports("avx2"))
            return markChunkAvx2;
#endif
        break;
    }
#if defined(__SSE2__)
    return markChunkSse2;
#else
    return markChunkPlain;
#endif
}

bool endsLine(char c) {
    return c == '\n' || c == '\r' || c == kCtrlZ;
}

// The first bytes that give a line another form than a record with an unquoted name: a comment,
// a quoted name, or perhaps the mail command.
constexpr auto kSpecialFirst = [] {
    std::array<bool, 256> special{};
    for (const unsigned char c : {'#', '"', 'm', 'M'})
        special[c] = true;
    return special;
}();

// The 64 marks from bit `shift` of `low` on, continued in `high`.
inline std::uint64_t marksFrom(std::uint64_t low, std::uint64_t high, unsigned shift) {
    return shift == 0 ? low : (low >> shift) | (high << (64 - shift));
}

// The marks of a batch of chunks that holds no control byte at all (no Ctrl-Z either), as most of
// a file is: its commas and line ends, one bit per byte, the batch's first byte at bit 0 of the
// first word. The chunk behind the batch is marked too, for the lines that run on into it.
struct UsualBatch {
    const char* bytes;
    const std::uint64_t* commas;
    const std::uint64_t* newlines;
    std::size_t chunks;
};

#if defined(__GNUC__) || defined(__clang__)
#define KIVO_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KIVO_ALWAYS_INLINE inline
#endif

// The marks of `bits` from the byte at `offset` of the batch on: those of at least 57 bytes, and
// none past those. Where memory holds the lowest byte of a number first, they are read in one
// step from the byte that holds the first of them.
KIVO_ALWAYS_INLINE std::uint64_t marksAt(const std::uint64_t* bits, std::size_t offset) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t word;
        std::memcpy(&word, reinterpret_cast<const unsigned char*>(bits) + offset / 8, sizeof word);
        return word >> (offset % 8);
    } else {
        return marksFrom(bits[offset / 64], bits[offset / 64 + 1],
                         static_cast<unsigned>(offset % 64));
    }
}

// True only for a line that cannot be due: a line of the usual form whose date lies further away
// than its days of advance warning (at most two digits), or that has no usable date, as quickLook
// reads it. Any other line gets false, and the full look.
KIVO_ALWAYS_INLINE bool surelyNotDue(const UsualBatch& batch, std::size_t offset,
                                     const NearestDays& nearest) {
    const char* line = batch.bytes + offset;
    // A quoted name may hold commas. A comment or the mail command is never due, so it may be
    // passed over like a record that is not.
    if (line[0] == '"')
        return false;
    std::uint64_t commas = marksAt(batch.commas, offset);
    const auto end = static_cast<unsigned>(std::countr_zero(marksAt(batch.newlines, offset)));
    const auto c0 = static_cast<unsigned>(std::countr_zero(commas));
    commas &= commas - 1;
    commas &= commas - 1;
    commas &= commas - 1;
    const auto c3 = static_cast<unsigned>(std::countr_zero(commas));
    commas &= commas - 1;
    const auto c4 = static_cast<unsigned>(std::countr_zero(commas));
    // Five commas before the line ends (c4 is 64 when the marks hold fewer), and one or two
    // bytes of days in advance between the fourth and the fifth.
    const unsigned advanceLength = c4 - c3 - 1;
    if (c4 >= end || advanceLength - 1 > 1)
        return false;
    // The date field starts with DDMM. Four digits hold no comma, so they lie within the field;
    // each digit byte is 0x30 to 0x39, so its high half stays 3 when 6 is added. The first byte
    // goes lowest on any processor (one load where that is how memory holds it).
    const auto* digits = reinterpret_cast<const unsigned char*>(line + c0 + 1);
    const std::uint32_t date = digits[0] | std::uint32_t{digits[1]} << 8 |
                               std::uint32_t{digits[2]} << 16 | std::uint32_t{digits[3]} << 24;
    // The two bytes before the fifth comma: the fourth comma and a digit, or two digits.
    const unsigned high = static_cast<unsigned char>(line[c4 - 2]) - unsigned{'0'};
    const unsigned low = static_cast<unsigned char>(line[c4 - 1]) - unsigned{'0'};
    const unsigned tens = advanceLength == 2 ? high : 0;
    if ((date & 0xF0F0F0F0u) != 0x30303030u ||
        ((date + 0x06060606u) & 0xF0F0F0F0u) != 0x30303030u || (low | tens) > 9)
        return false;
    // Each digit times ten plus the one behind it: the day in the low byte, the month two above.
    const std::uint32_t pairs = (((date & 0x0F0F0F0Fu) * 2561) >> 8) & 0x00FF00FFu;
    const unsigned day = pairs & 0xFF;
    const unsigned month = pairs >> 16;
    if (day - 1 > 30 || month - 1 > 11)
        return true; // a record without a usable date is never due
    return nearest[month - 1][day - 1] > tens * 10 + low;
}

// Writes where the lines of the batch that need a closer look start (from its first byte, in
// the order of the file) to `lookAt`, and returns how many there are. The line starts are
// gathered first, so that the walk over them does not depend on how many lines start in each
// chunk; `lookAt` has room for every start and two more.
KIVO_ALWAYS_INLINE std::size_t linesToLookAtIn(const UsualBatch& batch, const NearestDays& nearest,
                                               bool& startCarry, std::uint16_t* lookAt) {
    std::size_t lines = 0;
    for (std::size_t k = 0; k < batch.chunks; ++k) {
        const std::uint64_t newlines = batch.newlines[k];
        std::uint64_t starts = ~newlines & ((newlines << 1) | startCarry);
        startCarry = (newlines >> 63) != 0;
        const auto offset = static_cast<unsigned>(k * 64);
        const auto found = static_cast<std::size_t>(std::popcount(starts));
        // Lines of a usual length start at most twice in 64 bytes: those two places are written
        // whether they are there or not.
        std::uint16_t* place = lookAt + lines;
        place[0] = static_cast<std::uint16_t>(offset + std::countr_zero(starts));
        starts &= starts - 1;
        place[1] = static_cast<std::uint16_t>(offset + std::countr_zero(starts));
        starts &= starts - 1;
        for (std::size_t i = 2; i < found; ++i) {
            place[i] = static_cast<std::uint16_t>(offset + std::countr_zero(starts));
            starts &= starts - 1;
        }
        lines += found;
    }
    // The batch is copied, so that writing to `lookAt` cannot make the compiler read it again.
    const UsualBatch here = batch;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lines; ++i) {
        const std::uint16_t offset = lookAt[i];
        lookAt[kept] = offset;
        kept += surelyNotDue(here, offset, nearest) ? 0 : 1;
    }
    return kept;
}

using LinesToLookAt = std::size_t (*)(const UsualBatch&, const NearestDays&, bool&, std::uint16_t*);

std::size_t linesToLookAtPlain(const UsualBatch& batch, const NearestDays& nearest,
                               bool& startCarry, std::uint16_t* lookAt) {
    return linesToLookAtIn(batch, nearest, startCarry, lookAt);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KIVO_LINES_BMI 1
// The same where the processor counts and finds bits in one instruction each (since 2013), which
// this walk does for every line.
__attribute__((target("popcnt,bmi,bmi2"))) std::size_t linesToLookAtBmi(const UsualBatch& batch,
                                                                        const NearestDays& nearest,
                                                                        bool& startCarry,
                                                                        std::uint16_t* lookAt) {
    return linesToLookAtIn(batch, nearest, startCarry, lookAt);
}
#endif

LinesToLookAt chooseLinesToLookAt() {
#if defined(KIVO_LINES_BMI)
    if (chosenMarking == ByteMarking::Widest && __builtin_cpu_supports("popcnt") &&
        __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2"))
        return linesToLookAtBmi;
#endif
    return linesToLookAtPlain;
}

// The quick look of RecordsFileReader::findDue. The bytes are marked 64 at a time, a few KiB ahead
// of the lines; a line starts after every LF or CR and ends at the next LF, CR or Ctrl-Z, and is
// looked at through the marks of its first 64 bytes: its first five commas give the date and the
// days of advance warning. Only the usual form is read here: an unquoted name, a date field
// starting with four digits and a plain number of days, and no control byte. Any other line, and
// every line that may be due, goes to the full reading of DueLineTest, so this look can only ever
// pass over lines that are not due.
class DueLineFinder final : public TextFileLines::BlockScanner {
public:
    DueLineFinder(const NearestDays& nearest, DueLineTest& test)
        : nearest_(nearest), test_(test), markChunk_(chooseMarkChunk()),
          linesToLookAt_(chooseLinesToLookAt()) {}

    bool found() const { return found_; }

    bool scan(std::string_view block) override {
        const char* const base = block.data();
        const std::size_t size = block.size();
        const std::size_t chunks = (size + 63) / 64;
        bool startCarry = true; // a block starts with a line
        for (std::size_t first = 0; first < chunks; first += kBatch) {
            const std::size_t count = std::min(kBatch, chunks - first);
            // One chunk more than the batch, so that a line starting in its last chunk is seen
            // 64 bytes on; past the block's end the bytes count as line ends.
            std::uint64_t unusual = 0;
            for (std::size_t k = 0; k <= count; ++k) {
                markAt(base, size, first + k, marks_[k]);
                unusual |= marks_[k].ctrlZ | marks_[k].controls;
                commas_[k] = marks_[k].commas;
                newlines_[k] = marks_[k].newlines;
            }
            // Most of a file has no Ctrl-Z and no other control byte: its lines are only looked
            // at for their ends and commas, and the few that may be due get the closer look.
            if (unusual == 0) {
                const UsualBatch batch{base + first * 64, commas_, newlines_, count};
                const std::size_t lines = linesToLookAt_(batch, nearest_, startCarry, lookAt_);
                for (std::size_t i = 0; i < lines; ++i) {
                    const std::size_t k = lookAt_[i] / 64;
                    if (!lookAtLine(base, size, first * 64 + lookAt_[i], marks_[k], marks_[k + 1],
                                    lookAt_[i] % 64u))
                        return false;
                }
                continue;
            }
            for (std::size_t k = 0; k < count; ++k) {
                const ChunkMarks& here = marks_[k];
                const ChunkMarks& next = marks_[k + 1];
                std::uint64_t starts = ~here.newlines & ((here.newlines << 1) | startCarry);
                startCarry = (here.newlines >> 63) != 0;
                // Most of a file has no Ctrl-Z and no other control byte: its lines are only
                // looked at for their ends and commas.
                const bool usual = (here.ctrlZ | next.ctrlZ | here.controls | next.controls) == 0;
                while (starts != 0) {
                    const auto shift = static_cast<unsigned>(std::countr_zero(starts));
                    starts &= starts - 1;
                    const std::size_t at = (first + k) * 64 + shift;
                    if (at >= size)
                        break;
                    if (usual) {
                        const std::uint64_t ends = marksFrom(here.newlines, next.newlines, shift);
                        const char* line = base + at;
                        if (ends != 0 && !kSpecialFirst[static_cast<unsigned char>(line[0])]) {
                            const auto length = static_cast<std::size_t>(std::countr_zero(ends));
                            const std::uint64_t commas =
                                marksFrom(here.commas, next.commas, shift) &
                                ((std::uint64_t{1} << length) - 1);
                            if (quickLook(line, commas, std::string_view(line, length))) {
                                found_ = true;
                                return false;
                            }
                            continue;
                        }
                    }
                    if (!lookAtLine(base, size, at, here, next, shift))
                        return false;
                }
            }
        }
        return true;
    }

private:
    static constexpr std::size_t kBatch = 64;
    static constexpr std::size_t kPrefetchDistance = 2 * kBatch * 64;

    void markAt(const char* base, std::size_t size, std::size_t chunk, ChunkMarks& marks) const {
        const std::size_t at = chunk * 64;
        if (at + 64 <= size) {
            // The file's pages come from memory, which the processor fetches ahead of use only
            // within a page: asking for the bytes of the next batch keeps them flowing.
            __builtin_prefetch(base + at + kPrefetchDistance);
            markChunk_(base + at, marks);
            return;
        }
        // The last bytes of the block, padded with line ends: the end of a block ends its line.
        char padded[64];
        const std::size_t left = at < size ? size - at : 0;
        std::memcpy(padded, base + at, left);
        std::memset(padded + left, '\n', sizeof padded - left);
        markChunk_(padded, marks);
    }

    // Looks at the line starting at `at`; returns false when the scan ends there (a due record,
    // or the end of the file).
    bool lookAtLine(const char* base, std::size_t size, std::size_t at, const ChunkMarks& here,
                    const ChunkMarks& next, unsigned shift) {
        const std::uint64_t ends =
            marksFrom(here.newlines | here.ctrlZ, next.newlines | next.ctrlZ, shift);
        const char* line = base + at;
        std::size_t length;
        bool plain = true;
        if (ends != 0) {
            length = static_cast<std::size_t>(std::countr_zero(ends));
        } else {
            // Longer than 64 bytes: the rest is looked at byte by byte.
            const char* p = line + 64;
            const char* end = base + size;
            while (p != end && !endsLine(*p)) {
                plain = plain && static_cast<unsigned char>(*p) > kCtrlZ;
                ++p;
            }
            length = static_cast<std::size_t>(p - line);
        }
        if (length != 0 && line[0] != '#') {
            const std::uint64_t within =
                length >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
            plain = plain && (marksFrom(here.controls, next.controls, shift) & within) == 0;
            const std::string_view text(line, length);
            const bool due =
                plain ? quickLook(line, marksFrom(here.commas, next.commas, shift) & within, text)
                      : fullLook(text);
            if (due) {
                found_ = true;
                return false;
            }
        }
        // A Ctrl-Z ends the file.
        return at + length >= size || line[length] != kCtrlZ;
    }

    // A record line that may be due, read in full; a mail command line is none.
    bool fullLook(std::string_view line) { return !startsWithMailPath(line) && test_.isDue(line); }

    // `commas` marks the commas among the first 64 bytes of `line`.
    bool quickLook(const char* bytes, std::uint64_t commas, std::string_view line) {
        if (kSpecialFirst[static_cast<unsigned char>(bytes[0])])
            return fullLook(line); // a quoted name or maybe a mail command; comments come not here
        // The first five commas; without five of them (fewer fields, or a long name) the line
        // goes the slow way.
        const auto c0 = static_cast<unsigned>(std::countr_zero(commas));
        commas &= commas - 1;
        const auto c1 = static_cast<unsigned>(std::countr_zero(commas));
        commas &= commas - 1;
        commas &= commas - 1;
        const auto c3 = static_cast<unsigned>(std::countr_zero(commas));
        commas &= commas - 1;
        if (commas == 0)
            return fullLook(line);
        const auto c4 = static_cast<unsigned>(std::countr_zero(commas));
        // The date field starts with DDMM; the days of advance warning are a plain number.
        const char* date = bytes + c0 + 1;
        std::uint32_t word;
        std::memcpy(&word, date, sizeof word); // within the line when c1 - c0 > 4
        // Four digits: each byte is 0x30 to 0x39, so its high half stays 3 when 6 is added.
        const bool allDigits = (word & 0xF0F0F0F0u) == 0x30303030u &&
                               ((word + 0x06060606u) & 0xF0F0F0F0u) == 0x30303030u;
        const unsigned advanceLength = c4 - c3 - 1;
        if (c1 - c0 < 5 || !allDigits || advanceLength - 1 > 8)
            return fullLook(line);
        const char* advance = bytes + c3 + 1;
        int daysInAdvance = 0;
        for (unsigned i = 0; i < advanceLength; ++i) {
            const unsigned digit = static_cast<unsigned char>(advance[i]) - unsigned{'0'};
            if (digit > 9)
                return fullLook(line);
            daysInAdvance = daysInAdvance * 10 + static_cast<int>(digit);
        }
        const unsigned day = static_cast<unsigned>((date[0] - '0') * 10 + (date[1] - '0'));
        const unsigned month = static_cast<unsigned>((date[2] - '0') * 10 + (date[3] - '0'));
        if (day - 1 > 30 || month - 1 > 11)
            return false; // a record without a usable date is never due
        if (nearest_[month - 1][day - 1] > daysInAdvance)
            return false;
        return fullLook(line);
    }

    const NearestDays& nearest_;
    DueLineTest& test_;
    const MarkChunk markChunk_;
    const LinesToLookAt linesToLookAt_;
    ChunkMarks marks_[kBatch + 1];
    // The commas and line ends of the batch and of the chunk behind it, and a word for marksAt
    // to read past that.
    std::uint64_t commas_[kBatch + 2] = {};
    std::uint64_t newlines_[kBatch + 2] = {};
    // Where the lines of a usual batch that need a closer look start: at most one in two bytes.
    std::uint16_t lookAt_[kBatch * 64 / 2 + 2];
    bool found_ = false;
};

} // namespace

void chooseByteMarking(ByteMarking marking) {
    chosenMarking = marking;
}

bool findDueLine(TextFileLines& lines, const NearestDays& nearest, DueLineTest& test) {
    DueLineFinder finder(nearest, test);
    lines.scanBlocks(finder);
    return finder.found();
}

} // namespace kivo
