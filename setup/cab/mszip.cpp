// Deflate decoding after RFC 1951, with a direct lookup table for codes of up to ten bits and
// the canonical (counts and symbols) walk for longer ones. Every read past the block's input,
// every code or distance that the stream cannot have, and any output beyond the block's stated
// size is reported as bad data; nothing is written outside the decoder's own buffer.
#include "setup/cab/mszip.h"

#include <cstring>

namespace quelstat::cab {
namespace {

const std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                     33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                     1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Bits come least significant first. Past the end of the input the reader supplies zero bits
// and counts them, so a stream that runs short is caught at the next check.
struct BitReader {
    const std::uint8_t* in;
    std::size_t length;
    std::size_t pos = 0;
    std::uint64_t bits = 0;
    int count = 0;
    std::size_t padding = 0;  // zero bytes supplied past the end

    void refill() {
        while (count <= 56) {
            std::uint64_t byte = 0;
            if (pos < length)
                byte = in[pos++];
            else
                ++padding;
            bits |= byte << count;
            count += 8;
        }
    }
    std::uint32_t peek(int n) {
        if (count < n) refill();
        return static_cast<std::uint32_t>(bits & ((1ull << n) - 1));
    }
    void drop(int n) {
        bits >>= n;
        count -= n;
    }
    std::uint32_t take(int n) {
        if (n == 0) return 0;
        std::uint32_t v = peek(n);
        drop(n);
        return v;
    }
    // True once more bits were consumed than the input holds.
    bool overrun() const { return padding * 8 > static_cast<std::size_t>(count); }
};

int decodeSymbol(BitReader& br, const MszipDecoder::Huffman& h) {
    std::uint32_t look = br.peek(15);
    std::uint16_t entry = h.fast[look & ((1u << MszipDecoder::Huffman::kFastBits) - 1)];
    if (entry != 0) {
        br.drop(entry & 15);
        return entry >> 4;
    }
    // Canonical walk, one bit at a time (codes are sent most significant bit first).
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
        code |= static_cast<int>((look >> (len - 1)) & 1);
        int n = h.count[len];
        if (code - n < first) {
            br.drop(len);
            return h.symbol[index + (code - first)];
        }
        index += n;
        first += n;
        first <<= 1;
        code <<= 1;
    }
    return -1;  // a code the table does not have
}

}  // namespace

bool MszipDecoder::Huffman::build(const std::uint8_t* lengths, int n) {
    std::memset(count, 0, sizeof count);
    for (int i = 0; i < n; ++i) ++count[lengths[i]];
    count[0] = 0;
    int left = 1;
    for (int len = 1; len <= 15; ++len) {
        left <<= 1;
        left -= count[len];
        if (left < 0) return false;  // over-subscribed
    }
    std::uint16_t offs[16];
    offs[1] = 0;
    for (int len = 1; len < 15; ++len) offs[len + 1] = static_cast<std::uint16_t>(offs[len] + count[len]);
    for (int i = 0; i < n; ++i)
        if (lengths[i] != 0) symbol[offs[lengths[i]]++] = static_cast<std::uint16_t>(i);

    // Direct table: each short code fills every slot whose low bits are its reversed code.
    std::memset(fast, 0, sizeof fast);
    int code = 0;
    int index = 0;
    for (int len = 1; len <= 15; ++len) {
        for (int k = 0; k < count[len]; ++k, ++code, ++index) {
            if (len > kFastBits) continue;
            int rev = 0;
            for (int b = 0; b < len; ++b) rev |= ((code >> b) & 1) << (len - 1 - b);
            for (int slot = rev; slot < (1 << kFastBits); slot += 1 << len)
                fast[slot] = static_cast<std::uint16_t>(symbol[index] << 4 | len);
        }
        code <<= 1;
    }
    return true;
}

