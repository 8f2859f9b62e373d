// A hash of bytes fed in pieces of any size.
#include "content_hash.h"

namespace kivo {

namespace {

constexpr std::uint64_t kMultiplier = 0xFF51AFD7ED558CCDull;

std::uint64_t finalMix(std::uint64_t h) {
    h ^= h >> 33;
    h *= kMultiplier;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

} // namespace

void ContentHash::mix(std::uint64_t word) {
    state_ = (state_ ^ finalMix(word)) * kMultiplier + 0x632BE59BD9B4E019ull;
}

void ContentHash::add(std::string_view bytes) {
    length_ += bytes.size();
    std::size_t i = 0;
    // Complete the word begun by the last piece, a byte at a time.
    while (tailBytes_ > 0 && i < bytes.size()) {
        tail_ |= std::uint64_t(static_cast<unsigned char>(bytes[i++])) << (8 * tailBytes_);
        if (++tailBytes_ == 8) {
            mix(tail_);
            tail_ = 0;
            tailBytes_ = 0;
        }
    }
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        for (int b = 0; b < 8; ++b) // little-endian on every machine, so the value is the same
            word |= std::uint64_t(static_cast<unsigned char>(bytes[i + b])) << (8 * b);
        mix(word);
    }
    for (; i < bytes.size(); ++i)
        tail_ |= std::uint64_t(static_cast<unsigned char>(bytes[i])) << (8 * tailBytes_++);
}

std::uint64_t ContentHash::value() const {
    std::uint64_t h = state_;
    if (tailBytes_ > 0)
        h = (h ^ finalMix(tail_)) * kMultiplier;
    return finalMix(h ^ length_);
}

std::uint64_t contentHashOf(std::string_view bytes) {
    ContentHash hash;
    hash.add(bytes);
    return hash.value();
}

} // namespace kivo
