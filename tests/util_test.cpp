// The two random generators against known sequences, so that a seed keeps meaning the same
// forest; record swaps of any size; an array the heap cannot grow.
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
