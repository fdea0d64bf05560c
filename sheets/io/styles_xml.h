// The styles part (xl/styles.xml): cell formats in, cell formats out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sheets/io/preserved.h"
#include "sheets/io/xml.h"
#include "sheets/model/workbook.h"

namespace sheets {

// Reads cellXfs into the workbook's format table (xf 0 becomes the default format) and returns the
// format index of each xf. Unmodelled elements go to keep when it is given. Throws FormatError for
// references to missing fonts, fills, borders or number formats.
std::vector<uint32_t> ReadStylesXml(const XmlNode& root, Workbook& book, PackagePreserved* keep);

// Writes the styles part: one xf per entry of the format table, in order, so that a cell's format
// index is its style index.
std::string WriteStylesXml(const Workbook& book, const PackagePreserved* keep);

// Colours as SpreadsheetML writes them (<color rgb="FFFF0000"/>).
Color ReadColorXml(const XmlNode* node);

}  // namespace sheets
