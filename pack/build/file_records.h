// The embedded files' records, the bulk of a large build: each file's size,
// then its bytes scrambled, read and written a piece at a time.
#pragma once
#include <cstddef>
#include <ostream>
#include <vector>

#include "pack/common/expected.h"
#include "pack/config/pack_config.h"
#include "pack/image/pe_image.h"

namespace runvo::pack {

struct RecordPieces {
  // 512 KiB measured fastest with two workers; smaller pieces cost more
  // hand-overs between them, larger ones their fresh pages.
  std::size_t pieceSize = 512 * 1024;
  // Two workers read and scramble one piece while the other writes the piece
  // before; the writes keep the file's order. One when the machine has one
  // processor.
  unsigned workers = 0;  // 0: two where the machine has two processors
};

// Writes one record per file to `out`, adding every byte written to
// `checksum` when there is one. A file that cannot be opened, or that changed
// size since the plan was made, fails the build with its name; of several
// failures, the one earliest in the output is reported, as a single worker would.
// A failing `out` stops the writing; the caller finds the stream failed.
Status writeFileRecords(std::ostream& out, const std::vector<EmbeddedFile>& files, ImageChecksum* checksum,
                        RecordPieces pieces = {});

}  // namespace runvo::pack
