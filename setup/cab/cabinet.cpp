#include "setup/cab/cabinet.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "setup/cab/cab_limits.h"
#include "setup/cab/mszip.h"

namespace quelstat::cab {
namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The data block checksum of the cabinet format: 32-bit little-endian words XORed together,
// with the one to three bytes left over folded in most significant first.
std::uint32_t blockChecksum(const std::uint8_t* data, std::size_t n, std::uint32_t seed) {
    std::uint32_t sum = seed;
    std::size_t words = n / 4;
    for (std::size_t i = 0; i < words; ++i, data += 4) sum ^= le32(data);
    std::uint32_t tail = 0;
    switch (n & 3) {
        case 3: tail |= static_cast<std::uint32_t>(*data++) << 16; [[fallthrough]];
        case 2: tail |= static_cast<std::uint32_t>(*data++) << 8; [[fallthrough]];
        case 1: tail |= *data;
    }
    return sum ^ tail;
}

struct Failure {
    CabinetError error;
    int systemError;
};

// The system's reason (errno) travels with the failure so that a target-file error can still
// name it after the handlers have been closed.
[[noreturn]] void fail(CabinetError error) { throw Failure{error, errno}; }

void readExact(CabinetHandler& source, void* buffer, std::size_t n) {
    if (source.read(buffer, n) != static_cast<std::int64_t>(n)) fail(CabinetError::Corrupt);
}

void seekTo(CabinetHandler& source, std::uint64_t pos) {
    if (source.seek(static_cast<std::int64_t>(pos), 0) != static_cast<std::int64_t>(pos)) fail(CabinetError::Corrupt);
}

// A NUL-terminated string of at most kMaxNameLength bytes, read without knowing its length.
std::string readName(CabinetHandler& source) {
    std::string s;
    char c;
    for (;;) {
        if (source.read(&c, 1) != 1) fail(CabinetError::Corrupt);
        if (c == '\0') return s;
        if (s.size() + 1 >= kMaxNameLength) fail(CabinetError::Corrupt);
        s.push_back(c);
    }
}

struct Layout {
    CabinetDirectory dir;
    std::uint8_t folderReserve = 0;
    std::uint8_t dataReserve = 0;
    std::uint64_t fileSize = 0;
};

void readDirectory(CabinetHandler& source, Layout& layout) {
    std::int64_t end = source.seek(0, 2);
    if (end < 0 || source.seek(0, 0) != 0) fail(CabinetError::NotACabinet);
    layout.fileSize = static_cast<std::uint64_t>(end);
    if (layout.fileSize > kMaxCabinetSize) fail(CabinetError::Corrupt);

    std::uint8_t h[36];
    std::int64_t got = source.read(h, sizeof h);
    if (got < 4 || h[0] != 'M' || h[1] != 'S' || h[2] != 'C' || h[3] != 'F') fail(CabinetError::NotACabinet);
    if (got != static_cast<std::int64_t>(sizeof h)) fail(CabinetError::Corrupt);
    if (h[25] != 1 || h[24] != 3) fail(CabinetError::UnknownVersion);

    CabinetDirectory& dir = layout.dir;
    dir.size = le32(h + 8);
    std::uint32_t filesOffset = le32(h + 16);
    std::uint16_t folderCount = le16(h + 26);
    std::uint16_t fileCount = le16(h + 28);
    dir.flags = le16(h + 30);
    dir.setId = le16(h + 32);
    dir.index = le16(h + 34);
    if (dir.flags & ~0x0007) fail(CabinetError::Corrupt);
    // One cabinet per installation: a cabinet that continues another, or is continued, is not
    // one this reader can complete.
    if (dir.flags & 0x0003) fail(CabinetError::Corrupt);

    if (dir.flags & 0x0004) {
        std::uint8_t r[4];
        readExact(source, r, sizeof r);
        std::uint16_t headerReserve = le16(r);
        layout.folderReserve = r[2];
        layout.dataReserve = r[3];
        if (headerReserve > kMaxHeaderReserve) fail(CabinetError::Corrupt);
        if (source.seek(headerReserve, 1) < 0) fail(CabinetError::Corrupt);
    }
    if (folderCount == 0 && fileCount != 0) fail(CabinetError::Corrupt);

    // Every count is checked against the bytes actually present before anything is allocated.
    std::int64_t here = source.seek(0, 1);
    if (here < 0 ||
        static_cast<std::uint64_t>(here) + static_cast<std::uint64_t>(folderCount) * (8u + layout.folderReserve) >
            layout.fileSize)
        fail(CabinetError::Corrupt);
    dir.folders.resize(folderCount);
    std::vector<std::uint8_t> fbuf(8u + layout.folderReserve);
    for (CabinetFolder& f : dir.folders) {
        readExact(source, fbuf.data(), fbuf.size());
        f.dataOffset = le32(fbuf.data());
        f.blocks = le16(fbuf.data() + 4);
        f.compression = le16(fbuf.data() + 6);
        if (f.dataOffset >= layout.fileSize && f.blocks != 0) fail(CabinetError::Corrupt);
        // A block header alone is 8 bytes: a count the file cannot hold is a lie.
        if (static_cast<std::uint64_t>(f.dataOffset) + static_cast<std::uint64_t>(f.blocks) * 8u > layout.fileSize)
            fail(CabinetError::Corrupt);
    }

    // Each member entry takes at least 17 bytes (16 fixed and a one-byte name).
    if (static_cast<std::uint64_t>(filesOffset) + static_cast<std::uint64_t>(fileCount) * 17u > layout.fileSize)
        fail(CabinetError::Corrupt);
    seekTo(source, filesOffset);
    dir.files.resize(fileCount);
    for (CabinetFile& file : dir.files) {
        std::uint8_t e[16];
        readExact(source, e, sizeof e);
        file.size = le32(e);
        file.offset = le32(e + 4);
        file.folder = le16(e + 8);
        file.date = le16(e + 10);
        file.time = le16(e + 12);
        file.attributes = le16(e + 14);
        file.rawName = readName(source);
        if (file.folder >= folderCount)
            fail(CabinetError::Corrupt);  // includes the continued-member markers 0xFFFD..0xFFFF
        if (static_cast<std::uint64_t>(file.offset) + file.size > kMaxFolderSize ||
            static_cast<std::uint64_t>(file.offset) + file.size >
                static_cast<std::uint64_t>(dir.folders[file.folder].blocks) * kMaxBlockUncompressed)
            fail(CabinetError::Corrupt);
        if (!decodeMemberName(file.rawName, (file.attributes & kAttrNameIsUtf8) != 0, file.name)) file.name.clear();
    }
}

// Streams one folder's uncompressed bytes, block by block.
class FolderReader {
public:
    FolderReader(CabinetHandler& source, const Layout& layout, unsigned folderIndex, unsigned& passes)
        : source_(source),
          layout_(layout),
          folder_(layout.dir.folders[folderIndex]),
          index_(folderIndex),
          passes_(passes) {
        unsigned method = folder_.compression & 0x000F;
        if (method != kCompressNone && method != kCompressMszip) fail(CabinetError::BadCompressionType);
        input_.resize(kMaxBlockCompressed);
    }

