// The random bits of extraction directory names.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "util/base_api.h"

namespace runvo {
namespace {

// Sizes that are not a multiple of the generator's 8 bytes end in a partial
// draw, which must stay inside the buffer.
TEST(BaseApi, RandomBytesFillExactlyTheBufferAndDiffer) {
  for (std::size_t size : {1u, 8u, 13u}) {
    std::array<unsigned char, 24> first{}, second{};
    first.fill(0xCC);
    second.fill(0xCC);
    ASSERT_TRUE(base_api::fillRandom(first.data(), size)) << size;
    ASSERT_TRUE(base_api::fillRandom(second.data(), size)) << size;
    for (std::size_t i = size; i < first.size(); ++i) EXPECT_EQ(first[i], 0xCC) << size << " wrote at " << i;
    if (size >= 8) {
      EXPECT_NE(std::memcmp(first.data(), second.data(), size), 0) << size;
    }
  }
}

}  // namespace
}  // namespace runvo
