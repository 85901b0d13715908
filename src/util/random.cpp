#include "util/random.h"

#include <cstddef>
#include <cstring>

std::uint32_t lcg_state;

namespace {

constexpr int MT_SIZE = 624;
constexpr int MT_NEVER_SEEDED = MT_SIZE + 1;

std::uint32_t mt_table[MT_SIZE];
int mt_pos = MT_NEVER_SEEDED;

void regenerate_table() {
    for (int k = 0; k < MT_SIZE; ++k) {
        const std::uint32_t y =
            (mt_table[k] & 0x80000000u) | (mt_table[(k + 1) % MT_SIZE] & 0x7FFFFFFFu);
        mt_table[k] = mt_table[(k + 397) % MT_SIZE] ^ (y >> 1) ^ ((y & 1u) != 0 ? 0x9908B0DFu : 0u);
    }
    mt_pos = 0;
}

}  // namespace

std::uint32_t lcg_reseed(std::uint32_t new_state) {
    const std::uint32_t previous = lcg_state;
    lcg_state = new_state;
    return previous;
}

std::uint32_t lcg_next() {
    lcg_state = lcg_state * 2147001325u + 715136305u;
    return ((lcg_state << 16) | (lcg_state >> 16)) ^ 0x31415926u;
}

void seed_random(std::uint32_t seed) {
    const std::uint32_t saved = lcg_reseed(seed);
    for (auto& word : mt_table) {
        word = lcg_next();
    }
    lcg_state = saved;
    mt_pos = MT_SIZE;
}

std::uint32_t next_random() {
    if (mt_pos >= MT_SIZE) {
        if (mt_pos == MT_NEVER_SEEDED) {
            seed_random(0);
        }
        regenerate_table();
    }
    std::uint32_t y = mt_table[mt_pos++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

double random_unit() {
    return next_random() * 2.3283064365386963e-10;
}

void swap_elements(void* a, void* b, std::int32_t size) {
    // A record of no bytes has nothing to swap; a negative size must not become a
    // huge copy.
    if (a == b || size <= 0) {
        return;
    }
    auto* pa = static_cast<unsigned char*>(a);
    auto* pb = static_cast<unsigned char*>(b);
    // Large records go through the temporary a block at a time, leaving a final
    // remainder of 1 to 256 bytes.
    while (size > 256) {
        swap_elements(pa, pb, 256);
        pa += 256;
        pb += 256;
        size -= 256;
    }
    unsigned char temp[256];
    std::memcpy(temp, pa, static_cast<std::size_t>(size));
    std::memcpy(pa, pb, static_cast<std::size_t>(size));
    std::memcpy(pb, temp, static_cast<std::size_t>(size));
}

void shuffle(void* base, std::int32_t count, std::int32_t size, std::uint32_t seed) {
    std::uint32_t saved = 0;
    if (seed != 0) {
        saved = lcg_reseed(seed);
    }
    auto* bytes = static_cast<unsigned char*>(base);
    for (std::int32_t i = count; i >= 2; --i) {
        const std::uint32_t j = lcg_next() % static_cast<std::uint32_t>(i);
        swap_elements(bytes + static_cast<std::ptrdiff_t>(i - 1) * size,
                      bytes + static_cast<std::ptrdiff_t>(j) * size, size);
    }
    if (seed != 0) {
        lcg_state = saved;
    }
}

void reset_random() {
    lcg_state = 0;
    mt_pos = MT_NEVER_SEEDED;
    std::memset(mt_table, 0, sizeof mt_table);
}
