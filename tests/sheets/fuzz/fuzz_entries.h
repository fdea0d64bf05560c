// The fuzzed operations, shared by the libFuzzer targets and the regression test that replays the
// seed corpus and every crash found.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sheets::fuzz {

// Reads bytes as an xlsx package; when that succeeds, writes the workbook and reads it back, which
// must succeed. Returns false when the bytes were refused (cleanly).
bool XlsxOne(const uint8_t* data, size_t size);
// Reads bytes as an xls file; when that succeeds, writes it as xlsx and reads that back.
bool XlsOne(const uint8_t* data, size_t size);
// Reads bytes as CSV.
bool CsvOne(const uint8_t* data, size_t size);
// Parses bytes as XML with the streaming parser of sheets (in whole and in small pieces) and with
// the general parser: whatever the general parser reads, the streaming one must read to the same
// tree. Returns false when the general parser refused the bytes.
bool XmlOne(const uint8_t* data, size_t size);

}  // namespace sheets::fuzz
