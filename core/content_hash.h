// A hash of a file's bytes, to tell later whether the file is still the one that was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kivo {

// A 64-bit hash of bytes fed in pieces of any size: the same bytes give the same value however
// they were cut. Not for security; it tells whether a file is still the one that was read.
class ContentHash {
public:
    void add(std::string_view bytes);
    std::uint64_t value() const;

private:
    void mix(std::uint64_t word);

    // Words go to four lanes in turn, so that no lane waits for the one before it.
    static constexpr std::size_t kLanes = 4;
    std::uint64_t lanes_[kLanes] = {0x60EA27EEADC0B5D6ull, 0xC2B2AE3D27D4EB4Full, 0ull,
                                    0x61C8864E7A143579ull};
    std::uint64_t words_ = 0;
    std::uint64_t length_ = 0;
    std::uint64_t tail_ = 0; // bytes that do not yet fill a word
    int tailBytes_ = 0;
};

std::uint64_t contentHashOf(std::string_view bytes);

} // namespace kivo
