// The MSZIP decoder against zlib's deflate: every block a complete raw deflate stream primed with
// the previous 32 KiB, as cabinet writers make them, across compression levels and strategies.
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>
#include <zlib.h>

#include "setup/cab/mszip.h"

using quelstat::cab::MszipDecoder;

namespace {

std::vector<std::uint8_t> deflateBlock(const std::uint8_t* data, std::size_t n, const std::uint8_t* history,
                                       std::size_t historyLength, int level, int strategy) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    if (historyLength) deflateSetDictionary(&z, history, static_cast<uInt>(historyLength));
    std::vector<std::uint8_t> out(2 + deflateBound(&z, static_cast<uLong>(n)) + 16);
    out[0] = 'C';
    out[1] = 'K';
    z.next_in = const_cast<std::uint8_t*>(data);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = out.data() + 2;
    z.avail_out = static_cast<uInt>(out.size() - 2);
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// Text with long-range repeats, so later blocks copy from earlier ones.
std::vector<std::uint8_t> sample(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    const char* words[] = {"mean ", "median ", "kappa ", "deming ", "\n", "0.95 ", "roc "};
    while (out.size() < n) {
        if (out.size() > 1000 && rng() % 5 == 0) {
            std::size_t back = 1 + rng() % std::min<std::size_t>(out.size(), 40000);
            std::size_t len = 3 + rng() % 300;
            for (std::size_t i = 0; i < len; ++i) out.push_back(out[out.size() - back]);
        } else if (rng() % 7 == 0) {
            for (int i = 0; i < 50; ++i) out.push_back(static_cast<std::uint8_t>(rng()));
        } else {
            const char* w = words[rng() % 7];
            out.insert(out.end(), w, w + std::strlen(w));
        }
    }
    out.resize(n);
    return out;
}

}  // namespace

TEST(MszipDecoder, MatchesZlibAcrossLevelsAndStrategies) {
    auto data = sample(300000, 7);
    struct Mode {
        int level, strategy;
    };
    for (Mode m : {Mode{0, Z_DEFAULT_STRATEGY}, Mode{1, Z_DEFAULT_STRATEGY}, Mode{6, Z_DEFAULT_STRATEGY},
                   Mode{9, Z_DEFAULT_STRATEGY}, Mode{6, Z_FIXED}, Mode{6, Z_HUFFMAN_ONLY}, Mode{6, Z_RLE}}) {
        SCOPED_TRACE(m.level * 10 + m.strategy);
        MszipDecoder decoder;
        decoder.reset();
        for (std::size_t pos = 0; pos < data.size(); pos += 32768) {
            std::size_t n = std::min<std::size_t>(32768, data.size() - pos);
            std::size_t hist = std::min<std::size_t>(pos, 32768);
            auto block = deflateBlock(data.data() + pos, n, data.data() + pos - hist, hist, m.level, m.strategy);
            const std::uint8_t* out = nullptr;
            ASSERT_EQ(decoder.decodeBlock(block.data(), block.size(), n, out), MszipDecoder::Status::Ok) << pos;
            ASSERT_EQ(std::memcmp(out, data.data() + pos, n), 0) << pos;
        }
    }
}

TEST(MszipDecoder, WindowIsForgottenAtReset) {
    auto data = sample(65536, 3);
    MszipDecoder decoder;
    auto first = deflateBlock(data.data(), 32768, nullptr, 0, 6, Z_DEFAULT_STRATEGY);
    auto second = deflateBlock(data.data() + 32768, 32768, data.data(), 32768, 6, Z_DEFAULT_STRATEGY);
    const std::uint8_t* out;
    ASSERT_EQ(decoder.decodeBlock(first.data(), first.size(), 32768, out), MszipDecoder::Status::Ok);
    decoder.reset();
    // Without its history the second block refers to bytes that are not there.
    EXPECT_EQ(decoder.decodeBlock(second.data(), second.size(), 32768, out), MszipDecoder::Status::BadData);
}

TEST(MszipDecoder, WrongExpectedSizeIsBadData) {
    auto data = sample(1000, 5);
    auto block = deflateBlock(data.data(), data.size(), nullptr, 0, 6, Z_DEFAULT_STRATEGY);
    const std::uint8_t* out;
    MszipDecoder decoder;
    EXPECT_EQ(decoder.decodeBlock(block.data(), block.size(), 999, out), MszipDecoder::Status::BadData);
    decoder.reset();
    EXPECT_EQ(decoder.decodeBlock(block.data(), block.size(), 1001, out), MszipDecoder::Status::BadData);
    decoder.reset();
    EXPECT_EQ(decoder.decodeBlock(block.data() + 1, block.size() - 1, 1000, out), MszipDecoder::Status::NoSignature);
}

// Damaged streams never decode past the block or crash; most are caught as bad data.
TEST(MszipDecoder, RandomDamageIsContained) {
    auto data = sample(32768, 11);
    auto block = deflateBlock(data.data(), data.size(), nullptr, 0, 6, Z_DEFAULT_STRATEGY);
    std::mt19937 rng(1);
    int refused = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        auto bad = block;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) bad[2 + rng() % (bad.size() - 2)] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        if (trial % 3 == 0) bad.resize(2 + rng() % (bad.size() - 2));
        MszipDecoder decoder;
        const std::uint8_t* out = nullptr;
        auto status = decoder.decodeBlock(bad.data(), bad.size(), data.size(), out);
        if (status != MszipDecoder::Status::Ok) ++refused;
    }
    EXPECT_GT(refused, 1500);
}
