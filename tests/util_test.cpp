// The two random generators and the growable arrays, against known sequences, so that a
// seed keeps meaning the same forest.
#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <vector>

#include "game_fixture.h"
#include "util/array.h"
#include "util/random.h"

namespace {

using Draws = std::array<std::uint32_t, 3>;

class Util : public FreshGame {};

TEST_F(Util, RandomSequencesShuffleAndSwap) {
    EXPECT_EQ((Draws{lcg_next(), lcg_next(), lcg_next()}),
              (Draws{745567110, 1741648079, 2582023287}));
    // Seed (-1: never seeded), then the first draws.
    const std::pair<std::int64_t, Draws> cases[] = {{1, {893384187, 1869952938, 219595178}},
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

    // A shuffle's seed drives the small generator, which is then put back.
    std::array<int, 10> values{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    shuffle(values.data(), 10, sizeof(int), 1);
    EXPECT_EQ(values, (std::array{9, 0, 6, 4, 3, 7, 5, 1, 2, 8}));
    EXPECT_EQ(lcg_state, 4242u);

    // Records over 256 bytes go a block at a time through a temporary; exactly sized
    // blocks let the sanitizer see any byte past a record.
    for (const std::int32_t size : {1, 257, 512, 0}) {
        std::vector<unsigned char> a(static_cast<std::size_t>(std::max(size, 1))), b(a.size(), 'b');
        std::iota(a.begin(), a.end(), 0);
        const auto old_a = a, old_b = b;
        swap_elements(a.data(), b.data(), size);
        EXPECT_EQ((std::array{a, b}),
                  (size > 0 ? std::array{old_b, old_a} : std::array{old_a, old_b}))
            << size;
    }
}

TEST_F(Util, ArraysGrowExactlyThenDouble) {
    const int capacities[] = {1, 2, 3, 4, 8, 8, 8, 8, 16, 16, 16, 16, 16, 16, 16, 16, 32};
    int* a = nullptr;
    for (int i = 0; i < 17; ++i) {
        array_append(a, i * 3);
        EXPECT_EQ((std::array{array_length(a), array_capacity(a), a[i / 2]}),
                  (std::array{i + 1, capacities[i], i / 2 * 3}));
    }
    // Shrinking keeps the block; growing to 35 doubles the capacity.
    int* const block = a;
    a = static_cast<int*>(array_set_length(a, sizeof(int), 5));
    EXPECT_EQ((std::array{array_length(a), array_capacity(a)}), (std::array{5, 32}));
    EXPECT_EQ(a, block);
    a = static_cast<int*>(array_add(a, sizeof(int), 30));
    EXPECT_EQ((std::array{array_length(a), array_capacity(a), a[4]}), (std::array{35, 64, 12}));
    array_free(a);

    // Capacity, minimum and length asked, then capacity and length after: the minimum,
    // or double a capacity of four or more; a length beyond the capacity is cut.
    const std::array<std::int32_t, 5> grows[] = {
        {4, 10, 4, 10, 4}, {4, 5, 5, 8, 5}, {3, 5, 5, 5, 5}, {8, 3, 2, 8, 2}, {4, 2, 10, 4, 4}};
    for (const auto& c : grows) {
        void* g = array_grow(array_grow(nullptr, 12, c[0], 0), 12, c[1], c[2]);
        EXPECT_EQ((std::array{c[0], c[1], c[2], array_capacity(g), array_length(g)}), c);
        array_free(g);
    }
}

// An enlargement the heap refuses must not leave the array short, or the append that
// asked for it would overwrite the last element.
TEST_F(Util, ArrayThatCannotGrowEndsTheGameOutOfMemory) {
    void* a = array_grow(nullptr, 1, 4, 4);
    constexpr std::int32_t huge = 0x7FFFFFFF;
    EXPECT_EXIT(array_grow(a, huge, huge, 5), ::testing::ExitedWithCode(1),
                "canopy-hollow: out of memory");
    array_free(a);
}

}  // namespace
