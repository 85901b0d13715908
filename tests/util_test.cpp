// The two random generators and the growable arrays, against known sequences, so that a
// seed keeps meaning the same forest.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "game_fixture.h"
#include "util/array.h"
#include "util/random.h"

namespace {

using Draws = std::array<std::uint32_t, 3>;
using Ten = std::array<int, 10>;

class RandomNumbers : public FreshGame {};

TEST_F(RandomNumbers, KnownSequences) {
    EXPECT_EQ((Draws{lcg_next(), lcg_next(), lcg_next()}),
              (Draws{745567110, 1741648079, 2582023287}));
    const std::pair<std::int64_t, Draws> cases[] = {// seed (-1: never seeded), first draws
                                                    {1, {893384187, 1869952938, 219595178}},
                                                    {0, {1389714085, 190512437, 792236180}},
                                                    {-1, {1389714085, 190512437, 792236180}},
                                                    {12345, {1608556184, 503831964, 3978533489}}};
    for (const auto& [seed, draws] : cases) {
        reset_random();
        lcg_state = 4242;
        if (seed >= 0) {
            seed_random(static_cast<std::uint32_t>(seed));
        }
        EXPECT_EQ((Draws{next_random(), next_random(), next_random()}), draws) << seed;
        EXPECT_EQ(lcg_state, 4242u) << seed;  // seeding leaves the small generator alone
    }
    seed_random(1);
    EXPECT_EQ(random_unit(), 893384187 / 4294967296.0);
}

TEST_F(RandomNumbers, ShuffleAndSwap) {
    const Ten ordered{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, shuffled{9, 0, 6, 4, 3, 7, 5, 1, 2, 8};
    struct Case {
        std::int32_t count;
        std::uint32_t seed, state_before, state_after;
        Ten result;
    } const cases[] = {
        {10, 1, 777, 777, shuffled},       // a seed puts the small generator back
        {10, 0, 1, 3034226998, shuffled},  // seed 0 goes on from state 1: nine draws later
        {0, 5, 3, 3, ordered},
        {1, 5, 3, 3, ordered},
        {-3, 5, 3, 3, ordered},
    };
    for (const Case& c : cases) {
        Ten values = ordered;
        lcg_state = c.state_before;
        shuffle(values.data(), c.count, sizeof(int), c.seed);
        EXPECT_EQ(values, c.result) << c.count << " " << c.seed;
        EXPECT_EQ(lcg_state, c.state_after) << c.count << " " << c.seed;
    }

    for (const std::int32_t size : {1, 4, 8, 256, 257, 512, 700, 0, -4}) {
        // Exactly sized blocks, so the sanitizer sees any byte past the record.
        std::vector<unsigned char> a(static_cast<std::size_t>(std::max(size, 1)), 'a');
        std::vector<unsigned char> b(a.size(), 'b');
        for (std::size_t i = 0; i < a.size(); i += 3) {
            a[i] = static_cast<unsigned char>(i);
        }
        const auto old_a = a, old_b = b;
        swap_elements(a.data(), b.data(), size);
        swap_elements(a.data(), a.data(), size);
        EXPECT_EQ(a, size > 0 ? old_b : old_a) << size;
        EXPECT_EQ(b, size > 0 ? old_a : old_b) << size;
    }
}

class GrowableArrays : public FreshGame {};

TEST_F(GrowableArrays, PushGrowsExactlyThenDoubles) {
    EXPECT_EQ(array_length(nullptr) + array_capacity(nullptr), 0);
    const int capacities[] = {1, 2, 3, 4, 8, 8, 8, 8, 16, 16, 16, 16, 16, 16, 16, 16, 32};
    int* a = nullptr;
    for (int i = 0; i < 17; ++i) {
        array_append(a, i * 3);
        EXPECT_EQ((std::array{array_length(a), array_capacity(a), a[i / 2]}),
                  (std::array{i + 1, capacities[i], i / 2 * 3}));
    }
    const ArrayHeader& header = reinterpret_cast<const ArrayHeader*>(a)[-1];
    EXPECT_EQ(
        (std::array<std::uint32_t, 2>{static_cast<std::uint32_t>(header.heap_kind), header.marker}),
        (std::array<std::uint32_t, 2>{0, 0x51BADA7B}));
    int* const block = a;
    a = static_cast<int*>(array_set_length(a, sizeof(int), 5));
    EXPECT_EQ((std::array{array_length(a), array_capacity(a)}), (std::array{5, 32}));
    EXPECT_EQ(a, block);
    a = static_cast<int*>(array_add(a, sizeof(int), 30));
    EXPECT_EQ((std::array{array_length(a), array_capacity(a), a[4]}), (std::array{35, 64, 12}));
    array_free(a);
}

TEST_F(GrowableArrays, GrowTakesTheMinimumOrDoubles) {
    const std::array<std::int32_t, 5> cases[] = {
        // capacity, minimum, length asked; capacity and length after
        {4, 10, 4, 10, 4}, {4, 5, 5, 8, 5},  {3, 5, 5, 5, 5},
        {8, 3, 2, 8, 2},   {4, 2, 10, 4, 4},  // a length beyond the capacity is cut
    };
    for (const auto& c : cases) {
        void* a = array_grow(nullptr, 12, c[0], 0);
        a = array_grow(a, 12, c[1], c[2]);
        EXPECT_EQ((std::array{array_capacity(a), array_length(a)}), (std::array{c[3], c[4]}))
            << c[0] << " " << c[1];
        array_free(a);
    }
}

}  // namespace
