// The log-on run's quick look through the records file for a record that is due today.
#pragma once

#include "text_file.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace kivo {

// For each month (index 0..11) and day (index 0..30): the fewest days from the reference day until
// that date next comes round, whichever day a 29 February is counted on. A record whose date
// lies further away than its days of advance warning cannot be due.
using NearestDays = std::array<std::array<std::uint16_t, 31>, 12>;

// Decides about one record line that may be due (see RecordsFileReader::findDue).
class DueLineTest {
public:
    // `line` is a record line as the file holds it, without its line end; returns whether the
    // record is due.
    virtual bool isDue(std::string_view line) = 0;

protected:
    ~DueLineTest() = default;
};

// How RecordsFileReader::findDue marks the bytes it looks at: byte by byte, 16 bytes at a time, 32
// at a time (16 where the processor cannot), or the widest way the processor has (64 at a time
// where it can, and the lines found with its bit instructions; the default). Every way gives the
// same results; tests choose each in turn.
enum class ByteMarking { Plain, Sse2, Avx2, Widest };
void chooseByteMarking(ByteMarking marking);

// Hands the lines of an open records file from its first line on to `test`, as
// RecordsFileReader::findDue describes, until `test` finds a due record; returns whether it did.
bool findDueLine(TextFileLines& lines, const NearestDays& nearest, DueLineTest& test);

} // namespace kivo
