// Reads .xls workbooks (BIFF8 in a compound file): sheet names and visibility, cell values (numbers,
// texts, booleans, errors, cached formula results), number formats, fonts, alignment, borders and
// fills, merged areas, row and column outline levels and sizes, the sheet view and paper size.
//
// Formula text and defined names are read for the common tokens (references, areas, constants and
// array constants, operators, calls of the usual built-in functions, shared formulas, references to
// other workbooks); a formula with any other token
// leaves its cell with the value it last gave, and such a name is not read. Charts are not read.
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/io/workbook_io.h"
#include "sheets/model/reference.h"
#include "sheets/model/value.h"
#include "sheets/model/model_error.h"
#include "sheets/numfmt/builtin_formats.h"

namespace sheets {

namespace {

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
double F64(const uint8_t* p) {
  uint64_t v = uint64_t(U32(p)) | uint64_t(U32(p + 4)) << 32;
  double d;
  std::memcpy(&d, &v, 8);
  return d;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80)
    out += char(cp);
  else if (cp < 0x800) {
    out += char(0xC0 | cp >> 6);
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | cp >> 12);
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | cp >> 18);
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// ---- compound file ------------------------------------------------------------------------------------

class CompoundFile {
 public:
  explicit CompoundFile(std::span<const uint8_t> data) : d_(data) {
    if (d_.size() < 512) throw FormatError("truncated compound file header");
    uint16_t shift = U16(&d_[30]);
    if (shift != 9 && shift != 12) throw FormatError("compound file with an invalid sector size");
    sector_ = size_t(1) << shift;
    mini_shift_ = U16(&d_[32]);
    if (mini_shift_ != 6) throw FormatError("compound file with an invalid mini sector size");
    uint32_t fat_sectors = U32(&d_[44]);
    uint32_t dir_start = U32(&d_[48]);
    mini_cutoff_ = U32(&d_[56]);
    uint32_t minifat_start = U32(&d_[60]);
    uint32_t difat_start = U32(&d_[68]);
    uint32_t difat_count = U32(&d_[72]);
    // Sectors after the header; the last may be cut short (chains read what is there), but FAT and
    // DIFAT sectors must be whole.
    // The header fills the first sector-sized block.
    if (d_.size() > sector_) {
      sectors_ = uint32_t(std::min<uint64_t>((d_.size() - sector_ + sector_ - 1) / sector_, limits::kMaxCfbSectors));
      whole_sectors_ = uint32_t(std::min<uint64_t>((d_.size() - sector_) / sector_, limits::kMaxCfbSectors));
    }
    if (fat_sectors > sectors_) throw FormatError("compound file claims more FAT sectors than it has");
    // FAT sector numbers: 109 in the header, the rest in the DIFAT chain.
    std::vector<uint32_t> fat_sids;
    for (int i = 0; i < 109 && fat_sids.size() < fat_sectors; ++i) fat_sids.push_back(U32(&d_[76 + 4 * i]));
    uint32_t sid = difat_start;
    for (uint32_t k = 0; k < difat_count && fat_sids.size() < fat_sectors; ++k) {
      if (sid >= whole_sectors_) throw FormatError("compound file with a damaged DIFAT chain");
      const uint8_t* s = Sector(sid);
      size_t per = sector_ / 4 - 1;
      for (size_t i = 0; i < per && fat_sids.size() < fat_sectors; ++i) fat_sids.push_back(U32(s + 4 * i));
      sid = U32(s + 4 * per);
    }
    if (fat_sids.size() < fat_sectors) throw FormatError("compound file with a truncated DIFAT");
    fat_.reserve(fat_sids.size() * (sector_ / 4));
    for (uint32_t f : fat_sids) {
      if (f >= whole_sectors_) throw FormatError("compound file FAT sector beyond the end of the file");
      const uint8_t* s = Sector(f);
      for (size_t i = 0; i < sector_ / 4; ++i) fat_.push_back(U32(s + 4 * i));
    }
    std::string dir = ReadChain(dir_start, fat_, false, UINT64_MAX);
    if (dir.size() / 128 > limits::kMaxCfbDirectoryEntries)
      throw FormatError("compound file with too many directory entries");
    for (size_t off = 0; off + 128 <= dir.size(); off += 128) {
      const uint8_t* e = reinterpret_cast<const uint8_t*>(dir.data()) + off;
      Entry en;
      uint16_t name_len = std::min<uint16_t>(U16(e + 64), 64);
      for (size_t i = 0; i + 1 < name_len; i += 2) {
        uint16_t ch = U16(e + i);
        if (ch) AppendUtf8(en.name, ch);
      }
      en.type = e[66];
      en.start = U32(e + 116);
      en.size = U32(e + 120);
      entries_.push_back(std::move(en));
    }
    if (entries_.empty() || entries_[0].type != 5) throw FormatError("compound file without a root entry");
    if (minifat_start < sectors_) {
      std::string mf = ReadChain(minifat_start, fat_, false, UINT64_MAX);
      for (size_t i = 0; i + 4 <= mf.size(); i += 4)
        minifat_.push_back(U32(reinterpret_cast<const uint8_t*>(mf.data()) + i));
      mini_stream_ = ReadChain(entries_[0].start, fat_, false, uint64_t(entries_[0].size));
    }
  }

  // The stream's bytes, or nullopt when there is no stream of that name (ASCII case-insensitive).
  std::optional<std::string> Stream(std::string_view name) {
    for (const auto& e : entries_) {
      if (e.type != 2 || e.name.size() != name.size()) continue;
      bool same = true;
      for (size_t i = 0; i < name.size(); ++i)
        if ((e.name[i] | 0x20) != (name[i] | 0x20)) same = false;
      if (!same) continue;
      if (e.size > d_.size()) throw FormatError("compound file stream \"" + e.name + "\" is larger than the file");
      if (e.size < mini_cutoff_) return ReadChain(e.start, minifat_, true, e.size);
      return ReadChain(e.start, fat_, false, e.size);
    }
    return std::nullopt;
  }

 private:
  struct Entry {
    std::string name;
    uint8_t type = 0;
    uint32_t start = 0;
    uint32_t size = 0;
  };

  // Sector sid starts after the header, which fills the first sector-sized block of the file.
  const uint8_t* Sector(uint32_t sid) const { return d_.data() + (size_t(sid) + 1) * sector_; }

  std::string ReadChain(uint32_t sid, const std::vector<uint32_t>& fat, bool mini, uint64_t size) {
    std::string out;
    size_t unit = mini ? (size_t(1) << mini_shift_) : sector_;
    std::vector<bool> visited(fat.size(), false);
    while (sid != 0xFFFFFFFE && out.size() < size) {
      // A sector met twice means the chain loops.
      if (sid >= fat.size() || visited[sid]) throw FormatError("compound file with a damaged sector chain");
      visited[sid] = true;
      if (mini) {
        size_t off = size_t(sid) * unit;
        if (off + unit > mini_stream_.size()) throw FormatError("compound file mini sector beyond the mini stream");
        out.append(mini_stream_, off, unit);
      } else {
        if (sid >= sectors_) throw FormatError("compound file sector beyond the end of the file");
        size_t avail = std::min<size_t>(unit, d_.size() - (size_t(sid) + 1) * sector_);
        out.append(reinterpret_cast<const char*>(Sector(sid)), avail);
      }
      sid = fat[sid];
    }
    if (size != UINT64_MAX) {
      if (out.size() < size) throw FormatError("compound file stream is truncated");
      out.resize(size_t(size));
    }
    return out;
  }