MszipDecoder::Status MszipDecoder::decodeBlock(const std::uint8_t* in, std::size_t inLength, std::size_t expected,
                                               const std::uint8_t*& out) {
    if (inLength < 2 || in[0] != 'C' || in[1] != 'K') return Status::NoSignature;
    if (expected > kWindow) return Status::BadData;
    BitReader br{in + 2, inLength - 2};
    std::uint8_t* const start = buffer_ + kWindow;
    std::uint8_t* dst = start;
    std::uint8_t* const limit = start + kWindow;

    for (;;) {
        if (br.overrun()) return Status::BadData;
        bool last = br.take(1) != 0;
        std::uint32_t type = br.take(2);
        if (type == 0) {
            br.drop(br.count & 7);
            std::uint32_t len = br.take(16);
            std::uint32_t nlen = br.take(16);
            if ((len ^ 0xFFFF) != nlen || br.overrun()) return Status::BadData;
            if (len > static_cast<std::size_t>(limit - dst)) return Status::BadData;
            // Whole bytes still in the bit buffer come first, then the input directly.
            while (len > 0 && br.count >= 8) {
                *dst++ = static_cast<std::uint8_t>(br.take(8));
                --len;
            }
            if (br.overrun()) return Status::BadData;
            if (len > 0) {
                if (len > br.length - br.pos) return Status::BadData;
                std::memcpy(dst, br.in + br.pos, len);
                dst += len;
                br.pos += len;
            }
        } else if (type == 1 || type == 2) {
            if (type == 1) {
                std::uint8_t lengths[288 + 32];
                std::memset(lengths, 8, 144);
                std::memset(lengths + 144, 9, 112);
                std::memset(lengths + 256, 7, 24);
                std::memset(lengths + 280, 8, 8);
                std::memset(lengths + 288, 5, 30);
                lit_.build(lengths, 288);
                dist_.build(lengths + 288, 30);
            } else {
                int nlit = static_cast<int>(br.take(5)) + 257;
                int ndist = static_cast<int>(br.take(5)) + 1;
                int ncode = static_cast<int>(br.take(4)) + 4;
                if (nlit > 286 || ndist > 30) return Status::BadData;
                std::uint8_t lengths[320] = {};
                for (int i = 0; i < ncode; ++i) lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(br.take(3));
                Huffman& lenCode = dist_;  // reused as scratch before the distance code is built
                if (!lenCode.build(lengths, 19)) return Status::BadData;
                std::memset(lengths, 0, sizeof lengths);
                int index = 0;
                while (index < nlit + ndist) {
                    if (br.overrun()) return Status::BadData;
                    int sym = decodeSymbol(br, lenCode);
                    if (sym < 0) return Status::BadData;
                    if (sym < 16) {
                        lengths[index++] = static_cast<std::uint8_t>(sym);
                        continue;
                    }
                    std::uint8_t value = 0;
                    int repeat;
                    if (sym == 16) {
                        if (index == 0) return Status::BadData;
                        value = lengths[index - 1];
                        repeat = 3 + static_cast<int>(br.take(2));
                    } else if (sym == 17) {
                        repeat = 3 + static_cast<int>(br.take(3));
                    } else {
                        repeat = 11 + static_cast<int>(br.take(7));
                    }
                    if (index + repeat > nlit + ndist) return Status::BadData;
                    while (repeat--) lengths[index++] = value;
                }
                if (lengths[256] == 0) return Status::BadData;  // a block that cannot end
                if (!lit_.build(lengths, nlit) || !dist_.build(lengths + nlit, ndist)) return Status::BadData;
            }
            for (;;) {
                int sym = decodeSymbol(br, lit_);
                if (sym < 256) {
                    if (sym < 0 || dst == limit) return Status::BadData;
                    *dst++ = static_cast<std::uint8_t>(sym);
                    continue;
                }
                if (sym == 256) break;
                sym -= 257;
                if (sym >= 29) return Status::BadData;
                std::size_t len = kLengthBase[sym] + br.take(kLengthExtra[sym]);
                int dsym = decodeSymbol(br, dist_);
                if (dsym < 0 || dsym >= 30) return Status::BadData;
                std::size_t dist = kDistBase[dsym] + br.take(kDistExtra[dsym]);
                if (dist > history_ + static_cast<std::size_t>(dst - start) ||
                    len > static_cast<std::size_t>(limit - dst))
                    return Status::BadData;
                if (br.overrun()) return Status::BadData;
                const std::uint8_t* src = dst - dist;
                if (dist >= len) {
                    std::memcpy(dst, src, len);
                    dst += len;
                } else {
                    while (len--) *dst++ = *src++;
                }
            }
        } else {
            return Status::BadData;
        }
        if (br.overrun()) return Status::BadData;
        // A block ends with the final deflate block, or once it holds all it should.
        if (last || static_cast<std::size_t>(dst - start) == expected) break;
    }
    std::size_t produced = static_cast<std::size_t>(dst - start);
    if (produced != expected) return Status::BadData;
    out = start;
    // Keep the last 32 KiB (history plus this block) just before the next block's start.
    std::size_t keep = history_ + produced < kWindow ? history_ + produced : kWindow;
    std::memmove(buffer_ + kWindow - keep, dst - keep, keep);
    history_ = keep;
    return Status::Ok;
}

}  // namespace quelstat::cab
