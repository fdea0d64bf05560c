// Bounds that protect the file readers against hostile or broken input.
//
// Every reader checks its input against these, and refuses the file with a FileError naming the file
// and the bound when one is exceeded. A bound is on what is actually read (bytes inflated, cells
// stored), never on what a file declares about itself: declared sizes, dimensions and counts are used
// only to refuse early, never to allocate.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sheets::limits {

// Largest workbook file read at all. Files are read into memory whole; 2 GiB is far beyond any
// workbook of a million-row sheet (a 1,048,576 x 16,384 sheet cannot be filled anyway).
inline constexpr uint64_t kMaxFileBytes = uint64_t(2) << 30;

// Entries in a zip container. A workbook has a few parts per sheet; 100,000 entries allows ~20,000
// sheets with drawings and comments while keeping the central directory walk small.
inline constexpr uint32_t kMaxZipEntries = 100000;

// Longest entry name in a zip container (the format allows 65,535; part names are short paths).
inline constexpr uint32_t kMaxZipNameBytes = 1024;

// Largest uncompressed size of one part. The sheet XML of a million cells of text is about 60 MB;
// 1 GiB leaves room for the largest real workbooks and refuses a "10 GB" part at once.
inline constexpr uint64_t kMaxPartBytes = uint64_t(1) << 30;

// Largest uncompressed size of all parts together.
inline constexpr uint64_t kMaxTotalBytes = uint64_t(4) << 30;

// Smallest compressed/uncompressed ratio accepted once a part has inflated beyond the grace size
// below. Deflate tops out near 1:1032, so only a bomb comes near it; spreadsheet XML, even of a sheet
// of empty formatted cells, stays above 1:300.
inline constexpr uint64_t kMinInflateRatioDenominator = 500;  // ratio 1:500
inline constexpr uint64_t kInflateRatioGraceBytes = uint64_t(4) << 20;

// Nesting depth of XML elements. SpreadsheetML nests about a dozen deep (charts twenty); a deeper
// document is built to exhaust the parser's stack or our trees.
inline constexpr uint32_t kMaxXmlDepth = 256;

// Attributes on one XML element (the widest in SpreadsheetML have about 30).
inline constexpr uint32_t kMaxXmlAttributes = 512;

// Bytes of text in one XML text node or attribute kept by a reader (cell text is further bounded by
// kMaxStringBytes). Formula text and rich text runs stay far below.
inline constexpr size_t kMaxXmlTextBytes = size_t(1) << 20;

// Longest single token (a tag with its attributes, a comment, a run of text between tags) the
// streaming parser of sheets and shared strings holds while it waits for the token's end. A cell's
// text and formula stay far below; only a built file comes near.
inline constexpr size_t kMaxXmlTokenBytes = size_t(16) << 20;

// Bytes of XML kept as a tree for one part that is not streamed (workbook, styles, drawings, charts,
// preserved elements of sheets). Parts beyond this are refused rather than held in memory.
inline constexpr uint64_t kMaxTreePartBytes = uint64_t(256) << 20;

// Cells in one workbook (all sheets). At 24 bytes a cell this is about 1.2 GB of cell store.
inline constexpr uint64_t kMaxCells = 50000000;

// Longest text of a cell or shared string, in bytes (UTF-8): what a cell can hold.
inline constexpr size_t kMaxStringBytes = 32767;

// Shared strings in one workbook: one per cell at most, so the same as the cells.
inline constexpr uint64_t kMaxSharedStrings = kMaxCells;

// Sheets in one workbook (a user may make thousands; a bomb makes millions). Each sheet, drawing and
// chart has a part (an .xls sheet a substream) of its own: one part read for many sheets would
// multiply the reading by them, so a part shared that way is refused.

inline constexpr uint32_t kMaxSheets = 10000;

// Cell formats (xf records) in one workbook. The xlsx format allows 64,000 distinct formats.
inline constexpr uint32_t kMaxCellFormats = 65536;

// Defined names in one workbook.
inline constexpr uint32_t kMaxDefinedNames = 100000;

// Drawing objects on one sheet, series in one chart.
inline constexpr uint32_t kMaxDrawingObjects = 10000;
inline constexpr uint32_t kMaxChartSeries = 1024;
// Views of one sheet (one per workbook window) and workbook windows.
inline constexpr uint32_t kMaxSheetViews = 1000;

// Formula text made by copying shared formulas into the cells that share them, per sheet: at most
// the grace below plus this many times the bytes of the sheet part read so far. A cell sharing a
// formula costs about 30 bytes of XML, so real sheets (formulas of tens of characters) stay far
// below; a long formula shared by 100,000 cells would otherwise be copied into gigabytes.
inline constexpr uint64_t kMaxSharedFormulaTextRatio = 16;
inline constexpr uint64_t kSharedFormulaGraceBytes = uint64_t(1) << 20;

// Merged areas on one sheet. They are checked against each other by a sweep (n log n).
inline constexpr uint32_t kMaxMergedAreas = 1000000;

// BIFF8 records carry at most 8,224 bytes of data; a longer record length is corruption.
inline constexpr uint32_t kMaxBiffRecordBytes = 8224;

// Compound-file (the container of .xls): sectors in the file and the length of any sector chain.
// A chain longer than the file has sectors is a loop.
inline constexpr uint32_t kMaxCfbSectors = uint32_t(kMaxFileBytes / 512);
inline constexpr uint32_t kMaxCfbDirectoryEntries = 65536;

// CSV: fields in one record and bytes in one field.
inline constexpr uint32_t kMaxCsvFields = 16384;
inline constexpr size_t kMaxCsvFieldBytes = kMaxStringBytes;

static_assert(kMaxPartBytes <= kMaxTotalBytes, "a part cannot be larger than the whole");
static_assert(kMaxStringBytes == 32767, "the cell text limit of the spreadsheet format");
static_assert(kMaxBiffRecordBytes == 8224, "BIFF8 record data limit");
static_assert(kMinInflateRatioDenominator >= 100 && kMinInflateRatioDenominator < 1032,
              "between what real XML reaches and what deflate can reach");
static_assert(kMaxXmlDepth >= 64, "charts nest deeply");
static_assert(kMaxTreePartBytes <= kMaxPartBytes, "trees are parts");

}  // namespace sheets::limits