  std::span<const uint8_t> d_;
  size_t sector_ = 512;
  uint32_t mini_shift_ = 6;
  uint32_t mini_cutoff_ = 4096;
  uint32_t sectors_ = 0, whole_sectors_ = 0;
  std::vector<uint32_t> fat_, minifat_;
  std::string mini_stream_;
  std::vector<Entry> entries_;
};

// ---- BIFF records -----------------------------------------------------------------------------------

struct Record {
  uint16_t type;
  const uint8_t* data;
  uint16_t size;
};

class RecordReader {
 public:
  explicit RecordReader(std::string_view s) : s_(s) {}
  void Seek(size_t pos) { pos_ = pos; }
  size_t Position() const { return pos_; }
  bool Next(Record& r) {
    if (pos_ >= s_.size()) return false;
    if (pos_ + 4 > s_.size()) throw FormatError("truncated BIFF record header");
    const uint8_t* p = reinterpret_cast<const uint8_t*>(s_.data()) + pos_;
    r.type = U16(p);
    r.size = U16(p + 2);
    if (r.size > limits::kMaxBiffRecordBytes)
      throw FormatError("BIFF record of " + std::to_string(r.size) + " bytes, more than the limit of " +
                        std::to_string(limits::kMaxBiffRecordBytes));
    if (pos_ + 4 + r.size > s_.size()) throw FormatError("truncated BIFF record");
    r.data = p + 4;
    pos_ += 4 + size_t(r.size);
    return true;
  }
  // The CONTINUE records that follow the current one.
  std::vector<std::string_view> Continues() {
    std::vector<std::string_view> out;
    Record r;
    size_t save = pos_;
    while (Next(r) && r.type == 0x003C) {
      out.emplace_back(reinterpret_cast<const char*>(r.data), r.size);
      save = pos_;
    }
    pos_ = save;
    return out;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

// Reads across a record and its CONTINUE records; character data that cross a boundary restart with
// a new flags byte, as BIFF8 stores them.
class Segments {
 public:
  explicit Segments(std::vector<std::string_view> segs) : segs_(std::move(segs)) {}
  bool AtEnd() {
    while (seg_ < segs_.size() && pos_ >= segs_[seg_].size()) {
      ++seg_;
      pos_ = 0;
    }
    return seg_ >= segs_.size();
  }
  uint8_t U8() {
    if (AtEnd()) throw FormatError("truncated string data");
    return uint8_t(segs_[seg_][pos_++]);
  }
  uint16_t U16v() {
    uint16_t a = U8();
    return uint16_t(a | U8() << 8);
  }
  uint32_t U32v() {
    uint32_t a = U16v();
    return a | uint32_t(U16v()) << 16;
  }
  void Skip(uint64_t n) {
    while (n > 0) {
      if (AtEnd()) throw FormatError("truncated string data");
      uint64_t take = std::min<uint64_t>(n, segs_[seg_].size() - pos_);
      pos_ += size_t(take);
      n -= take;
    }
  }
  std::string Chars(uint32_t count, bool high) {
    std::string out;
    uint32_t pending_high = 0;
    for (uint32_t i = 0; i < count; ++i) {
      if (seg_ < segs_.size() && pos_ >= segs_[seg_].size() && i > 0) {
        if (AtEnd()) throw FormatError("truncated string data");
        high = (U8() & 1) != 0;  // a new flags byte at the start of the CONTINUE record
      }
      uint32_t ch = high ? U16v() : U8();
      if (ch >= 0xD800 && ch < 0xDC00) {
        pending_high = ch;
        continue;
      }
      if (ch >= 0xDC00 && ch < 0xE000 && pending_high) {
        AppendUtf8(out, 0x10000 + ((pending_high - 0xD800) << 10) + (ch - 0xDC00));
        pending_high = 0;
        continue;
      }
      AppendUtf8(out, ch);
    }
    return out;
  }
  // XLUnicodeRichExtendedString.
  std::string RichString() {
    uint16_t cch = U16v();
    uint8_t flags = U8();
    uint16_t runs = (flags & 8) ? U16v() : 0;
    uint32_t ext = (flags & 4) ? U32v() : 0;
    std::string s = Chars(cch, flags & 1);
    Skip(uint64_t(runs) * 4);
    Skip(ext);
    return s;
  }

 private:
  std::vector<std::string_view> segs_;
  size_t seg_ = 0, pos_ = 0;
};

std::string ShortString(const uint8_t* p, size_t avail, bool count16) {
  size_t head = count16 ? 3 : 2;
  if (avail < head) throw FormatError("truncated string in a BIFF record");
  uint32_t cch = count16 ? U16(p) : p[0];
  bool high = (p[count16 ? 2 : 1] & 1) != 0;
  size_t need = head + size_t(cch) * (high ? 2 : 1);
  if (need > avail) throw FormatError("truncated string in a BIFF record");
  Segments s({std::string_view(reinterpret_cast<const char*>(p + head), need - head)});
  return s.Chars(cch, high);
}

double RkValue(uint32_t rk) {
  double v;
  if (rk & 2) {
    v = double(int32_t(rk) >> 2);
  } else {
    uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, 8);
  }
  if (rk & 1) v /= 100;
  return v;
}

ErrorCode BiffError(uint8_t e) {
  switch (e) {
    case 0x00: return ErrorCode::Null;
    case 0x07: return ErrorCode::Div0;
    case 0x0F: return ErrorCode::Value;
    case 0x17: return ErrorCode::Ref;
    case 0x1D: return ErrorCode::Name;
    case 0x24: return ErrorCode::Num;
    default: return ErrorCode::NA;
  }
}

// ---- formulas ---------------------------------------------------------------------------------------

// Built-in functions by their number in BIFF formulas: name, and the argument count of a fixed-count
// call (-1: the call carries its count).
struct BiffFunction {
  uint16_t id;
  const char* name;
  int8_t args;
};
constexpr BiffFunction kBiffFunctions[] = {
    {0, "COUNT", -1},
    {1, "IF", -1},
    {2, "ISNA", 1},
    {3, "ISERROR", 1},
    {4, "SUM", -1},
    {5, "AVERAGE", -1},
    {6, "MIN", -1},
    {7, "MAX", -1},
    {8, "ROW", -1},
    {9, "COLUMN", -1},
    {10, "NA", 0},
    {11, "NPV", -1},
    {12, "STDEV", -1},
    {15, "SIN", 1},
    {16, "COS", 1},
    {17, "TAN", 1},
    {18, "ATAN", 1},
    {19, "PI", 0},
    {20, "SQRT", 1},
    {21, "EXP", 1},
    {22, "LN", 1},
    {23, "LOG10", 1},
    {24, "ABS", 1},
    {25, "INT", 1},
    {26, "SIGN", 1},
    {27, "ROUND", 2},
    {28, "LOOKUP", -1},
    {29, "INDEX", -1},
    {30, "REPT", 2},
    {31, "MID", 3},
    {32, "LEN", 1},
    {33, "VALUE", 1},
    {34, "TRUE", 0},
    {35, "FALSE", 0},
    {36, "AND", -1},
    {37, "OR", -1},
    {38, "NOT", 1},
    {39, "MOD", 2},
    {46, "VAR", -1},
    {48, "TEXT", 2},
    {63, "RAND", 0},
    {65, "DATE", 3},
    {66, "TIME", 3},
    {67, "DAY", 1},
    {68, "MONTH", 1},
    {69, "YEAR", 1},
    {70, "WEEKDAY", -1},
    {71, "HOUR", 1},
    {72, "MINUTE", 1},
    {73, "SECOND", 1},
    {74, "NOW", 0},
    {76, "ROWS", 1},
    {77, "COLUMNS", 1},
    {78, "OFFSET", -1},
    {82, "SEARCH", -1},
    {83, "TRANSPOSE", 1},
    {86, "TYPE", 1},
    {97, "ATAN2", 2},
    {98, "ASIN", 1},
    {99, "ACOS", 1},
    {100, "CHOOSE", -1},
    {101, "HLOOKUP", -1},
    {102, "VLOOKUP", -1},
    {109, "LOG", -1},
    {111, "CHAR", 1},
    {112, "LOWER", 1},
    {113, "UPPER", 1},
    {114, "PROPER", 1},
    {115, "LEFT", -1},
    {116, "RIGHT", -1},
    {117, "EXACT", 2},
    {118, "TRIM", 1},
    {119, "REPLACE", 4},
    {120, "SUBSTITUTE", -1},
    {121, "CODE", 1},
    {124, "FIND", -1},
    {126, "ISERR", 1},
    {127, "ISTEXT", 1},
    {128, "ISNUMBER", 1},
    {129, "ISBLANK", 1},
    {130, "T", 1},
    {131, "N", 1},
    {140, "DATEVALUE", 1},
    {141, "TIMEVALUE", 1},
    {148, "INDIRECT", -1},
    {162, "CLEAN", 1},
    {163, "MDETERM", 1},
    {164, "MINVERSE", 1},
    {165, "MMULT", 2},
    {169, "COUNTA", -1},
    {183, "PRODUCT", -1},
    {184, "FACT", 1},
    {190, "ISNONTEXT", 1},
    {193, "STDEVP", -1},
    {194, "VARP", -1},
    {197, "TRUNC", -1},
    {198, "ISLOGICAL", 1},
    {212, "ROUNDUP", 2},
    {213, "ROUNDDOWN", 2},
    {216, "RANK", -1},
    {219, "ADDRESS", -1},
    {221, "TODAY", 0},
    {227, "MEDIAN", -1},
    {228, "SUMPRODUCT", -1},
    {229, "SINH", 1},
    {230, "COSH", 1},
    {231, "TANH", 1},
    {252, "FREQUENCY", 2},
    {261, "ERROR.TYPE", 1},
    {269, "AVEDEV", -1},
    {270, "BETADIST", -1},
    {271, "GAMMALN", 1},
    {272, "BETAINV", -1},
    {273, "BINOMDIST", 4},
    {274, "CHIDIST", 2},
    {275, "CHIINV", 2},
    {276, "COMBIN", 2},
    {277, "CONFIDENCE", 3},
    {278, "CRITBINOM", 3},
    {279, "EVEN", 1},
    {280, "EXPONDIST", 3},
    {281, "FDIST", 3},
    {282, "FINV", 3},
    {283, "FISHER", 1},
    {284, "FISHERINV", 1},
    {285, "FLOOR", 2},
    {286, "GAMMADIST", 4},
    {287, "GAMMAINV", 3},
    {288, "CEILING", 2},
    {289, "HYPGEOMDIST", 4},
    {290, "LOGNORMDIST", 3},
    {291, "LOGINV", 3},
    {292, "NEGBINOMDIST", 3},
    {293, "NORMDIST", 4},
    {294, "NORMSDIST", 1},
    {295, "NORMINV", 3},
    {296, "NORMSINV", 1},
    {297, "STANDARDIZE", 3},
    {298, "ODD", 1},
    {299, "PERMUT", 2},
    {300, "POISSON", 3},
    {301, "TDIST", 3},
    {302, "WEIBULL", 4},
    {303, "SUMXMY2", 2},
    {304, "SUMX2MY2", 2},
    {305, "SUMX2PY2", 2},
    {306, "CHITEST", 2},
    {307, "CORREL", 2},
    {308, "COVAR", 2},
    {309, "FORECAST", 3},
    {310, "FTEST", 2},
    {311, "INTERCEPT", 2},
    {312, "PEARSON", 2},
    {313, "RSQ", 2},
    {314, "STEYX", 2},
    {315, "SLOPE", 2},
    {316, "TTEST", 4},
    {318, "DEVSQ", -1},
    {319, "GEOMEAN", -1},
    {320, "HARMEAN", -1},
    {321, "SUMSQ", -1},
    {322, "KURT", -1},
    {323, "SKEW", -1},
    {324, "ZTEST", -1},
    {325, "LARGE", 2},
    {326, "SMALL", 2},
    {327, "QUARTILE", 2},
    {328, "PERCENTILE", 2},
    {330, "MODE", -1},
    {331, "TRIMMEAN", 2},
    {332, "TINV", 2},
    {336, "CONCATENATE", -1},
    {337, "POWER", 2},
    {342, "RADIANS", 1},
    {343, "DEGREES", 1},
    {344, "SUBTOTAL", -1},
    {345, "SUMIF", -1},
    {346, "COUNTIF", 2},
    {347, "COUNTBLANK", 1},
    {361, "AVERAGEA", -1},
    {362, "MAXA", -1},
    {363, "MINA", -1},
    {364, "STDEVPA", -1},
    {365, "VARPA", -1},
    {366, "STDEVA", -1},
    {367, "VARA", -1},
};

const BiffFunction* FindBiffFunction(uint16_t id) {
  for (const auto& f : kBiffFunctions)
    if (f.id == id) return &f;
  return nullptr;
}

// Where a formula's references point: the sheet names of the workbook (by BOUNDSHEET position), the
// EXTERNSHEET entries that 3-D references use, and the defined names by position.
struct FormulaContext {
  struct Xti {
    uint16_t book;
    int16_t first, last;
  };
  // A SUPBOOK record: this workbook, or another one with its path and sheet names.
  struct Book {
    bool self = false;
    std::string path;                 // another workbook's file name, with its folder if given
    std::vector<std::string> sheets;  // another workbook's sheet names
  };
  const std::vector<std::string>* sheet_names = nullptr;
  const std::vector<Xti>* xti = nullptr;
  const std::vector<Book>* books = nullptr;
  const std::vector<std::string>* names = nullptr;
  // References to other workbooks are read in defined names only: a cell formula keeps them as link
  // numbers in .xlsx files, which the writer makes for names alone.
  bool other_books = false;
};

// The file name of another workbook as a SUPBOOK record encodes it: a leading 0x01 marks an encoded
// path whose control characters stand for a drive (0x01 and its letter), the root of the current
// drive (0x02), a folder separator (0x03), the parent folder (0x04) and a long volume name (0x05 and
// its length); other control characters (start-up and library folders) have no spelling of their own
// and are dropped. Without the mark the name is the path as it stands.
std::string DecodeVirtualPath(const std::string& raw) {
  if (raw.empty() || raw[0] != '\x01') return raw;
  std::string out;
  for (size_t i = 1; i < raw.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(raw[i]);
    switch (c) {
      case 0x01:
        if (i + 1 < raw.size()) {
          char drive = raw[++i];
          if (drive == '@')
            out += "\\\\";  // a UNC volume follows
          else
            out += std::string(1, drive) + ":\\";
        }
        break;
      case 0x02:
      case 0x03: out += '\\'; break;
      case 0x04: out += "..\\"; break;
      case 0x05:
        if (i + 1 < raw.size()) {
          size_t len = static_cast<unsigned char>(raw[++i]);
          out += raw.substr(i + 1, len);
          i += std::min(len, raw.size() - i - 1);
        }
        break;
      default:
        if (c >= 0x20) out += char(c);
        break;
    }
  }
  return out;
}

// An array constant's values (PtgExtraArray of the extra data after the tokens) as formula text:
// columns separated by ',' and rows by ';'. Advances at; nullopt when the data is short or holds a
// value a constant cannot spell.
std::optional<std::string> DecodeArrayConstant(const uint8_t* p, size_t n, size_t& at) {
  if (at + 3 > n) return std::nullopt;
  size_t cols = size_t(p[at]) + 1, rows = size_t(U16(p + at + 1)) + 1;
  at += 3;
  // Each value takes at least 3 bytes (an empty text), which bounds the count by the data itself.
  if (cols * rows > (n - at) / 3 + 1) return std::nullopt;
  std::string out = "{";
  for (size_t r = 0; r < rows; ++r) {
    for (size_t c = 0; c < cols; ++c) {
      if (c) out += ',';
      if (at >= n) return std::nullopt;
      uint8_t type = p[at++];
      switch (type) {
        case 0x01:
          if (at + 8 > n) return std::nullopt;
          out += FormatNumberLiteral(F64(p + at));
          at += 8;
          break;
        case 0x02: {
          if (at + 3 > n) return std::nullopt;
          size_t cch = U16(p + at);
          bool high = p[at + 2] & 1;
          size_t bytes = cch * (high ? 2 : 1);
          if (at + 3 + bytes > n) return std::nullopt;
          std::string text =
              Segments({std::string_view(reinterpret_cast<const char*>(p + at + 3), bytes)}).Chars(cch, high);
          at += 3 + bytes;
          out += '"';
          for (char ch : text) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
          out += '"';
          break;
        }
        case 0x04:
          if (at + 8 > n) return std::nullopt;
          out += p[at] ? "TRUE" : "FALSE";
          at += 8;
          break;
        case 0x10:
          if (at + 8 > n) return std::nullopt;
          out += ErrorText(BiffError(p[at]));
          at += 8;
          break;
        default: return std::nullopt;  // an empty value: no constant spells it
      }
    }
    if (r + 1 < rows) out += ';';
  }
  return out + "}";
}

// Turns a BIFF8 token stream (reverse Polish) into formula text in A1 style, without '='. The n
// bytes of tokens are followed by extra_n bytes of extra data (the values of array constants). base
// is the cell of the formula, for the relative references of shared formulas. nullopt for a token it
// does not know (external names, add-in functions ...): the cell then keeps only its value.
std::optional<std::string> DecodeBiffFormula(const uint8_t* p, size_t n, size_t extra_n, CellAddress base,
                                             const FormulaContext& ctx) {
  const uint8_t* extra = p + n;
  size_t extra_at = 0;
  const SheetLimits lim = SheetLimits::Classic();
  std::vector<std::string> stack;
  size_t i = 0;
  auto need = [&](size_t k) { return i + k <= n; };
  auto pop = [&]() -> std::optional<std::string> {
    if (stack.empty()) return std::nullopt;
    std::string s = std::move(stack.back());
    stack.pop_back();
    return s;
  };
  auto cell = [&](uint16_t row, uint16_t col_field, bool relative_offsets) -> std::optional<std::string> {
    bool col_rel = col_field & 0x4000, row_rel = col_field & 0x8000;
    int64_t r = row, c = col_field & 0x3FFF;
    if (relative_offsets) {
      if (row_rel) r = int64_t(base.row) + int16_t(row);
      if (col_rel) c = int64_t(base.col) + int8_t(col_field & 0xFF);
    }
    if (r < 0 || c < 0 || r >= int64_t(lim.rows) || c >= int64_t(lim.cols)) return std::nullopt;
    std::string out;
    if (!col_rel) out += '$';
    out += ColumnLetters(uint32_t(c));
    if (!row_rel) out += '$';
    out += std::to_string(r + 1);
    return out;
  };
  auto area = [&](const uint8_t* q, bool relative_offsets) -> std::optional<std::string> {
    uint16_t r1 = U16(q), r2 = U16(q + 2), c1 = U16(q + 4), c2 = U16(q + 6);
    // Whole columns and whole rows are written as such.
    if (!relative_offsets && r1 == 0 && r2 == lim.rows - 1 && (c1 & 0x8000) == 0 && (c2 & 0x8000) == 0) {
      std::string out;
      if (!(c1 & 0x4000)) out += '$';
      out += ColumnLetters(c1 & 0x3FFF);
      out += ':';
      if (!(c2 & 0x4000)) out += '$';
      out += ColumnLetters(c2 & 0x3FFF);
      return out;
    }
    auto a = cell(r1, c1, relative_offsets);
    auto b = cell(r2, c2, relative_offsets);
    if (!a || !b) return std::nullopt;
    return *a + ":" + *b;
  };
  auto sheet_prefix = [&](uint16_t ixti) -> std::optional<std::string> {
    if (!ctx.xti || ixti >= ctx.xti->size()) return std::nullopt;
    const auto& x = (*ctx.xti)[ixti];
    if (!ctx.books || x.book >= ctx.books->size()) return std::nullopt;
    const FormulaContext::Book& book = (*ctx.books)[x.book];
    if (!book.self && (book.path.empty() || !ctx.other_books)) return std::nullopt;  // add-ins, DDE, OLE links
    const auto& names = book.self ? *ctx.sheet_names : book.sheets;
    if (x.first < 0 || x.last < 0 || size_t(x.first) >= names.size() || size_t(x.last) >= names.size())
      return std::nullopt;
    return FormatSheetPrefix(book.self ? std::string_view() : std::string_view(book.path), names[size_t(x.first)],
                             x.first == x.last ? std::string_view() : names[size_t(x.last)]);
  };
  static const char* kBinary[] = {"+", "-", "*", "/", "^", "&", "<", "<=", "=", ">=", ">", "<>", " ", ",", ":"};
  // Each token copies its operands' text: a budget on the text made keeps hostile token streams
  // (thousands of nested parentheses) from taking quadratic time.
  size_t made = 0;
  while (i < n) {
    uint8_t t = p[i++];
    if (stack.size() > 4096) return std::nullopt;
    if (!stack.empty()) made += stack.back().size();
    if (made > (size_t(1) << 20)) return std::nullopt;
    if (t >= 0x03 && t <= 0x11) {
      auto b = pop(), a = pop();
      if (!a || !b) return std::nullopt;
      stack.push_back(*a + kBinary[t - 0x03] + *b);
      continue;
    }
    switch (t) {
      case 0x12:
      case 0x13:
      case 0x14:
      case 0x15: {
        auto a = pop();
        if (!a) return std::nullopt;
        stack.push_back(t == 0x12 ? "+" + *a : t == 0x13 ? "-" + *a : t == 0x14 ? *a + "%" : "(" + *a + ")");
        continue;
      }
      case 0x16: stack.emplace_back(); continue;  // a missing argument
      case 0x17: {                                // string
        if (!need(2)) return std::nullopt;
        uint8_t cch = p[i];
        bool high = p[i + 1] & 1;
        size_t bytes = size_t(cch) * (high ? 2 : 1);
        if (!need(2 + bytes)) return std::nullopt;
        std::string text = ShortString(p + i, 2 + bytes, false);
        i += 2 + bytes;
        std::string quoted = "\"";
        for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        stack.push_back(quoted + "\"");
        continue;
      }
      case 0x19: {  // attributes: spaces, jumps; SUM of one argument
        if (!need(3)) return std::nullopt;
        uint8_t flags = p[i];
        uint16_t data = U16(p + i + 1);
        i += 3;
        if (flags & 0x04) {  // choose: a jump table follows
          if (!need(size_t(data + 1) * 2)) return std::nullopt;
          i += size_t(data + 1) * 2;
        }
        if (flags & 0x10) {
          auto a = pop();
          if (!a) return std::nullopt;
          stack.push_back("SUM(" + *a + ")");
        }
        continue;
      }
      case 0x1C:
        if (!need(1)) return std::nullopt;
        stack.emplace_back(ErrorText(BiffError(p[i++])));
        continue;
      case 0x1D:
        if (!need(1)) return std::nullopt;
        stack.emplace_back(p[i++] ? "TRUE" : "FALSE");
        continue;
      case 0x1E:
        if (!need(2)) return std::nullopt;
        stack.push_back(std::to_string(U16(p + i)));
        i += 2;
        continue;
      case 0x1F:
        if (!need(8)) return std::nullopt;
        stack.push_back(FormatNumberLiteral(F64(p + i)));
        i += 8;
        continue;
      default: break;
    }
    if (t < 0x20 || t >= 0x80) return std::nullopt;
    switch ((t & 0x1F) | 0x20) {  // the same token in its reference, value and array classes
      case 0x21:
      case 0x22: {  // function call
        uint8_t argc = 0;
        if ((t & 0x1F) == 0x02) {
          if (!need(3)) return std::nullopt;
          argc = p[i] & 0x7F;
          ++i;
        } else if (!need(2)) {
          return std::nullopt;
        }
        uint16_t id = U16(p + i) & 0x7FFF;
        i += 2;
        const BiffFunction* f = FindBiffFunction(id);
        if (!f) return std::nullopt;
        if ((t & 0x1F) == 0x01) {
          if (f->args < 0) return std::nullopt;
          argc = uint8_t(f->args);
        }
        if (stack.size() < argc) return std::nullopt;
        std::string call = std::string(f->name) + "(";
        for (size_t k = stack.size() - argc; k < stack.size(); ++k) {
          if (k > stack.size() - argc) call += ',';
          call += stack[k];
        }
        stack.resize(stack.size() - argc);
        stack.push_back(call + ")");
        continue;
      }
      case 0x23: {  // defined name
        if (!need(4)) return std::nullopt;
        uint32_t index = U32(p + i);
        i += 4;
        if (!ctx.names || index == 0 || index > ctx.names->size()) return std::nullopt;
        stack.push_back((*ctx.names)[index - 1]);
        continue;
      }
      case 0x24:
      case 0x2C: {  // cell; in shared formulas relative to the formula's cell
        if (!need(4)) return std::nullopt;
        auto c = cell(U16(p + i), U16(p + i + 2), (t & 0x1F) == 0x0C);
        i += 4;
        if (!c) return std::nullopt;
        stack.push_back(*c);
        continue;
      }
      case 0x25:
      case 0x2D: {  // area
        if (!need(8)) return std::nullopt;
        auto a = area(p + i, (t & 0x1F) == 0x0D);
        i += 8;
        if (!a) return std::nullopt;
        stack.push_back(*a);
        continue;
      }
      case 0x26:
      case 0x27:
      case 0x28:  // the size of a sub-expression that follows
        if (!need(6)) return std::nullopt;
        i += 6;
        continue;
      case 0x29:
        if (!need(2)) return std::nullopt;
        i += 2;
        continue;
      case 0x2A:
        if (!need(4)) return std::nullopt;
        i += 4;
        stack.emplace_back("#REF!");
        continue;
      case 0x2B:
        if (!need(8)) return std::nullopt;
        i += 8;
        stack.emplace_back("#REF!");
        continue;
      case 0x3A: {  // cell on another sheet
        if (!need(6)) return std::nullopt;
        auto prefix = sheet_prefix(U16(p + i));
        auto c = cell(U16(p + i + 2), U16(p + i + 4), false);
        i += 6;
        if (!prefix || !c) return std::nullopt;
        stack.push_back(*prefix + *c);
        continue;
      }
      case 0x3B: {  // area on another sheet
        if (!need(10)) return std::nullopt;
        auto prefix = sheet_prefix(U16(p + i));
        auto a = area(p + i + 2, false);
        i += 10;
        if (!prefix || !a) return std::nullopt;
        stack.push_back(*prefix + *a);
        continue;
      }
      case 0x3C:
      case 0x3D: {
        size_t size = (t & 0x1F) == 0x1C ? 6 : 10;
        if (!need(size)) return std::nullopt;
        auto prefix = sheet_prefix(U16(p + i));
        i += size;
        if (!prefix) return std::nullopt;
        stack.push_back(*prefix + "#REF!");
        continue;
      }
      case 0x20: {  // array constant: its values are in the extra data, in the order of the tokens
        if (!need(7)) return std::nullopt;
        i += 7;
        auto a = DecodeArrayConstant(extra, extra_n, extra_at);
        if (!a) return std::nullopt;
        stack.push_back(std::move(*a));
        continue;
      }
      default: return std::nullopt;  // external names, ...
    }
  }
  if (stack.size() != 1 || stack.back().empty()) return std::nullopt;
  return stack.back();
}

struct SheetInfo {
  std::string name;
  uint32_t offset;
  uint8_t state, kind;
};

class XlsReader {
 public:
  XlsReader(std::span<const uint8_t> bytes, const std::string& name) : bytes_(bytes), name_(name) {}
  std::unique_ptr<Workbook> Read();

