#include <sstream>
#include <streambuf>

#include "pack/common/byte_fields.h"
#include "pack/build/file_records.h"
#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

// The checksum field sits inside the first record's size, so leaving it out
// depends on where every byte lands.
constexpr HeaderFields kChecksumAtFour{.checksum = 4};

class FileRecordsTest : public ScratchDirectory {
 protected:
  // Files named f0, f1, ... of the given sizes, each byte telling its file and place.
  std::vector<EmbeddedFile> makeFiles(const std::vector<std::size_t>& sizes) {
    std::vector<EmbeddedFile> files;
    contents_.clear();
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      Bytes content(sizes[i]);
      for (std::size_t at = 0; at < content.size(); ++at) content[at] = static_cast<std::uint8_t>(i * 41 + at * 7 + at / 253);
      const std::string name = "f" + std::to_string(i);
      files.push_back({name, write(name, content), content.size()});
      contents_.push_back(std::move(content));
    }
    return files;
  }

  // What the records must be: each size, then the bytes scrambled.
  Bytes expectedRecords() const {
    Bytes records;
    for (const Bytes& content : contents_) {
      appendLittleEndian(records, content.size(), 8);
      const std::size_t start = records.size();
      records.insert(records.end(), content.begin(), content.end());
      scrambleInPlace(std::span(records).subspan(start));
    }
    return records;
  }

  std::vector<Bytes> contents_;
};

Bytes bytesOf(const std::ostringstream& out) {
  const std::string text = out.str();
  return Bytes(text.begin(), text.end());
}

std::uint32_t checksumOf(const Bytes& bytes) {
  ImageChecksum checksum(kChecksumAtFour);
  checksum.add(bytes.data(), bytes.size());
  return checksum.finish();
}

// Pieces far smaller than the files make the workers hand the output over
// thousands of times, mid-file and at file ends; empty files have a record
// of their own.
TEST_F(FileRecordsTest, EveryPieceSizeAndWorkerCountWritesTheSameRecords) {
  const std::vector<std::size_t> sizes = {0, 1, 4099, 0, 8192, 3, 20011};
  const struct {
    std::size_t pieceSize;
    unsigned workers;
  } cases[] = {{1, 2}, {3, 2}, {4096, 1}, {4096, 2}, {4096, 3}, {7, 4}, {512 * 1024, 0}, {0, 2}};
  const auto files = makeFiles(sizes);
  const Bytes expected = expectedRecords();
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.pieceSize << " bytes a piece, " << c.workers << " workers");
    std::ostringstream out(std::ios::binary);
    ImageChecksum checksum(kChecksumAtFour);
    const Status written = writeFileRecords(out, files, &checksum, {c.pieceSize, c.workers});
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_TRUE(bytesOf(out) == expected);
    EXPECT_EQ(checksum.finish(), checksumOf(expected));
  }
}

// The failure reported is the one a single worker would meet first, and the
// output holds only what came before it, in order.
TEST_F(FileRecordsTest, TheEarliestFailureWinsAndNothingAfterItIsWritten) {
  const struct {
    std::string_view name;
    std::vector<std::size_t> sizes;           // as planned
    std::vector<std::ptrdiff_t> sizeChanges;  // then each file grows or shrinks by this
    std::vector<bool> removed;
    std::size_t failingFile;
    std::string_view message;
  } cases[] = {
      {"missing before shorter", {50, 40, 60}, {0, 0, -1}, {false, true, false}, 1, "cannot open"},
      {"shorter before missing", {50, 40, 60}, {0, -5, 0}, {false, false, true}, 1, "became shorter"},
      {"longer before shorter", {50, 40, 60}, {3, 0, -30}, {false, false, false}, 0, "became longer"},
      {"empty file grown", {10, 0, 10}, {0, 1, 0}, {false, false, false}, 1, "became longer"},
      {"empty file missing", {10, 0, 10}, {0, 0, 0}, {false, true, false}, 1, "cannot open"},
  };
  for (const auto& c : cases) {
    for (unsigned workers : {1u, 2u, 3u}) {
      SCOPED_TRACE(::testing::Message() << c.name << ", " << workers << " workers");
      auto files = makeFiles(c.sizes);
      const Bytes planned = expectedRecords();
      for (std::size_t i = 0; i < files.size(); ++i) {
        Bytes changed = contents_[i];
        changed.resize(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(changed.size()) + c.sizeChanges[i]), 0x11);
        write(files[i].storedName, changed);
        if (c.removed[i]) std::filesystem::remove(files[i].source);
      }
      std::ostringstream out(std::ios::binary);
      const Status written = writeFileRecords(out, files, nullptr, {4, workers});
      ASSERT_FALSE(written.ok());
      const std::string& message = written.error().message;
      EXPECT_NE(message.find(c.message), std::string::npos) << message;
      EXPECT_NE(message.find(files[c.failingFile].source.filename().string()), std::string::npos) << message;
      const Bytes output = bytesOf(out);
      std::size_t failingRecord = 0;
      for (std::size_t i = 0; i < c.failingFile; ++i) failingRecord += 8 + c.sizes[i];
      EXPECT_GE(output.size(), failingRecord);
      EXPECT_LE(output.size(), failingRecord + 8 + c.sizes[c.failingFile]);
      EXPECT_TRUE(std::equal(output.begin(), output.end(), planned.begin()));
    }
  }
}

// Takes `room` bytes, then refuses every write.
class FullBuffer : public std::streambuf {
 public:
  explicit FullBuffer(std::size_t room) : room_(room) {}

 protected:
  std::streamsize xsputn(const char*, std::streamsize count) override {
    const auto taken = std::min<std::streamsize>(count, static_cast<std::streamsize>(room_));
    room_ -= static_cast<std::size_t>(taken);
    return taken;
  }
  int_type overflow(int_type) override { return traits_type::eof(); }

 private:
  std::size_t room_;
};

// Every worker stops (none waits forever for a turn) and the caller sees the
// stream failed.
TEST_F(FileRecordsTest, AFailingOutputStopsEveryWorker) {
  const auto files = makeFiles({300, 300, 300});
  for (unsigned workers : {1u, 2u, 3u}) {
    FullBuffer full(100);
    std::ostream out(&full);
    const Status written = writeFileRecords(out, files, nullptr, {16, workers});
    EXPECT_TRUE(written.ok());
    EXPECT_FALSE(out.good()) << workers << " workers";
  }
}

}  // namespace
}  // namespace runvo::pack::testing
