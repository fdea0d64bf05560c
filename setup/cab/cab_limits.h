// Bounds the cabinet reader enforces on every cabinet it opens. Each one protects against a
// hostile or damaged archive; a cabinet that breaks one is refused as corrupt.
#pragma once

#include <cstdint>

namespace quelstat::cab {

// One data block never expands to more than 32 KiB: the decoder's window and output buffer
// are sized for exactly this much.
inline constexpr std::uint32_t kMaxBlockUncompressed = 32768;

// A block's compressed bytes may exceed its output by the compressor's worst-case overhead;
// the format allows 6 KiB of it. Anything larger cannot be a real block.
inline constexpr std::uint32_t kMaxBlockCompressed = 32768 + 6144;

// A folder holds at most 65535 data blocks (the count is 16 bits wide), so no member can start
// or end beyond this many uncompressed bytes into its folder.
inline constexpr std::uint64_t kMaxFolderSize = 65535ull * kMaxBlockUncompressed;

// The reserved area of the cabinet header is at most 60000 bytes by the format's own rule; the
// per-folder and per-block areas are one byte wide and need no bound of their own.
inline constexpr std::uint32_t kMaxHeaderReserve = 60000;

// Member names (and the names of neighbouring cabinets) are at most 255 bytes plus the
// terminating NUL; a longer name means the directory is garbage.
inline constexpr std::uint32_t kMaxNameLength = 256;

// Members of one folder are normally stored in order, so the folder is decoded once. Members
// out of order or overlapping force the folder to be decoded again from its start; this many
// passes per folder are allowed before the cabinet counts as looping.
inline constexpr unsigned kMaxFolderPasses = 8;

// A cabinet file cannot be larger than its 32-bit offsets can address.
inline constexpr std::uint64_t kMaxCabinetSize = 0xFFFFFFFFull;

static_assert(kMaxBlockCompressed > kMaxBlockUncompressed);
static_assert(kMaxFolderSize < (1ull << 31), "folder offsets must fit the format's 32-bit fields");
static_assert(kMaxFolderPasses >= 2);

}  // namespace quelstat::cab
