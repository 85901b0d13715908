// Record swaps of any size, and an array the heap cannot grow; the random generators are
// seen in the golden screens and the scenarios, where a seed keeps meaning one forest.
#include <algorithm>
#include <array>
#include <numeric>

#include "game_fixture.h"
#include "util/array.h"
#include "util/random.h"

namespace {

class Util : public FreshGame {};

TEST_F(Util, RecordsOfAnySizeSwapWhole) {
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
