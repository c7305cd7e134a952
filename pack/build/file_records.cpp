#include "pack/build/file_records.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

#include "pack/common/file_io.h"

namespace runvo::pack {

namespace {

// A stretch of one file. The first piece of a file also writes its record's
// size; an empty file has one piece, of no bytes, for that.
struct Piece {
  const EmbeddedFile* file = nullptr;
  std::uint64_t offset = 0;
  std::size_t length = 0;
  bool last = false;  // of its file: the file must end with it
};

std::vector<Piece> cutIntoPieces(const std::vector<EmbeddedFile>& files, std::size_t pieceSize) {
  std::vector<Piece> pieces;
  for (const EmbeddedFile& file : files) {
    std::uint64_t offset = 0;
    do {
      const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(file.size - offset, pieceSize));
      pieces.push_back({&file, offset, length, offset + length == file.size});
      offset += length;
    } while (offset < file.size);
  }
  return pieces;
}

// One worker's input: the file of its current piece, and a buffer that
// serves every piece it takes.
class PieceReader {
 public:
  explicit PieceReader(std::size_t pieceSize) : buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(pieceSize)) {}

  // Reads and scrambles `piece` into the buffer.
  Status read(const Piece& piece) {
    if (piece.file != file_) {
      file_ = piece.file;
      in_ = std::ifstream(file_->source, std::ios::binary);
      position_ = 0;
    }
    if (!in_) return failure("cannot open " + quotedSource());
    if (position_ != piece.offset) in_.seekg(static_cast<std::streamoff>(piece.offset));
    in_.read(reinterpret_cast<char*>(buffer_.get()), static_cast<std::streamsize>(piece.length));
    if (static_cast<std::size_t>(in_.gcount()) != piece.length) {
      return failure(quotedSource() + " became shorter while it was packed");
    }
    position_ = piece.offset + piece.length;
    if (piece.last && in_.peek() != std::ifstream::traits_type::eof()) {
      return failure(quotedSource() + " became longer while it was packed");
    }
    scrambleInPlace(bytes(piece));
    return Done{};
  }

  std::span<std::uint8_t> bytes(const Piece& piece) const { return {buffer_.get(), piece.length}; }

 private:
  std::string quotedSource() const { return quotedPath(file_->source); }

  std::unique_ptr<std::uint8_t[]> buffer_;
  const EmbeddedFile* file_ = nullptr;
  std::ifstream in_;
  std::uint64_t position_ = 0;
};

// The output passes from piece to piece in the file's order.
class Turns {
 public:
  // False when the run stopped before the turn of piece `index` came.
  bool waitFor(std::size_t index) const {
    for (unsigned waits = 0;; ++waits) {
      const std::size_t next = next_.load(std::memory_order_acquire);
      if (next == index) return true;
      if (next == kStopped) return false;
      // A turn usually comes within one piece's write, too soon to sleep on;
      // a worker waiting for the other's disk reads sleeps instead of spinning.
      if (waits < kYields) {
        std::this_thread::yield();
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
    }
  }
  void pass(std::size_t index) { next_.store(index + 1, std::memory_order_release); }
  void stop() { next_.store(kStopped, std::memory_order_release); }
  void restart() { next_.store(0, std::memory_order_release); }

 private:
  static constexpr std::size_t kStopped = std::numeric_limits<std::size_t>::max();
  static constexpr unsigned kYields = 10000;
  std::atomic<std::size_t> next_{0};
};

void writePiece(std::ostream& out, const Piece& piece, std::span<const std::uint8_t> bytes, ImageChecksum* checksum) {
  if (piece.offset == 0) {
    Bytes sizeField;
    appendLittleEndian(sizeField, piece.file->size, 8);
    out.write(reinterpret_cast<const char*>(sizeField.data()), 8);
    if (checksum) checksum->add(sizeField.data(), 8);
  }
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (checksum) checksum->add(bytes.data(), bytes.size());
}

unsigned workersFor(const RecordPieces& options, std::size_t pieceCount) {
  const unsigned wanted = options.workers != 0 ? options.workers : std::thread::hardware_concurrency() >= 2 ? 2 : 1;
  return static_cast<unsigned>(std::clamp<std::size_t>(pieceCount, 1, wanted));
}

}  // namespace

Status writeFileRecords(std::ostream& out, const std::vector<EmbeddedFile>& files, ImageChecksum* checksum,
                        RecordPieces options) {
  const std::size_t pieceSize = std::max<std::size_t>(options.pieceSize, 1);
  const std::vector<Piece> pieces = cutIntoPieces(files, pieceSize);
  unsigned workers = workersFor(options, pieces.size());
  Turns turns;
  std::optional<PackError> error;  // set by the worker holding the turn

  // Worker `first` takes every `workers`th piece. A failure is reported at
  // its piece's turn, so the earliest one in the output wins; a failing
  // stream stops the run, and the caller finds it failed.
  auto work = [&](unsigned first) {
    PieceReader reader(pieceSize);
    for (std::size_t index = first; index < pieces.size(); index += workers) {
      const Status read = reader.read(pieces[index]);
      if (!turns.waitFor(index)) return;
      if (!read) {
        error = read.error();
        turns.stop();
        return;
      }
      writePiece(out, pieces[index], reader.bytes(pieces[index]), checksum);
      if (!out) {
        turns.stop();
        return;
      }
      turns.pass(index);
    }
  };

  std::vector<std::jthread> helpers;
  try {
    for (unsigned worker = 1; worker < workers; ++worker) helpers.emplace_back(work, worker);
  } catch (const std::system_error&) {
    // No thread to be had: the helpers that started end before the first
    // turn, which is worker 0's, and one worker takes every piece.
    turns.stop();
    helpers.clear();
    turns.restart();
    workers = 1;
  }
  work(0);
  helpers.clear();
  if (error) return *error;
  return Done{};
}

}  // namespace runvo::pack
