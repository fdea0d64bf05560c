#include "sheets/io/zip.h"

#include <zlib.h>
#ifdef QS_SHEETS_HAVE_ISAL
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <cstring>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"

namespace sheets {

namespace {
// The zip CRC-32, continued from crc over the bytes; ISA-L's (the same function) is several times
// faster than zlib's where it is installed.
uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
#ifdef QS_SHEETS_HAVE_ISAL
  return crc32_gzip_refl(crc, static_cast<const unsigned char*>(data), size);
#else
  const Bytef* p = static_cast<const Bytef*>(data);
  while (size > 0) {
    uInt n = uInt(std::min<size_t>(size, 1u << 30));
    crc = uint32_t(crc32(crc, p, n));
    p += n;
    size -= n;
  }
  return crc;
#endif
}
}  // namespace

namespace {
uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put16(std::string& s, uint16_t v) {
  s += char(v & 0xFF);
  s += char(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}

constexpr uint32_t kLocalSig = 0x04034b50, kCentralSig = 0x02014b50, kEndSig = 0x06054b50;

bool NamesEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string LowerName(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return out;
}

// Names a package may hold: relative paths without "..", backslashes, drive letters or control bytes.
bool SafeName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos) return false;
  if (name.find(':') != std::string_view::npos) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view seg = name.substr(start, end - start);
    if (seg == ".." || seg == ".") return false;
    start = end + 1;
  }
  return true;
}
}  // namespace

ZipReader::ZipReader(std::span<const uint8_t> archive) : data_(archive) {
  const size_t n = data_.size();
  if (n < 22) throw FormatError("not a zip archive (too short)");
  // The end record sits in the last 22 + 65535 bytes (its comment is at most 65535 bytes).
  size_t lowest = n > 22 + 65535 ? n - 22 - 65535 : 0;
  size_t end = SIZE_MAX;
  for (size_t i = n - 22 + 1; i-- > lowest;) {
    if (Get32(&data_[i]) == kEndSig && i + 22 + Get16(&data_[i + 20]) <= n) {
      end = i;
      break;
    }
  }
  if (end == SIZE_MAX) throw FormatError("truncated or damaged zip archive (no end of central directory)");
  const uint8_t* e = &data_[end];
  uint16_t disk = Get16(e + 4), cd_disk = Get16(e + 6);
  uint16_t count_here = Get16(e + 8), count = Get16(e + 10);
  uint32_t cd_size = Get32(e + 12), cd_offset = Get32(e + 16);
  if (count == 0xFFFF || cd_offset == 0xFFFFFFFF || cd_size == 0xFFFFFFFF)
    throw FormatError("ZIP64 archives are not supported");
  if (disk != 0 || cd_disk != 0 || count_here != count)
    throw FormatError("multi-volume zip archives are not supported");
  if (uint32_t(count) > limits::kMaxZipEntries) throw FormatError("too many zip entries");
  if (uint64_t(cd_offset) + cd_size > end)
    throw FormatError("truncated zip archive (central directory beyond the end)");

  uint64_t total_declared = 0;
  size_t pos = cd_offset;
  entries_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (pos + 46 > uint64_t(cd_offset) + cd_size) throw FormatError("truncated zip central directory");
    const uint8_t* c = &data_[pos];
    if (Get32(c) != kCentralSig) throw FormatError("damaged zip central directory");
    uint16_t flags = Get16(c + 8), method = Get16(c + 10);
    uint32_t crc = Get32(c + 16), csize = Get32(c + 20), usize = Get32(c + 24);
    uint16_t name_len = Get16(c + 28), extra_len = Get16(c + 30), comment_len = Get16(c + 32);
    uint32_t local = Get32(c + 42);
    if (pos + 46 + name_len + extra_len + comment_len > uint64_t(cd_offset) + cd_size)
      throw FormatError("truncated zip central directory");
    if (name_len > limits::kMaxZipNameBytes) throw FormatError("zip entry name too long");
    ZipEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(c + 46), name_len);
    pos += 46 + size_t(name_len) + extra_len + comment_len;
    if (flags & 1) throw FormatError("zip entry " + entry.name + " is encrypted");
    if (method != 0 && method != 8)
      throw FormatError("zip entry " + entry.name + " uses an unsupported compression method");
    if (csize == 0xFFFFFFFF || usize == 0xFFFFFFFF || local == 0xFFFFFFFF)
      throw FormatError("ZIP64 archives are not supported");
    if (!SafeName(entry.name)) throw FormatError("unsafe zip entry name \"" + entry.name + "\"");
    if (usize > limits::kMaxPartBytes)
      throw FormatError("zip entry " + entry.name + " would inflate to " + std::to_string(usize) +
                        " bytes, more than the limit of " + std::to_string(limits::kMaxPartBytes));
    total_declared += usize;
    if (total_declared > limits::kMaxTotalBytes)
      throw FormatError("zip entries would inflate to more than the limit of " +
                        std::to_string(limits::kMaxTotalBytes) + " bytes");
    if (usize > limits::kInflateRatioGraceBytes && uint64_t(csize) * limits::kMinInflateRatioDenominator < usize)
      throw FormatError("zip entry " + entry.name + " has a suspicious inflate ratio (zip bomb)");
    if (method == 0 && csize != usize)
      throw FormatError("zip entry " + entry.name + " is stored with inconsistent sizes");
    // The local header gives the start of the data.
    if (uint64_t(local) + 30 > cd_offset) throw FormatError("truncated zip archive (entry " + entry.name + ")");
    const uint8_t* l = &data_[local];
    if (Get32(l) != kLocalSig) throw FormatError("damaged zip entry " + entry.name);
    uint64_t data_start = uint64_t(local) + 30 + Get16(l + 26) + Get16(l + 28);
    if (data_start + csize > cd_offset) throw FormatError("truncated zip archive (entry " + entry.name + ")");
    entry.method = method;
    entry.crc32 = crc;
    entry.compressed_size = csize;
    entry.uncompressed_size = usize;
    entry.data_offset = data_start;
    entries_.push_back(std::move(entry));
  }
  // Duplicate names (one part given twice) and overlapping data (one stream counted many times).
  std::vector<std::pair<std::string, size_t>> names;
  names.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) names.emplace_back(LowerName(entries_[i].name), i);
  std::sort(names.begin(), names.end());
  for (size_t i = 1; i < names.size(); ++i)
    if (names[i].first == names[i - 1].first)
      throw FormatError("duplicate zip entry name \"" + entries_[names[i].second].name + "\"");
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (const auto& en : entries_) ranges.emplace_back(en.data_offset, en.data_offset + en.compressed_size);
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i)
    if (ranges[i].first < ranges[i - 1].second) throw FormatError("overlapping zip entries");
}