    unsigned index() const { return index_; }
    std::uint64_t position() const { return position_; }

    void restart() {
        if (++passes_ > kMaxFolderPasses) fail(CabinetError::Corrupt);
        position_ = 0;
        block_ = 0;
        nextBlockAt_ = folder_.dataOffset;
        available_ = 0;
        data_ = nullptr;
        mszip_.reset();
    }

    // Moves forward to `target` bytes into the folder, decoding and dropping what lies before.
    void skipTo(std::uint64_t target) {
        while (position_ < target) {
            if (available_ == 0) nextBlock();
            std::uint64_t n = std::min<std::uint64_t>(available_, target - position_);
            consume(static_cast<std::size_t>(n));
        }
    }

    // Copies `size` bytes to `out` (null to drop them).
    void copy(std::uint64_t size, CabinetHandler* out) {
        while (size > 0) {
            if (available_ == 0) nextBlock();
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(available_, size));
            if (out && out->write(data_, n) != static_cast<std::int64_t>(n)) fail(CabinetError::TargetFile);
            consume(n);
            size -= n;
        }
    }

private:
    void consume(std::size_t n) {
        data_ += n;
        available_ -= n;
        position_ += n;
    }

    void nextBlock() {
        if (block_ >= folder_.blocks) fail(CabinetError::Corrupt);  // a member runs past the folder's data
        seekTo(source_, nextBlockAt_);
        std::uint8_t h[8];
        readExact(source_, h, sizeof h);
        std::uint32_t checksum = le32(h);
        std::uint16_t compressed = le16(h + 4);
        std::uint16_t uncompressed = le16(h + 6);
        if (compressed > kMaxBlockCompressed || uncompressed > kMaxBlockUncompressed) fail(CabinetError::Corrupt);
        if (layout_.dataReserve && source_.seek(layout_.dataReserve, 1) < 0) fail(CabinetError::Corrupt);
        readExact(source_, input_.data(), compressed);
        if (checksum != 0) {
            std::uint32_t sum = blockChecksum(input_.data(), compressed, 0);
#ifndef QUELSTAT_FUZZING
            // Fuzzing builds let damaged blocks through so that the decoder behind gets to see them.
            if (blockChecksum(h + 4, 4, sum) != checksum) fail(CabinetError::Corrupt);
#else
            (void)sum;
#endif
        }
        nextBlockAt_ += 8u + layout_.dataReserve + compressed;
        ++block_;
        if ((folder_.compression & 0x000F) == kCompressNone) {
            if (compressed != uncompressed) fail(CabinetError::Corrupt);
            data_ = input_.data();
        } else {
            const std::uint8_t* out = nullptr;
            if (mszip_.decodeBlock(input_.data(), compressed, uncompressed, out) != MszipDecoder::Status::Ok)
                fail(CabinetError::Corrupt);
            data_ = out;
        }
        available_ = uncompressed;
        // An empty block makes no progress; the block count still bounds how many there are.
    }

