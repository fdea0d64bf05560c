// Renders values through number format codes, as a spreadsheet cell shows them: General, fixed
// decimals (0.00), thousands separators (#,##0), scaling by thousands (0.0,), percent (0%), scientific
// (0.00E+00), fractions (# ?/?), dates and times (d-mmm-yy, yyyy-mm-dd hh:mm:ss, [h]:mm, AM/PM),
// literal text ("kg", \x, _x), text sections (@), and up to four sections (positive;negative;zero;
// text) with [Red]-style colours and [>=100] conditions. Numbers are written in the C locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sheets/model/value.h"

namespace sheets {

// The text a cell holding value shows under format code (no column width: General uses up to 11
// characters as a standard column does).
std::string FormatValue(const Value& value, std::string_view code);
std::string FormatNumber(double number, std::string_view code);

// General format of a number: up to 11 characters, scientific for very large or small magnitudes.
std::string FormatGeneral(double number);

// Date parts of a serial number in the 1900 date system (serial 1 = 1900-01-01; serial 60 is the
// 29 February 1900 that system counts). nullopt for serials before 0 or after 9999-12-31.
struct DateParts {
  int year, month, day, hour, minute, second;
  double fraction_of_second;
  int weekday;  // 0 = Sunday
};
std::optional<DateParts> SerialToDate(double serial);
// Serial number of a date in the 1900 date system.
double DateToSerial(int year, int month, int day);

// True when the code shows numbers as dates or times.
bool IsDateFormat(std::string_view code);

}  // namespace sheets