int ZipReader::Find(std::string_view name) const {
  if (!name.empty() && name.front() == '/') name.remove_prefix(1);
  for (size_t i = 0; i < entries_.size(); ++i)
    if (NamesEqualNoCase(entries_[i].name, name)) return int(i);
  return -1;
}

void ZipReader::Read(size_t index, const std::function<void(std::string_view)>& sink) {
  const ZipEntry& e = entries_.at(index);
  const uint8_t* src = data_.data() + e.data_offset;
  uint32_t crc = 0;
  if (e.method == 0) {
    total_inflated_ += e.uncompressed_size;
    if (total_inflated_ > limits::kMaxTotalBytes) throw FormatError("the archive inflates to more than the limit");
    const size_t chunk = 1 << 16;
    for (uint64_t off = 0; off < e.compressed_size; off += chunk) {
      size_t len = size_t(std::min<uint64_t>(chunk, e.compressed_size - off));
      crc = Crc32(crc, src + off, len);
      sink(std::string_view(reinterpret_cast<const char*>(src + off), len));
    }
  } else {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw FormatError("cannot start inflating");
    struct Guard {
      z_stream* z;
      ~Guard() { inflateEnd(z); }
    } guard{&z};
    std::vector<unsigned char> out(1 << 18);
    uint64_t produced = 0;
    uint64_t remaining = e.compressed_size;
    z.next_in = const_cast<Bytef*>(src);
    int ret = Z_OK;
    while (ret != Z_STREAM_END) {
      if (z.avail_in == 0) {
        uInt take = uInt(std::min<uint64_t>(remaining, 1u << 30));
        z.avail_in = take;
        remaining -= take;
      }
      z.next_out = out.data();
      z.avail_out = uInt(out.size());
      ret = inflate(&z, Z_NO_FLUSH);
      if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR)
        throw FormatError("zip entry " + e.name + " holds corrupt compressed data");
      size_t got = out.size() - z.avail_out;
      if (ret == Z_BUF_ERROR && got == 0) throw FormatError("zip entry " + e.name + " is truncated");
      produced += got;
      total_inflated_ += got;
      if (produced > e.uncompressed_size)
        throw FormatError("zip entry " + e.name + " inflates beyond its declared size (zip bomb)");
      if (total_inflated_ > limits::kMaxTotalBytes) throw FormatError("the archive inflates to more than the limit");
      uint64_t consumed = e.compressed_size - remaining - z.avail_in;
      if (produced > limits::kInflateRatioGraceBytes && consumed * limits::kMinInflateRatioDenominator < produced)
        throw FormatError("zip entry " + e.name + " has a suspicious inflate ratio (zip bomb)");
      if (got) {
        crc = Crc32(crc, out.data(), got);
        sink(std::string_view(reinterpret_cast<const char*>(out.data()), got));
      }
    }
    if (produced != e.uncompressed_size)
      throw FormatError("zip entry " + e.name + " is shorter than its declared size");
  }
  if (crc != e.crc32) throw FormatError("zip entry " + e.name + " fails its CRC check");
}

