// Package plumbing shared by the xlsx reader and writer: part names, relationship parts, content
// types and the relationship type URIs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sheets/io/preserved.h"

namespace sheets::opc {

// Relationship type suffixes (the part after the last '/'), the same in transitional and strict files.
inline constexpr std::string_view kOfficeDocument = "officeDocument";
inline constexpr std::string_view kWorksheet = "worksheet";
inline constexpr std::string_view kChartsheet = "chartsheet";
inline constexpr std::string_view kStyles = "styles";
inline constexpr std::string_view kSharedStrings = "sharedStrings";
inline constexpr std::string_view kCalcChain = "calcChain";
inline constexpr std::string_view kDrawing = "drawing";
inline constexpr std::string_view kChart = "chart";
inline constexpr std::string_view kChartUserShapes = "chartUserShapes";

inline constexpr std::string_view kRelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// True when the relationship type ends with "/suffix".
bool TypeIs(std::string_view type, std::string_view suffix);

// "xl/worksheets/sheet1.xml" -> "xl/worksheets/_rels/sheet1.xml.rels"
std::string RelsPartName(std::string_view part);
// Resolves a relationship target against the part that holds it; "" when it leaves the package.
std::string ResolveTarget(std::string_view source_part, std::string_view target);
// The target written relative to the source part's folder ("../drawings/drawing1.xml").
std::string RelativeTarget(std::string_view source_part, std::string_view target_part);

// Writes a relationships part.
std::string WriteRels(const std::vector<PreservedRel>& rels);

}  // namespace sheets::opc
