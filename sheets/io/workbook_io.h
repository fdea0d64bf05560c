// Reading and saving workbook files.
//
//   auto book = sheets::ReadWorkbook("data.xlsx");          // .xlsx .xlsm .xltx .xltm .xls .csv
//   book->sheet(0).SetNumber(0, 0, 42);
//   sheets::SaveWorkbook(*book, "data.xlsx");                // atomic; .xls and .csv become .xlsx
//
// The format is recognised from the bytes, never from the file name. Every failure is a FileError
// whose message names the file and the problem ("data.xlsx: malformed XML (...) in xl/worksheets/
// sheet1.xml").
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "sheets/io/file_error.h"
#include "sheets/model/workbook.h"

namespace sheets {

struct ReadOptions {
  // Grid of sheets read from formats that do not fix one themselves (CSV). xlsx packages are read
  // into the large grid (1,048,576 x 16,384), xls files into the classic one (65,536 x 256).
  SheetLimits text_limits = SheetLimits::Classic();
  // Keep unmodelled parts and elements for saving (off for viewing only, which saves memory).
  bool preserve = true;
};

// What the bytes are: Xlsx for any zip package (the package's main content type refines it to Xlsm,
// Xltx or Xltm when read), Xls for a compound file, Csv for text; None for anything else.
FileFormat DetectFormat(std::span<const uint8_t> bytes);

std::unique_ptr<Workbook> ReadWorkbook(const std::string& path, const ReadOptions& options = {});
// display_name is used in messages and as the workbook's name.
std::unique_ptr<Workbook> ReadWorkbookBytes(std::span<const uint8_t> bytes, const std::string& display_name,
                                            const ReadOptions& options = {});

// Opens a template (or any workbook file) as a new untitled workbook called name ("Book2"): it has
// no path, so saving it needs one, and the template file is never overwritten by accident.
std::unique_ptr<Workbook> NewWorkbookFromTemplate(const std::string& path, const std::string& name,
                                                  const ReadOptions& options = {});

// The format a save to this path writes: from the extension (.xlsx .xlsm .xltx .xltm); anything else
// is written as .xlsx.
FileFormat SaveFormatForPath(const std::string& path);

// Saves atomically: a temporary file in the target folder, flushed, then renamed over the target. On
// failure the old file is untouched, the temporary file removed, and a FileError thrown. On success
// the workbook's path, name and format become those of the file and it is no longer dirty.
void SaveWorkbook(Workbook& book, const std::string& path);
void SaveWorkbook(Workbook& book, const std::string& path, FileFormat format);

// The package bytes of the workbook as format (Xlsx, Xlsm, Xltx or Xltm).
std::string WriteXlsxBytes(const Workbook& book, FileFormat format = FileFormat::Xlsx);

class ByteSink;
// Writes the package to sink (the save and the memory writer both go through this). External
// workbooks that names refer to by path are linked relative to link_folder, the folder of the file
// written (empty: as they are).
void WriteXlsxPackage(const Workbook& book, FileFormat format, ByteSink& sink, const std::string& link_folder = {});

// Individual readers, for tests and fuzz targets; they throw FormatError (no file name).
std::unique_ptr<Workbook> ReadXlsx(std::span<const uint8_t> bytes, const std::string& name, bool preserve);
std::unique_ptr<Workbook> ReadXls(std::span<const uint8_t> bytes, const std::string& name);
std::unique_ptr<Workbook> ReadCsv(std::span<const uint8_t> bytes, const std::string& name, const SheetLimits& limits);

}  // namespace sheets