std::string ZipReader::ReadAll(size_t index, uint64_t max_bytes) {
  const ZipEntry& e = entries_.at(index);
  if (e.uncompressed_size > max_bytes)
    throw FormatError("zip entry " + e.name + " is larger than the limit of " + std::to_string(max_bytes) + " bytes");
  std::string out;
  out.reserve(size_t(e.uncompressed_size));
  Read(index, [&](std::string_view chunk) { out.append(chunk); });
  return out;
}

// ---- writer -------------------------------------------------------------------------------------------

void MemorySink::Write(const void* data, size_t size) { bytes_.append(static_cast<const char*>(data), size); }
void MemorySink::WriteAt(uint64_t position, const void* data, size_t size) {
  std::memcpy(bytes_.data() + position, data, size);
}

struct ZipWriter::Stream {
  z_stream z{};
  Written w;
  bool open = false;
  bool fast = false;  // this entry goes through ISA-L rather than zlib
#ifdef QS_SHEETS_HAVE_ISAL
  // Entries at level 1 (sheets and shared strings: nearly all the bytes of a large workbook) are
  // deflated by ISA-L, several times faster than zlib's fastest level and as compact. Its state and
  // working buffer are made once per writer.
  std::unique_ptr<isal_zstream> iz;
  std::unique_ptr<uint8_t[]> level_buf;
#endif
};

ZipWriter::ZipWriter(ByteSink& sink) : sink_(sink), stream_(std::make_unique<Stream>()) {}

ZipWriter::~ZipWriter() {
  if (stream_->open && !stream_->fast) deflateEnd(&stream_->z);
}

void ZipWriter::WriteLocalHeader(const Written& w) {
  std::string h;
  Put32(h, kLocalSig);
  Put16(h, 20);      // version needed
  Put16(h, 0x0800);  // names are UTF-8
  Put16(h, w.method);
  Put16(h, 0);     // time 00:00
  Put16(h, 0x21);  // date 1980-01-01: saved files do not change with the clock
  Put32(h, w.crc);
  Put32(h, uint32_t(w.compressed));
  Put32(h, uint32_t(w.uncompressed));
  Put16(h, uint16_t(w.name.size()));
  Put16(h, 0);
  h += w.name;
  sink_.Write(h.data(), h.size());
}

bool ZipWriter::Holds(std::string_view name) const { return names_.count(LowerName(name)) > 0; }

void ZipWriter::Claim(std::string_view name) {
  // Two entries of one name (in any letter case) make a package that readers refuse or misread.
  if (!names_.insert(LowerName(name)).second) throw std::runtime_error("two parts named " + std::string(name));
}

