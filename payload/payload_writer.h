// Writes the payload that the launcher reads: header, narrow table, wide table,
// then one record per embedded file. Used by the builder; the launcher only reads.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "payload/config_table.h"

namespace runvo {

inline constexpr std::uint8_t kScrambleKey = 0xA7;

using Bytes = std::vector<std::uint8_t>;

// Header and both tables, keys in ascending order so the same table always
// gives the same bytes.
void appendPayloadTables(Bytes& out, const ConfigTable& table);

// One embedded file record: 64-bit size, then the content scrambled.
void appendFileRecord(Bytes& out, const Bytes& content);

// What a record holds of `content`, for a writer that streams the content;
// the same turns a record's bytes back into the content.
void scrambleInPlace(std::span<std::uint8_t> content);

void appendLittleEndian(Bytes& out, std::uint64_t value, int byteCount);

}  // namespace runvo
