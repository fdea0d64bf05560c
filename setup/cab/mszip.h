// MSZIP decoder: each data block of an MSZIP folder is "CK" followed by deflate data (RFC 1951)
// that expands to at most 32 KiB. The 32 KiB window carries over from block to block, so a
// block may copy from the output of the blocks before it in the same folder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "setup/cab/cab_limits.h"

namespace quelstat::cab {

class MszipDecoder {
public:
    enum class Status { Ok, NoSignature, BadData };

    // Forgets the window: the start of a folder.
    void reset() { history_ = 0; }

    // Decodes one block (with its "CK" signature) that must expand to exactly `expected` bytes.
    // On success `out` points to the block's output, valid until the next call.
    Status decodeBlock(const std::uint8_t* in, std::size_t inLength, std::size_t expected, const std::uint8_t*& out);

    // Decoding tables of one Huffman code: a direct table for short codes and canonical
    // counts and symbols for the rest.
    struct Huffman {
        static constexpr int kFastBits = 10;
        std::uint16_t fast[1 << kFastBits];  // symbol << 4 | length; 0 when the code is longer
        std::uint16_t count[16];
        std::uint16_t symbol[320];
        bool build(const std::uint8_t* lengths, int n);
    };

private:
    static constexpr std::size_t kWindow = kMaxBlockUncompressed;
    // History (up to 32 KiB) ends at kWindow; the block being decoded starts there.
    std::uint8_t buffer_[2 * kWindow];
    std::size_t history_ = 0;
    Huffman lit_, dist_;
};

}  // namespace quelstat::cab