 private:
  void ReadGlobals(RecordReader& rr);
  void ReadSheet(RecordReader& rr, Sheet& sheet);
  Color IndexColor(uint32_t icv) const {
    if (icv >= 64) return Color::Auto();
    if (icv >= 8 && palette_.count(icv)) return Color::Rgb(palette_.at(icv));
    return Color::Indexed(icv);
  }
  uint32_t FormatOf(uint16_t ixfe) const { return ixfe < xf_map_.size() ? xf_map_[ixfe] : 0; }
  void CountCell() {
    if (++cells_ > limits::kMaxCells)
      throw FormatError("the workbook holds more than " + std::to_string(limits::kMaxCells) + " cells");
  }

  std::span<const uint8_t> bytes_;
  std::string name_;
  std::unique_ptr<Workbook> book_;
  std::vector<SheetInfo> sheets_;
  std::vector<std::string> sst_;
  std::vector<Font> fonts_;
  std::map<uint16_t, std::string> formats_;
  std::map<uint32_t, uint32_t> palette_;
  struct RawXf {
    uint16_t font, fmt;
    uint8_t align, rot, indent;
    uint32_t b1, b2;
    uint16_t colors;
  };
  std::vector<RawXf> xfs_;
  std::vector<uint32_t> xf_map_;
  uint64_t cells_ = 0;
  bool date_1904_ = false;
  // Formulas: where their references and names point.
  struct RawName {
    std::string name;
    uint16_t sheet;
    bool hidden;
    std::string tokens;
    size_t cce;
  };
  std::vector<RawName> raw_names_;
  std::vector<std::string> name_texts_;   // every name by position, for name tokens
  std::vector<std::string> sheet_names_;  // by BOUNDSHEET position
  std::vector<FormulaContext::Xti> xti_;
  std::vector<FormulaContext::Book> books_;
  // Formula text at cell of a parsed formula: cce bytes of tokens, then their extra data; false (and
  // out empty) when they do not decode. A name's formula may refer to other workbooks.
  bool Decode(std::string_view formula, size_t cce, CellAddress cell, std::string& out, bool name = false) const {
    out.clear();
    cce = std::min(cce, formula.size());
    FormulaContext ctx{&sheet_names_, &xti_, &books_, &name_texts_, name};
    auto text =
        DecodeBiffFormula(reinterpret_cast<const uint8_t*>(formula.data()), cce, formula.size() - cce, cell, ctx);
    if (!text || text->size() > limits::kMaxStringBytes) return false;
    out = std::move(*text);
    return true;
  }
  void ReadNames(const std::map<uint16_t, Sheet*>& by_position);
};

void XlsReader::ReadGlobals(RecordReader& rr) {
  Record r;
  bool first = true;
  while (rr.Next(r)) {
    if (first) {
      if (r.type != 0x0809 || r.size < 4) throw FormatError("the workbook stream does not start with a BOF record");
      if (U16(r.data) != 0x0600) throw FormatError("only BIFF8 .xls files (Excel 97 and later) are supported");
      first = false;
      continue;
    }
    switch (r.type) {
      case 0x000A: return;  // EOF
      case 0x002F: throw FormatError("the workbook is encrypted");
      case 0x0022:  // DATEMODE
        if (r.size >= 2) date_1904_ = U16(r.data) != 0;
        break;
      case 0x0031: {  // FONT
        if (r.size < 15) throw FormatError("truncated FONT record");
        Font f;
        f.size = U16(r.data) / 20.0;
        uint16_t opts = U16(r.data + 2);
        f.italic = opts & 2;
        f.strike = opts & 8;
        f.color = IndexColor(U16(r.data + 4));
        f.bold = U16(r.data + 6) >= 700;
        uint8_t u = r.data[10];
        f.underline = u == 1      ? Underline::Single
                      : u == 2    ? Underline::Double
                      : u == 0x21 ? Underline::SingleAccounting
                      : u == 0x22 ? Underline::DoubleAccounting
                                  : Underline::None;
        f.name = ShortString(r.data + 14, r.size - 14, false);
        if (fonts_.size() < 65536) fonts_.push_back(std::move(f));
        break;
      }
      case 0x041E: {  // FORMAT
        if (r.size < 5) throw FormatError("truncated FORMAT record");
        formats_[U16(r.data)] = ShortString(r.data + 2, r.size - 2, true);
        break;
      }
      case 0x0092: {  // PALETTE
        if (r.size < 2) break;
        uint16_t n = U16(r.data);
        for (uint16_t i = 0; i < n && 2 + 4 * size_t(i) + 4 <= r.size; ++i) {
          const uint8_t* c = r.data + 2 + 4 * i;
          palette_[8 + i] = 0xFF000000u | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
        }
        break;
      }
      case 0x00E0: {  // XF
        if (r.size < 20) throw FormatError("truncated XF record");
        if (xfs_.size() >= limits::kMaxCellFormats) throw FormatError("too many cell formats");
        xfs_.push_back({U16(r.data), U16(r.data + 2), r.data[6], r.data[7], r.data[8], U32(r.data + 10),
                        U32(r.data + 14), U16(r.data + 18)});
        break;
      }
      case 0x0085: {  // BOUNDSHEET8
        if (r.size < 8) throw FormatError("truncated BOUNDSHEET record");
        if (sheets_.size() >= limits::kMaxSheets) throw FormatError("too many sheets");
        sheets_.push_back({ShortString(r.data + 6, r.size - 6, false), U32(r.data), uint8_t(r.data[4] & 3), r.data[5]});
        break;
      }
      case 0x0017: {  // EXTERNSHEET
        if (r.size < 2) break;
        uint16_t n = U16(r.data);
        for (uint16_t k = 0; k < n && 2 + 6 * size_t(k) + 6 <= r.size; ++k) {
          const uint8_t* q = r.data + 2 + 6 * k;
          xti_.push_back({U16(q), int16_t(U16(q + 2)), int16_t(U16(q + 4))});
        }
        break;
      }
      case 0x01AE: {  // SUPBOOK: this workbook itself (usually the first) or another one
        if (books_.size() >= limits::kMaxSheets) throw FormatError("too many SUPBOOK records");
        FormulaContext::Book book;
        if (r.size >= 4 && U16(r.data + 2) == 0x0401) {
          book.self = true;
        } else if (r.size >= 5 && U16(r.data + 2) >= 1 && U16(r.data + 2) <= 0xFF) {
          // Another workbook: its encoded path, then the names of its sheets.
          std::vector<std::string_view> segs{std::string_view(reinterpret_cast<const char*>(r.data), r.size)};
          for (auto c : rr.Continues()) segs.push_back(c);
          Segments seg(std::move(segs));
          try {
            uint16_t sheets = seg.U16v();
            uint16_t cch = seg.U16v();
            bool high = seg.U8() & 1;
            book.path = DecodeVirtualPath(seg.Chars(cch, high));
            for (uint16_t k = 0; k < sheets && k < limits::kMaxSheets; ++k) {
              uint16_t n = seg.U16v();
              bool h = seg.U8() & 1;
              book.sheets.push_back(seg.Chars(n, h));
            }
          } catch (const FormatError&) {
            book.path.clear();  // a damaged record: references to it are not read
            book.sheets.clear();
          }
        }
        books_.push_back(std::move(book));
        break;
      }
      case 0x0018: {  // NAME
        if (r.size < 15) throw FormatError("truncated NAME record");
        if (raw_names_.size() >= limits::kMaxDefinedNames) throw FormatError("too many defined names");
        uint16_t flags = U16(r.data);
        uint8_t cch = r.data[3];
        uint16_t cce = U16(r.data + 4);
        bool high = r.data[14] & 1;
        size_t name_bytes = size_t(cch) * (high ? 2 : 1);
        if (15 + name_bytes > r.size) throw FormatError("truncated NAME record");
        RawName n;
        n.sheet = U16(r.data + 8);
        n.hidden = flags & 1;
        if (flags & 0x20) {  // built-in name: a code
          static const char* kBuiltin[] = {"Consolidate_Area", "Auto_Open",      "Auto_Close",    "Extract",
                                           "Database",         "Criteria",       "Print_Area",    "Print_Titles",
                                           "Recorder",         "Data_Form",      "Auto_Activate", "Auto_Deactivate",
                                           "Sheet_Title",      "_FilterDatabase"};
          uint8_t code = cch ? r.data[15] : 0xFF;
          n.name =
              code < std::size(kBuiltin) ? std::string("_xlnm.") + kBuiltin[code] : "_xlnm.Name" + std::to_string(code);
        } else {
          n.name =
              Segments({std::string_view(reinterpret_cast<const char*>(r.data + 15), name_bytes)}).Chars(cch, high);
        }
        size_t at = 15 + name_bytes;
        n.tokens.assign(reinterpret_cast<const char*>(r.data + at), r.size - at);  // tokens, then their extra data
        n.cce = cce;
        name_texts_.push_back(n.name);
        raw_names_.push_back(std::move(n));
        break;
      }
      case 0x00FC: {  // SST
        std::vector<std::string_view> segs{std::string_view(reinterpret_cast<const char*>(r.data), r.size)};
        for (auto c : rr.Continues()) segs.push_back(c);
        Segments s(std::move(segs));
        s.U32v();
        uint32_t unique = s.U32v();
        if (unique > limits::kMaxSharedStrings) throw FormatError("too many shared strings");
        // The declared count is not trusted for allocation: strings are added as they are read.
        for (uint32_t i = 0; i < unique && !s.AtEnd(); ++i) {
          std::string str = s.RichString();
          if (str.size() > limits::kMaxStringBytes)
            throw FormatError("shared string longer than " + std::to_string(limits::kMaxStringBytes) + " bytes");
          sst_.push_back(std::move(str));
        }
        break;
      }
      default: break;
    }
  }
  throw FormatError("the workbook globals end without an EOF record");
}

void XlsReader::ReadSheet(RecordReader& rr, Sheet& sheet) {
  Record r;
  if (!rr.Next(r) || r.type != 0x0809)
    throw FormatError("sheet \"" + sheet.name() + "\" does not start with a BOF record");
  const SheetLimits lim = sheet.limits();
  // Cells come row by row; a few out of order are taken, but not so many that inserting them into
  // the middle of their columns could take quadratic time.
  CellAddress last{0, 0};
  uint32_t out_of_order = 0;
  auto cell_at = [&](const uint8_t* p) {
    uint16_t row = U16(p), col = U16(p + 2);
    if (row >= lim.rows || col >= lim.cols)
      throw FormatError("cell R" + std::to_string(row + 1) + "C" + std::to_string(col + 1) + " of sheet \"" +
                        sheet.name() + "\" is beyond the sheet limits");
    CellAddress a{row, col};
    if (a < last && ++out_of_order > 1000)
      throw FormatError("the cells of sheet \"" + sheet.name() + "\" are out of order");
    last = a;
    return a;
  };
  auto need = [&](size_t n, const char* what) {
    if (r.size < n) throw FormatError(std::string("truncated ") + what + " record");
  };
  bool has_pending_string = false;  // a FORMULA whose text result follows in STRING
  CellAddress pending_string{};
  std::string pending_formula;                // its formula; empty when none was read
  std::optional<RangeAddress> pending_array;  // the range when that formula is an array formula
  std::map<CellAddress, std::pair<std::string, size_t>>
      shared;                                // shared formulas (tokens and extra data, cce) by first cell
  std::optional<CellAddress> shared_master;  // a first cell whose SHRFMLA should follow
  std::vector<RangeAddress> merges;          // checked against each other at once, at the EOF
  while (rr.Next(r)) {
    // A FORMULA that starts a shared or array formula is followed right away by its tokens' record.
    std::optional<CellAddress> expecting = std::exchange(shared_master, std::nullopt);
    switch (r.type) {
      case 0x000A: sheet.MergeAll(merges); return;
      case 0x0203: {  // NUMBER
        need(14, "NUMBER");
        auto a = cell_at(r.data);
        CountCell();
        double d = F64(r.data + 6);
        if (std::isfinite(d)) sheet.SetNumber(a.row, a.col, d);
        sheet.SetFormat(a.row, a.col, FormatOf(U16(r.data + 4)));
        break;
      }
      case 0x027E: {  // RK
        need(10, "RK");
        auto a = cell_at(r.data);
        CountCell();
        sheet.SetNumber(a.row, a.col, RkValue(U32(r.data + 6)));
        sheet.SetFormat(a.row, a.col, FormatOf(U16(r.data + 4)));
        break;
      }
      case 0x00BD: {  // MULRK
        need(6, "MULRK");
        auto a = cell_at(r.data);
        size_t n = (r.size - 6) / 6;
        for (size_t i = 0; i < n; ++i) {
          if (a.col + i >= lim.cols) throw FormatError("MULRK beyond the sheet limits");
          CountCell();
          const uint8_t* p = r.data + 4 + 6 * i;
          sheet.SetNumber(a.row, uint32_t(a.col + i), RkValue(U32(p + 2)));
          sheet.SetFormat(a.row, uint32_t(a.col + i), FormatOf(U16(p)));
        }
        break;
      }
      case 0x00FD: {  // LABELSST
        need(10, "LABELSST");
        auto a = cell_at(r.data);
        CountCell();
        uint32_t idx = U32(r.data + 6);
        if (idx >= sst_.size())
          throw FormatError("cell " + CellName(a) + " of sheet \"" + sheet.name() + "\" refers to shared string " +
                            std::to_string(idx) + ", which does not exist");
        sheet.SetText(a.row, a.col, sst_[idx]);
        sheet.SetFormat(a.row, a.col, FormatOf(U16(r.data + 4)));
        break;
      }
      case 0x0204: {  // LABEL
        need(9, "LABEL");
        auto a = cell_at(r.data);
        CountCell();
        sheet.SetText(a.row, a.col, ShortString(r.data + 6, r.size - 6, true));
        sheet.SetFormat(a.row, a.col, FormatOf(U16(r.data + 4)));
        break;
      }
      case 0x0205: {  // BOOLERR
        need(8, "BOOLERR");
        auto a = cell_at(r.data);
        CountCell();
        if (r.data[7])
          sheet.SetError(a.row, a.col, BiffError(r.data[6]));
        else
          sheet.SetBoolean(a.row, a.col, r.data[6] != 0);
        sheet.SetFormat(a.row, a.col, FormatOf(U16(r.data + 4)));
        break;
      }
      case 0x0201: {  // BLANK
        need(6, "BLANK");
        auto a = cell_at(r.data);
        sheet.SetFormat(a.row, a.col, FormatOf(U16(r.data + 4)));
        break;
      }
      case 0x00BE: {  // MULBLANK
        need(6, "MULBLANK");
        auto a = cell_at(r.data);
        size_t n = (r.size - 6) / 2;
        for (size_t i = 0; i < n && a.col + i < lim.cols; ++i)
          sheet.SetFormat(a.row, uint32_t(a.col + i), FormatOf(U16(r.data + 4 + 2 * i)));
        break;
      }
      case 0x0006: {  // FORMULA: the cached result and the formula
        need(22, "FORMULA");
        auto a = cell_at(r.data);
        CountCell();
        const uint8_t* v = r.data + 6;
        Value value;
        bool text_follows = false;
        if (U16(v + 6) == 0xFFFF) {
          switch (v[0]) {
            case 0: text_follows = true; break;
            case 1: value = Value::Boolean(v[2] != 0); break;
            case 2: value = Value::Error(BiffError(v[2])); break;
            case 3: value = Value::Text(""); break;
          }
        } else {
          double d = F64(v);
          if (std::isfinite(d)) value = Value::Number(d);
        }
        size_t cce = std::min<size_t>(U16(r.data + 20), r.size - 22);
        const uint8_t* tokens = r.data + 22;
        std::string_view parsed(reinterpret_cast<const char*>(tokens), r.size - 22);  // tokens and extra data
        std::string formula;
        if (cce >= 5 && tokens[0] == 0x01) {
          // Part of a shared formula, whose tokens come in the SHRFMLA record after its first cell.
          CellAddress master{U16(tokens + 1), U16(tokens + 3)};
          if (auto it = shared.find(master); it != shared.end())
            Decode(it->second.first, it->second.second, a, formula);
          else if (a == master)
            shared_master = a;
        } else {
          Decode(parsed, cce, a, formula);
        }
        if (text_follows) {
          pending_string = a;
          pending_array.reset();
          pending_formula = formula;
          has_pending_string = true;
        } else if (!formula.empty()) {
          sheet.SetFormula(a.row, a.col, formula, value);
        } else if (value.type != ValueType::Empty) {
          sheet.SetValue(a.row, a.col, value);
        }
        sheet.SetFormat(a.row, a.col, FormatOf(U16(r.data + 4)));
        break;
      }
      case 0x04BC: {  // SHRFMLA: the tokens of a shared formula, after the first cell using it
        need(10, "SHRFMLA");
        if (!expecting || shared.size() >= 100000) break;
        size_t cce = std::min<size_t>(U16(r.data + 8), r.size - 10);
        std::string tokens(reinterpret_cast<const char*>(r.data + 10), r.size - 10);
        CellAddress master = *expecting;
        shared[master] = {tokens, cce};
        // The first cell came before its tokens; its text result, if any, is still to come.
        std::string formula;
        if (!Decode(tokens, cce, master, formula)) break;
        if (has_pending_string && pending_string == master)
          pending_formula = formula;
        else
          sheet.SetFormula(master.row, master.col, formula, sheet.GetValue(master.row, master.col));
        break;
      }
      case 0x0221: {  // ARRAY: an array formula over a range, after the FORMULA of its first cell
        need(14, "ARRAY");
        if (!expecting) break;
        RangeAddress range{{U16(r.data), r.data[4]}, {U16(r.data + 2), r.data[5]}};
        if (range.first != *expecting || range.last.row < range.first.row || range.last.col < range.first.col ||
            range.last.row >= lim.rows || range.last.col >= lim.cols)
          break;
        size_t cce = std::min<size_t>(U16(r.data + 12), r.size - 14);
        std::string formula;
        if (!Decode(std::string_view(reinterpret_cast<const char*>(r.data + 14), r.size - 14), cce, range.first,
                    formula))
          break;
        if (has_pending_string && pending_string == range.first) {
          pending_formula = formula;  // a text result: set with the STRING record that follows
          pending_array = range;
          break;
        }
        try {
          sheet.SetArrayFormula(range, formula, sheet.GetValue(range.first.row, range.first.col));
        } catch (const ModelError&) {
          // overlapping another array formula: the cells keep their values
        }
        break;
      }
      case 0x0207: {  // STRING: text result of the formula before it
        if (has_pending_string) {
          std::vector<std::string_view> segs{std::string_view(reinterpret_cast<const char*>(r.data), r.size)};
          for (auto c : rr.Continues()) segs.push_back(c);
          Segments s(std::move(segs));
          uint16_t cch = s.U16v();
          bool high = s.U8() & 1;
          std::string text = s.Chars(cch, high);
          if (text.size() > limits::kMaxStringBytes) throw FormatError("formula result longer than a cell can hold");
          if (pending_array) {
            try {
              sheet.SetArrayFormula(*pending_array, pending_formula, Value::Text(text));
            } catch (const ModelError&) {
              sheet.SetText(pending_string.row, pending_string.col, text);
            }
          } else if (!pending_formula.empty()) {
            sheet.SetFormula(pending_string.row, pending_string.col, pending_formula, Value::Text(text));
          } else {
            sheet.SetText(pending_string.row, pending_string.col, text);
          }
          has_pending_string = false;
          pending_formula.clear();
          pending_array.reset();
        }
        break;
      }
      case 0x00E5: {  // MERGEDCELLS
        need(2, "MERGEDCELLS");
        uint16_t n = U16(r.data);
        for (uint16_t i = 0; i < n && 2 + 8 * size_t(i) + 8 <= r.size; ++i) {
          const uint8_t* p = r.data + 2 + 8 * i;
          uint16_t r1 = U16(p), r2 = U16(p + 2), c1 = U16(p + 4), c2 = U16(p + 6);
          if (r2 < r1 || c2 < c1 || r2 >= lim.rows || c2 >= lim.cols) throw FormatError("invalid merged area");
          RangeAddress m{{r1, c1}, {r2, c2}};
          if (m.IsSingleCell()) continue;
          if (merges.size() >= limits::kMaxMergedAreas) throw FormatError("too many merged areas");
          merges.push_back(m);
        }
        break;
      }
      case 0x0208: {  // ROW
        need(16, "ROW");
        uint16_t row = U16(r.data);
        if (row >= lim.rows) throw FormatError("row beyond the sheet limits");
        uint16_t height = U16(r.data + 6);
        uint32_t flags = U32(r.data + 12);
        RowInfo info;
        info.outline_level = uint8_t(flags & 7);
        info.collapsed = flags & 0x10;
        info.hidden = flags & 0x20;
        if (flags & 0x40) info.height = (height & 0x7FFF) / 20.0;
        if (flags & 0x80) {
          uint16_t ixfe = uint16_t((flags >> 16) & 0x0FFF);
          if (ixfe < xf_map_.size() && xf_map_[ixfe] != 0) info.format = xf_map_[ixfe];
        }
        if (!(info == RowInfo{})) sheet.SetRow(row, info);
        break;
      }
      case 0x007D: {  // COLINFO
        need(10, "COLINFO");
        uint16_t first = U16(r.data), last = U16(r.data + 2);
        if (first > last || first >= lim.cols) break;
        last = uint16_t(std::min<uint32_t>(last, lim.cols - 1));
        ColumnInfo info;
        info.width = U16(r.data + 4) / 256.0;
        uint16_t ixfe = U16(r.data + 6), flags = U16(r.data + 8);
        info.hidden = flags & 1;
        info.outline_level = uint8_t((flags >> 8) & 7);
        info.collapsed = flags & 0x1000;
        if (ixfe < xf_map_.size() && xf_map_[ixfe] != 0 && ixfe != 15) info.format = xf_map_[ixfe];
        sheet.SetColumns(first, last, info);
        break;
      }
      case 0x023E: {  // WINDOW2
        need(10, "WINDOW2");
        uint16_t g = U16(r.data);
        SheetView& v = sheet.view();
        v.gridlines = g & 0x2;
        v.headings = g & 0x4;
        v.zero_values = g & 0x10;
        v.outline_symbols = g & 0x80;
        v.selected = g & 0x200;
        v.page_break_preview = g & 0x800;
        uint16_t top = U16(r.data + 2), left = U16(r.data + 4);
        if (top < lim.rows && left < lim.cols) v.top_left = {top, left};
        break;
      }
      case 0x00A0: {  // SCL
        need(4, "SCL");
        uint16_t num = U16(r.data), den = U16(r.data + 2);
        if (den) sheet.view().zoom = std::clamp<uint32_t>(uint32_t(num * 100 / den), 10, 400);
        break;
      }
      case 0x00A1: {  // SETUP
        need(12, "SETUP");
        uint16_t flags = U16(r.data + 10);
        if (!(flags & 4)) {  // fNoPls: the printer values are not set
          sheet.page_setup().paper_size = U16(r.data);
          sheet.page_setup().scale = U16(r.data + 2);
          sheet.page_setup().orientation = (flags & 2) ? Orientation::Portrait : Orientation::Landscape;
        }
        break;
      }
      case 0x001D: {  // SELECTION
        need(9, "SELECTION");
        uint16_t row = U16(r.data + 1), col = U16(r.data + 3);
        if (row < lim.rows && col < lim.cols) sheet.view().active_cell = {row, col};
        break;
      }
      case 0x0809: {  // an embedded substream (a chart): skip to its EOF
        int depth = 1;
        while (depth > 0 && rr.Next(r)) {
          if (r.type == 0x0809)
            ++depth;
          else if (r.type == 0x000A)
            --depth;
        }
        break;
      }
      default: break;
    }
  }
  throw FormatError("sheet \"" + sheet.name() + "\" ends without an EOF record");
}

// Defined names whose formulas decode; the others (external references, array constants, macro
// functions) are left out. A name of a sheet that is not read is left out with it.
void XlsReader::ReadNames(const std::map<uint16_t, Sheet*>& by_position) {
  for (const auto& raw : raw_names_) {
    if (raw.name.empty() || raw.name.size() > kMaxDefinedNameBytes) continue;
    std::string text;
    if (!Decode(raw.tokens, raw.cce, {}, text, true)) continue;
    NameTable* table = &book_->names();
    if (raw.sheet != 0) {
      auto it = by_position.find(uint16_t(raw.sheet - 1));
      if (it == by_position.end()) continue;
      table = &it->second->names();
    }
    DefinedName name;
    name.name = raw.name;
    name.hidden = raw.hidden;
    name.SetRefersTo(text, book_->limits());
    table->Put(std::move(name));
  }
}

std::unique_ptr<Workbook> XlsReader::Read() {
  CompoundFile cf(bytes_);
  auto stream = cf.Stream("Workbook");
  if (!stream) {
    if (cf.Stream("Book")) throw FormatError("only BIFF8 .xls files (Excel 97 and later) are supported");
    throw FormatError("the compound file holds no workbook stream");
  }
  RecordReader rr(*stream);
  ReadGlobals(rr);
  book_ = std::make_unique<Workbook>(name_, SheetLimits::Classic());
  book_->set_format(FileFormat::Xls);
  book_->set_date_1904(date_1904_);
  // Cell formats.
  std::vector<CellFormat> formats;
  for (const auto& x : xfs_) {
    CellFormat f;
    uint16_t fi = x.font >= 4 ? uint16_t(x.font - 1) : x.font;
    if (fi < fonts_.size()) f.font = fonts_[fi];
    if (auto it = formats_.find(x.fmt); it != formats_.end())
      f.number_format = it->second;
    else if (auto b = BuiltinNumberFormat(x.fmt))
      f.number_format = std::string(*b);
    f.horizontal = HorizontalAlignment(std::min<uint8_t>(x.align & 7, 7));
    f.wrap_text = x.align & 8;
    uint8_t vert = (x.align >> 4) & 7;
    f.vertical = vert == 0   ? VerticalAlignment::Top
                 : vert == 1 ? VerticalAlignment::Center
                 : vert == 2 ? VerticalAlignment::Bottom
                 : vert == 3 ? VerticalAlignment::Justify
                             : VerticalAlignment::Distributed;
    f.rotation = x.rot;
    f.indent = x.indent & 15;
    auto style = [](uint32_t v) { return BorderStyle(std::min<uint32_t>(v & 15, 13)); };
    f.borders.left = {style(x.b1), IndexColor((x.b1 >> 16) & 0x7F)};
    f.borders.right = {style(x.b1 >> 4), IndexColor((x.b1 >> 23) & 0x7F)};
    f.borders.top = {style(x.b1 >> 8), IndexColor(x.b2 & 0x7F)};
    f.borders.bottom = {style(x.b1 >> 12), IndexColor((x.b2 >> 7) & 0x7F)};
    for (BorderLine* l : {&f.borders.left, &f.borders.right, &f.borders.top, &f.borders.bottom})
      if (l->style == BorderStyle::None) l->color = Color::Auto();
    uint32_t fls = (x.b2 >> 26) & 0x3F;
    f.fill.pattern = FillPattern(std::min<uint32_t>(fls, 18));
    if (f.fill.pattern != FillPattern::None) {
      f.fill.foreground = IndexColor(x.colors & 0x7F);
      f.fill.background = IndexColor((x.colors >> 7) & 0x7F);
    }
    formats.push_back(std::move(f));
  }
  // XF 15 is the default cell format of BIFF8 files (0-14 are cell styles).
  if (formats.size() > 15) book_->formats() = FormatTable(formats[15]);
  for (const auto& f : formats) xf_map_.push_back(book_->formats().Intern(f));
  if (formats.size() > 15)
    for (auto& m : xf_map_)
      if (m == xf_map_[15]) m = 0;

  for (const auto& info : sheets_) sheet_names_.push_back(info.name);
  std::map<uint16_t, Sheet*> by_position;
  std::set<uint32_t> offsets;
  for (size_t position = 0; position < sheets_.size(); ++position) {
    const SheetInfo& info = sheets_[position];
    if (info.kind != 0 && info.kind != 1) continue;  // charts, VB modules: not read
    Sheet* sheet;
    try {
      sheet = &book_->AddSheet(info.name);
    } catch (const ModelError& e) {
      throw FormatError(e.what());
    }
    sheet->set_visibility(info.state == 1   ? SheetVisibility::Hidden
                          : info.state == 2 ? SheetVisibility::VeryHidden
                                            : SheetVisibility::Visible);
    if (info.offset >= stream->size()) throw FormatError("sheet \"" + info.name + "\" lies beyond the workbook stream");
    // Each sheet has its own substream: one read for several sheets would multiply the work by them.
    if (!offsets.insert(info.offset).second)
      throw FormatError("sheet \"" + info.name + "\" shares its substream with another sheet");
    rr.Seek(info.offset);
    try {
      ReadSheet(rr, *sheet);
    } catch (const ModelError& e) {
      throw FormatError(std::string(e.what()) + " in sheet \"" + info.name + "\"");
    }
    by_position[uint16_t(position)] = sheet;
  }
  ReadNames(by_position);
  if (book_->sheet_count() == 0) throw FormatError("the workbook holds no worksheet");
  for (size_t i = 0; i < book_->sheet_count(); ++i)
    if (book_->sheet(i).view().selected) {
      book_->set_active_sheet(i);
      break;
    }
  return std::move(book_);
}

}  // namespace

std::unique_ptr<Workbook> ReadXls(std::span<const uint8_t> bytes, const std::string& name) {
  XlsReader reader(bytes, name);
  return reader.Read();
}

}  // namespace sheets