    CabinetHandler& source_;
    const Layout& layout_;
    const CabinetFolder& folder_;
    unsigned index_;
    unsigned& passes_;  // shared by every reader of this folder
    std::uint64_t position_ = 0;
    unsigned block_ = 0;
    std::uint64_t nextBlockAt_ = 0;
    std::size_t available_ = 0;
    const std::uint8_t* data_ = nullptr;
    std::vector<std::uint8_t> input_;
    MszipDecoder mszip_;
};

template <typename Body>
CabinetError guarded(Body body) {
    try {
        body();
        return CabinetError::None;
    } catch (const Failure& f) {
        errno = f.systemError;
        return f.error;
    } catch (const std::bad_alloc&) {
        return CabinetError::OutOfMemory;
    }
}

}  // namespace

const char* describe(CabinetError error) {
    switch (error) {
        case CabinetError::None: return "no error";
        case CabinetError::CabinetNotFound: return "cabinet not found";
        case CabinetError::NotACabinet: return "not a cabinet";
        case CabinetError::UnknownVersion: return "unknown cabinet version";
        case CabinetError::Corrupt: return "corrupt cabinet";
        case CabinetError::OutOfMemory: return "out of memory";
        case CabinetError::BadCompressionType: return "unsupported compression method";
        case CabinetError::TargetFile: return "cannot write target file";
        case CabinetError::UserAbort: return "stopped";
    }
    return "unknown error";
}

bool decodeMemberName(const std::string& raw, bool utf8, std::string& name) {
    name.clear();
    std::size_t i = 0;
    while (i < raw.size()) {
        auto c = static_cast<unsigned char>(raw[i]);
        if (c < 0x20 || c == 0x7F) return false;
        if (c < 0x80) {
            name.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (!utf8) {
            name.push_back(static_cast<char>(0xC0 | c >> 6));
            name.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            ++i;
            continue;
        }
        // Strict UTF-8: shortest form only, no surrogates, nothing above U+10FFFF.
        int extra;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= raw.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(raw[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = cp << 6 | (cc & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        name.append(raw, i, static_cast<std::size_t>(extra) + 1);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

CabinetError readCabinetDirectory(CabinetHandler& source, CabinetDirectory& directory) {
    Layout layout;
    CabinetError error = guarded([&] { readDirectory(source, layout); });
    if (error == CabinetError::None) directory = std::move(layout.dir);
    return error;
}

CabinetError copyCabinet(CabinetHandler& source, CabinetNotify& notify) {
    Layout layout;
    return guarded([&] {
        readDirectory(source, layout);
        notify.cabinetInfo(layout.dir);
        // One folder is decoded at a time; going back to a folder, or back within one, starts
        // it again from its first block and counts as another pass.
        std::vector<unsigned> passes(layout.dir.folders.size(), 0);
        std::unique_ptr<FolderReader> reader;
        for (const CabinetFile& file : layout.dir.files) {
            std::unique_ptr<CabinetHandler> out = notify.copyFile(file);
            if (!out) continue;
            if (file.size > 0) {
                if (!reader || reader->index() != file.folder) {
                    reader.reset();
                    reader = std::make_unique<FolderReader>(source, layout, file.folder, passes[file.folder]);
                    reader->restart();
                } else if (reader->position() > file.offset) {
                    reader->restart();
                }
                reader->skipTo(file.offset);
                reader->copy(file.size, out.get());
            }
            if (!notify.closeFileInfo(file, std::move(out))) fail(CabinetError::TargetFile);
        }
    });
}

}  // namespace quelstat::cab
