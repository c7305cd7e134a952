#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "payload/buffered_source.h"
#include "payload/readers.h"

namespace runvo {
namespace {

// The same reads, seeks and questions against the plain source and the
// buffered one over the same bytes, for block sizes around the read sizes:
// every answer must match.
TEST(BufferedSource, AnswersAsThePlainSourceDoes) {
  std::vector<std::uint8_t> bytes(300);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
  for (std::size_t block : {1u, 3u, 8u, 64u, 1000u}) {
    MemorySource plain(bytes);
    MemorySource inner(bytes);
    BufferedSource buffered(inner, block);
    std::mt19937 random(static_cast<unsigned>(block));
    for (int step = 0; step < 2000; ++step) {
      const int choice = static_cast<int>(random() % 10);
      if (choice < 6) {
        const std::size_t count = choice == 0 ? random() % 200 : random() % 12;
        std::vector<std::uint8_t> expected(count, 0xEE), got(count, 0xEE);
        const ReadOutcome a = plain.read(expected.data(), count);
        const ReadOutcome b = buffered.read(got.data(), count);
        ASSERT_EQ(a.got, b.got) << "block " << block << " step " << step;
        ASSERT_EQ(expected, got) << "block " << block << " step " << step;
      } else if (choice < 8) {
        const auto position = static_cast<std::uint32_t>(random() % 330);
        plain.seek(position);
        buffered.seek(position);
      }
      ASSERT_EQ(plain.position(), buffered.position()) << "block " << block << " step " << step;
      ASSERT_EQ(plain.remaining(), buffered.remaining()) << "block " << block << " step " << step;
    }
  }
}

// Starts where the inner source stands, not at zero.
TEST(BufferedSource, BeginsAtTheInnerPosition) {
  const std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5};
  MemorySource inner(bytes);
  inner.seek(3);
  BufferedSource buffered(inner, 4);
  EXPECT_EQ(buffered.position(), 3u);
  EXPECT_EQ(buffered.remaining(), 2u);
  std::uint8_t got[4] = {};
  EXPECT_EQ(buffered.read(got, 4).got, 2u);
  EXPECT_EQ(got[0], 4);
  EXPECT_EQ(got[1], 5);
}

}  // namespace
}  // namespace runvo