void ZipWriter::Begin(std::string_view name, int level) {
  if (finished_ || stream_->open) throw std::logic_error("zip writer misuse");
  Claim(name);
  Stream& s = *stream_;
  s.w = Written{std::string(name), 8, 0, 0, 0, sink_.Position()};
  WriteLocalHeader(s.w);
#ifdef QS_SHEETS_HAVE_ISAL
  if (level == 1) {
    if (!s.iz) {
      s.iz = std::make_unique<isal_zstream>();
      s.level_buf = std::make_unique<uint8_t[]>(ISAL_DEF_LVL1_DEFAULT);
    }
    isal_deflate_init(s.iz.get());
    s.iz->level = 1;
    s.iz->level_buf = s.level_buf.get();
    s.iz->level_buf_size = ISAL_DEF_LVL1_DEFAULT;
    s.iz->gzip_flag = IGZIP_DEFLATE;  // raw deflate, as zip entries hold
    s.iz->flush = NO_FLUSH;
    s.fast = true;
    s.open = true;
    return;
  }
#endif
  s.fast = false;
  s.z = z_stream{};
  if (deflateInit2(&s.z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("cannot start deflating");
  s.open = true;
}

void ZipWriter::Deflate(const void* data, size_t size, int flush) {
  Stream& s = *stream_;
  unsigned char out[1 << 15];
#ifdef QS_SHEETS_HAVE_ISAL
  if (s.fast) {
    isal_zstream& z = *s.iz;
    z.next_in = static_cast<uint8_t*>(const_cast<void*>(data));
    z.avail_in = uint32_t(size);
    z.end_of_stream = flush == Z_FINISH ? 1 : 0;
    // Until all input is taken and, at the end, the final block is out.
    do {
      z.next_out = out;
      z.avail_out = sizeof out;
      if (isal_deflate(&z) != COMP_OK) throw std::runtime_error("deflating failed");
      size_t got = sizeof out - z.avail_out;
      if (got) {
        sink_.Write(out, got);
        s.w.compressed += got;
      }
    } while (z.avail_in > 0 || z.avail_out == 0 || (flush == Z_FINISH && z.internal_state.state != ZSTATE_END));
    return;
  }
#endif
  s.z.next_in = static_cast<Bytef*>(const_cast<void*>(data));
  s.z.avail_in = uInt(size);
  do {
    s.z.next_out = out;
    s.z.avail_out = sizeof out;
    deflate(&s.z, flush);
    size_t got = sizeof out - s.z.avail_out;
    if (got) {
      sink_.Write(out, got);
      s.w.compressed += got;
    }
  } while (s.z.avail_out == 0 || (flush == Z_FINISH && s.z.avail_in > 0));
}

void ZipWriter::Write(std::string_view data) {
  Stream& s = *stream_;
  if (!s.open) throw std::logic_error("zip writer misuse");
  while (!data.empty()) {
    size_t take = std::min<size_t>(data.size(), 1u << 30);
    s.w.crc = Crc32(s.w.crc, data.data(), take);
    s.w.uncompressed += take;
    Deflate(data.data(), take, Z_NO_FLUSH);
    data.remove_prefix(take);
  }
}

void ZipWriter::End() {
  Stream& s = *stream_;
  if (!s.open) throw std::logic_error("zip writer misuse");
  Deflate(nullptr, 0, Z_FINISH);
  if (!s.fast) deflateEnd(&s.z);
  s.open = false;
  if (s.w.uncompressed > 0xFFFFFFFEull || s.w.compressed > 0xFFFFFFFEull)
    throw std::runtime_error("a part of more than 4 GB cannot be written");
  // Patch crc and sizes into the local header.
  std::string patch;
  Put32(patch, s.w.crc);
  Put32(patch, uint32_t(s.w.compressed));
  Put32(patch, uint32_t(s.w.uncompressed));
  sink_.WriteAt(s.w.header_offset + 14, patch.data(), patch.size());
  done_.push_back(s.w);
}

void ZipWriter::Add(std::string_view name, std::string_view data, int level) {
  Begin(name, level);
  Write(data);
  End();
}

void ZipWriter::AddStored(std::string_view name, std::string_view data) {
  if (finished_ || stream_->open) throw std::logic_error("zip writer misuse");
  Claim(name);
  Written w{std::string(name), 0, Crc32(0, data.data(), data.size()), data.size(), data.size(), sink_.Position()};
  WriteLocalHeader(w);
  sink_.Write(data.data(), data.size());
  done_.push_back(w);
}

void ZipWriter::Finish() {
  if (finished_) return;
  if (stream_->open) throw std::logic_error("zip writer misuse");
  uint64_t cd_start = sink_.Position();
  std::string cd;
  for (const auto& w : done_) {
    Put32(cd, kCentralSig);
    Put16(cd, 20);  // made by
    Put16(cd, 20);
    Put16(cd, 0x0800);
    Put16(cd, w.method);
    Put16(cd, 0);
    Put16(cd, 0x21);
    Put32(cd, w.crc);
    Put32(cd, uint32_t(w.compressed));
    Put32(cd, uint32_t(w.uncompressed));
    Put16(cd, uint16_t(w.name.size()));
    Put16(cd, 0);
    Put16(cd, 0);
    Put16(cd, 0);
    Put16(cd, 0);
    Put32(cd, 0);
    Put32(cd, uint32_t(w.header_offset));
    cd += w.name;
  }
  if (cd_start + cd.size() > 0xFFFFFFFEull || done_.size() > 0xFFFE)
    throw std::runtime_error("the workbook is too large for a zip archive without ZIP64");
  std::string end;
  Put32(end, kEndSig);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, uint16_t(done_.size()));
  Put16(end, uint16_t(done_.size()));
  Put32(end, uint32_t(cd.size()));
  Put32(end, uint32_t(cd_start));
  Put16(end, 0);
  cd += end;
  sink_.Write(cd.data(), cd.size());
  finished_ = true;
}

}  // namespace sheets
