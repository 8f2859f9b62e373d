// A hash of bytes fed in pieces of any size.
#include "content_hash.h"

#include <bit>
#include <cstring>

namespace kivo {

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

std::uint64_t finalMix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

std::uint64_t round(std::uint64_t lane, std::uint64_t word) {
    return std::rotl(lane + word * kPrime2, 31) * kPrime1;
}

// Eight bytes as a little-endian number on every machine, so that the value is the same.
std::uint64_t wordAt(const char* bytes) {
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, bytes, sizeof word);
    } else {
        for (int b = 0; b < 8; ++b)
            word |= std::uint64_t(static_cast<unsigned char>(bytes[b])) << (8 * b);
    }
    return word;
}

} // namespace

void ContentHash::mix(std::uint64_t word) {
    std::uint64_t& lane = lanes_[words_ % kLanes];
    lane = round(lane, word);
    ++words_;
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
    while (words_ % kLanes != 0 && i + 8 <= bytes.size()) {
        mix(wordAt(bytes.data() + i));
        i += 8;
    }
    // Whole rounds of the four lanes, which the processor works on side by side.
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (; i + 32 <= bytes.size(); i += 32) {
        const char* at = bytes.data() + i;
        a = round(a, wordAt(at));
        b = round(b, wordAt(at + 8));
        c = round(c, wordAt(at + 16));
        d = round(d, wordAt(at + 24));
        words_ += kLanes;
    }
    lanes_[0] = a, lanes_[1] = b, lanes_[2] = c, lanes_[3] = d;
    for (; i + 8 <= bytes.size(); i += 8)
        mix(wordAt(bytes.data() + i));
    for (; i < bytes.size(); ++i)
        tail_ |= std::uint64_t(static_cast<unsigned char>(bytes[i])) << (8 * tailBytes_++);
}

std::uint64_t ContentHash::value() const {
    std::uint64_t h = length_ * kPrime1;
    for (const std::uint64_t lane : lanes_)
        h = std::rotl(h ^ finalMix(lane), 27) * kPrime1 + kPrime2;
    if (tailBytes_ > 0)
        h = (h ^ finalMix(tail_)) * kPrime1;
    return finalMix(h);
}

std::uint64_t contentHashOf(std::string_view bytes) {
    ContentHash hash;
    hash.add(bytes);
    return hash.value();
}

} // namespace kivo
