#include "sheets/numfmt/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sheets/model/constant.h"

namespace sheets {

namespace {

constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
bool IsAsciiAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Splits a code into sections at ';' outside quotes, brackets and escapes.
std::vector<std::string_view> Sections(std::string_view code) {
  std::vector<std::string_view> out;
  size_t start = 0;
  bool quoted = false;
  int bracket = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (quoted) {
      if (c == '"') quoted = false;
      continue;
    }
    if (c == '"')
      quoted = true;
    else if (c == '\\' || c == '_' || c == '*')
      ++i;
    else if (c == '[')
      ++bracket;
    else if (c == ']')
      --bracket;
    else if (c == ';' && bracket <= 0) {
      out.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(code.substr(start));
  return out;
}

struct Condition {
  bool present = false;
  std::string op;
  double value = 0;
  bool Holds(double x) const {
    if (op == "<") return x < value;
    if (op == "<=") return x <= value;
    if (op == ">") return x > value;
    if (op == ">=") return x >= value;
    if (op == "=") return x == value;
    if (op == "<>") return x != value;
    return true;
  }
};

// Removes [Red], [$-409], [>100] and so on from a section; keeps [h] [mm] [ss] and turns
// [$EUR-407] into the literal currency text.
std::string StripBrackets(std::string_view s, Condition* cond) {
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quoted) {
      out += c;
      if (c == '"') quoted = false;
      continue;
    }
    if (c == '"') {
      quoted = true;
      out += c;
      continue;
    }
    if (c == '\\' && i + 1 < s.size()) {
      out += c;
      out += s[++i];
      continue;
    }
    if (c == '[') {
      size_t close = s.find(']', i);
      if (close == std::string_view::npos) {
        out += c;
        continue;
      }
      std::string_view inner = s.substr(i + 1, close - i - 1);
      std::string lower;
      for (char x : inner) lower += Lower(x);
      if (lower == "h" || lower == "hh" || lower == "m" || lower == "mm" || lower == "s" || lower == "ss") {
        out += '[';
        out += inner;
        out += ']';
      } else if (!inner.empty() && inner[0] == '$') {
        std::string_view sym =
            inner.substr(1, inner.find('-') == std::string_view::npos ? std::string_view::npos : inner.find('-') - 1);
        if (!sym.empty()) {
          out += '"';
          out += sym;
          out += '"';
        }
      } else if (!inner.empty() && (inner[0] == '<' || inner[0] == '>' || inner[0] == '=') && cond) {
        size_t k = 0;
        while (k < inner.size() && (inner[k] == '<' || inner[k] == '>' || inner[k] == '=')) ++k;
        cond->present = true;
        cond->op = std::string(inner.substr(0, k));
        cond->value = ParseNumberText(inner.substr(k)).value_or(0);
      }
      i = close;
      continue;
    }
    out += c;
  }
  return out;
}

bool HasDateTokens(std::string_view s) {
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quoted) {
      if (c == '"') quoted = false;
      continue;
    }
    if (c == '"') {
      quoted = true;
      continue;
    }
    if (c == '\\' || c == '_' || c == '*') {
      ++i;
      continue;
    }
    char l = Lower(c);
    if (l == 'y' || l == 'd' || l == 'h' || l == 's' || l == 'm') return true;
    if (c == '[' && i + 1 < s.size() && (Lower(s[i + 1]) == 'h' || Lower(s[i + 1]) == 'm' || Lower(s[i + 1]) == 's'))
      return true;
  }
  return false;
}

bool IsGeneral(std::string_view s) {
  std::string l;
  for (char c : s) l += Lower(c);
  return l.find("general") != std::string::npos;
}

std::string TwoDigits(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

std::string FormatDate(double serial, std::string_view s) {
  // Rounding to the displayed precision of seconds happens first, as a spreadsheet does.
  int sub_digits = 0;
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if ((s[i] == 's' || s[i] == 'S') && s[i + 1] == '.') {
      size_t k = i + 2;
      while (k < s.size() && s[k] == '0') {
        ++sub_digits;
        ++k;
      }
    }
  double scale = std::pow(10.0, sub_digits);
  double rounded = std::round(serial * 86400.0 * scale) / (86400.0 * scale);
  auto parts = SerialToDate(rounded);
  if (!parts) return std::string(std::max<size_t>(1, 11), '#');
  bool ampm = false;
  {
    std::string l;
    for (char c : s) l += Lower(c);
    ampm = l.find("am/pm") != std::string::npos || l.find("a/p") != std::string::npos;
  }
  std::string out;
  bool quoted = false;
  char last_hm = 0;  // 'h' after an hour token, so that m means minutes
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quoted) {
      if (c == '"')
        quoted = false;
      else
        out += c;
      continue;
    }
    if (c == '"') {
      quoted = true;
      continue;
    }
    if (c == '\\' && i + 1 < s.size()) {
      out += s[++i];
      continue;
    }
    if (c == '_' && i + 1 < s.size()) {
      ++i;
      out += ' ';
      continue;
    }
    if (c == '*' && i + 1 < s.size()) {
      ++i;
      continue;
    }
    size_t run = 1;
    char l = Lower(c);
    while (i + run < s.size() && Lower(s[i + run]) == l) ++run;
    if (c == '[') {
      size_t close = s.find(']', i);
      std::string inner(s.substr(i + 1, close - i - 1));
      double total = rounded;
      char k = Lower(inner[0]);
      double v = k == 'h'   ? std::floor(total * 24 + 1e-9)
                 : k == 'm' ? std::floor(total * 1440 + 1e-9)
                            : std::floor(total * 86400 + 1e-6);
      std::string num = std::to_string(int64_t(v));
      while (num.size() < inner.size()) num = "0" + num;
      out += num;
      last_hm = k == 'h' ? 'h' : 0;
      i = close;
      continue;
    }
    if (l == 'y') {
      out += run <= 2 ? TwoDigits(parts->year % 100) : std::to_string(parts->year);
      i += run - 1;
    } else if (l == 'd') {
      if (run == 1)
        out += std::to_string(parts->day);
      else if (run == 2)
        out += TwoDigits(parts->day);
      else if (run == 3)
        out += std::string(kDays[parts->weekday]).substr(0, 3);
      else
        out += kDays[parts->weekday];
      i += run - 1;
    } else if (l == 'h') {
      int h = parts->hour;
      if (ampm) {
        h %= 12;
        if (h == 0) h = 12;
      }
      out += run >= 2 ? TwoDigits(h) : std::to_string(h);
      last_hm = 'h';
      i += run - 1;
    } else if (l == 'm') {
      // Minutes when after an hour or before seconds; months otherwise.
      bool minutes = last_hm == 'h';
      if (!minutes) {
        size_t k = i + run;
        while (k < s.size() && !(IsAsciiAlpha(s[k]))) ++k;
        minutes = k < s.size() && Lower(s[k]) == 's';
      }
      if (minutes && run <= 2)
        out += run == 2 ? TwoDigits(parts->minute) : std::to_string(parts->minute);
      else if (run == 1)
        out += std::to_string(parts->month);
      else if (run == 2)
        out += TwoDigits(parts->month);
      else if (run == 3)
        out += std::string(kMonths[parts->month - 1]).substr(0, 3);
      else if (run == 5)
        out += kMonths[parts->month - 1][0];
      else
        out += kMonths[parts->month - 1];
      last_hm = 0;
      i += run - 1;
    } else if (l == 's') {
      out += run >= 2 ? TwoDigits(parts->second) : std::to_string(parts->second);
      i += run - 1;
      if (i + 1 < s.size() && s[i + 1] == '.') {
        size_t k = i + 2;
        int digits = 0;
        while (k < s.size() && s[k] == '0') {
          ++digits;
          ++k;
        }
        if (digits) {
          int64_t frac = int64_t(std::llround(parts->fraction_of_second * std::pow(10.0, digits)));
          std::string f = std::to_string(frac);
          while (int(f.size()) < digits) f = "0" + f;
          out += "." + f.substr(0, size_t(digits));
          i = k - 1;
        }
      }
      last_hm = 0;
    } else if ((l == 'a') && (s.substr(i, 5) == "AM/PM" || s.substr(i, 5) == "am/pm")) {
      out += parts->hour < 12 ? "AM" : "PM";
      i += 4;
    } else if (l == 'a' && (s.substr(i, 3) == "A/P" || s.substr(i, 3) == "a/p")) {
      out += parts->hour < 12 ? (c == 'A' ? "A" : "a") : (c == 'A' ? "P" : "p");
      i += 2;
    } else if (l == 'e') {  // "e" is the year in some locales
      out += std::to_string(parts->year);
      i += run - 1;
    } else {
      out += c;
    }
  }
  return out;
}

// Inserts thousands separators into a string of digits.
std::string Group(const std::string& digits) {
  std::string out;
  int n = int(digits.size());
  for (int i = 0; i < n; ++i) {
    out += digits[size_t(i)];
    int left = n - 1 - i;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  return out;
}

// Rounds a >= 0 to frac_digits decimals the way a spreadsheet does: on the 15 significant digits it
// shows, half away from zero (so 1.005 gives 1.01 and 2.5 gives 3, where binary rounding would not).
void RoundDecimal(double a, int frac_digits, std::string& int_part, std::string& frac_part) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", a);
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int exp = std::atoi(p + 1);
  if (a == 0) exp = 0;
  // digits[0] is the 10^exp digit; keep the digits down to 10^-frac_digits.
  int keep = exp + 1 + frac_digits;
  std::string kept;
  if (keep <= 0) {
    bool up = keep == 0 && digits[0] >= '5';
    kept = up ? "1" : "0";
    exp = up ? -frac_digits : exp;
    if (!up) {
      int_part = "0";
      frac_part = std::string(size_t(frac_digits), '0');
      return;
    }
    keep = 1;
  } else if (keep >= int(digits.size())) {
    kept = digits + std::string(size_t(keep) - digits.size(), '0');
  } else {
    kept = digits.substr(0, size_t(keep));
    if (digits[size_t(keep)] >= '5') {
      int i = keep - 1;
      while (i >= 0 && kept[size_t(i)] == '9') kept[size_t(i--)] = '0';
      if (i < 0) {
        kept.insert(kept.begin(), '1');
        ++exp;
      } else
        ++kept[size_t(i)];
    }
  }
  // kept holds the digits from 10^exp down to 10^-frac_digits.
  int int_len = int(kept.size()) - frac_digits;
  if (int_len <= 0) {
    int_part = "0";
    frac_part = std::string(size_t(-int_len), '0') + kept;
  } else {
    int_part = kept.substr(0, size_t(int_len));
    frac_part = kept.substr(size_t(int_len));
  }
  size_t nz = int_part.find_first_not_of('0');
  int_part = nz == std::string::npos ? "0" : int_part.substr(nz);
}

struct NumberPattern {
  std::string prefix, suffix;  // literal text around the number
  int int_zeros = 0, int_hashes = 0, int_qs = 0;
  int frac_zeros = 0, frac_hashes = 0, frac_qs = 0;
  bool thousands = false, percent = false, point = false;
  int scale_commas = 0;
  bool scientific = false, exp_plus = false;
  int exp_digits = 0;
  bool fraction = false;
  int denom_digits = 0, fixed_denominator = 0;
};

bool IsPlaceholder(char c) { return c == '0' || c == '#' || c == '?'; }

std::string FormatWithPattern(double v, std::string_view s) {
  // Fraction formats: "# ?/?", "?/?", "# ??/??", "# ?/8".
  NumberPattern p;
  std::string body;
  bool in_number = false, number_done = false;
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    std::string* lit = number_done || in_number ? &p.suffix : &p.prefix;
    if (quoted) {
      if (c == '"')
        quoted = false;
      else
        *lit += c;
      continue;
    }
    if (c == '"') {
      quoted = true;
      continue;
    }
    if (c == '\\' && i + 1 < s.size()) {
      *lit += s[++i];
      continue;
    }
    if (c == '_' && i + 1 < s.size()) {
      ++i;
      *lit += ' ';
      continue;
    }
    if (c == '*' && i + 1 < s.size()) {
      ++i;
      continue;
    }
    if (c == '%') {
      p.percent = true;
      *lit += '%';
      continue;
    }
    if (!number_done &&
        (IsPlaceholder(c) || c == '.' || (c == ',' && in_number) || ((c == 'E' || c == 'e') && in_number) ||
         (c == '/' && in_number) || (c == ' ' && in_number && i + 1 < s.size() && IsPlaceholder(s[i + 1])))) {
      in_number = true;
      body += c;
      if ((c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) body += s[++i];
      continue;
    }
    if (!number_done && in_number && c >= '1' && c <= '9' && body.find('/') != std::string::npos) {
      body += c;
      continue;
    }
    if (in_number) number_done = true;
    (number_done ? p.suffix : p.prefix) += c;
  }
  // Analyse the body.
  size_t slash = body.find('/');
  if (slash != std::string::npos) {
    p.fraction = true;
    std::string den = body.substr(slash + 1);
    int fixed = 0;
    for (char c : den) {
      if (c >= '0' && c <= '9' && !(c == '0' && fixed == 0 && den.find_first_of("#?") != std::string::npos))
        fixed = fixed * 10 + (c - '0');
      if (c == '?' || c == '#' || c == '0') ++p.denom_digits;
    }
    if (den.find_first_of("#?") == std::string::npos) {
      p.fixed_denominator = fixed;
    }
    bool whole = body.find(' ') != std::string::npos && body.find(' ') < slash;
    double a = std::fabs(v);
    double ip = whole ? std::floor(a) : 0;
    double fp = a - ip;
    int64_t num = 0, den_v = 1;
    if (p.fixed_denominator > 0) {
      den_v = p.fixed_denominator;
      num = int64_t(std::llround(fp * double(den_v)));
    } else {
      int64_t max_den = int64_t(std::pow(10, std::max(1, p.denom_digits))) - 1;
      double best = 2;
      for (int64_t d = 1; d <= max_den; ++d) {
        int64_t n = int64_t(std::llround(fp * double(d)));
        double err = std::fabs(fp - double(n) / double(d));
        if (err < best - 1e-12) {
          best = err;
          num = n;
          den_v = d;
        }
      }
    }
    if (whole && num == den_v) {
      ip += 1;
      num = 0;
    }
    std::string out = p.prefix;
    if (v < 0) out = "-" + out;
    if (whole) {
      if (ip > 0 || num == 0) out += std::to_string(int64_t(ip));
      if (num != 0) out += (ip > 0 ? " " : "") + std::to_string(num) + "/" + std::to_string(den_v);
    } else {
      out += std::to_string(num) + "/" + std::to_string(den_v);
    }
    return out + p.suffix;
  }
  size_t e = body.find_first_of("Ee");
  std::string mant = e == std::string::npos ? body : body.substr(0, e);
  if (e != std::string::npos) {
    p.scientific = true;
    p.exp_plus = e + 1 < body.size() && body[e + 1] == '+';
    for (size_t k = e + 2; k < body.size(); ++k)
      if (IsPlaceholder(body[k])) ++p.exp_digits;
  }
  // Trailing commas scale by a thousand each.
  while (!mant.empty() && mant.back() == ',') {
    ++p.scale_commas;
    mant.pop_back();
  }
  size_t dot = mant.find('.');
  std::string ip = dot == std::string::npos ? mant : mant.substr(0, dot);
  std::string fp = dot == std::string::npos ? "" : mant.substr(dot + 1);
  p.point = dot != std::string::npos;
  p.thousands = ip.find(',') != std::string::npos;
  for (char c : ip) {
    if (c == '0')
      ++p.int_zeros;
    else if (c == '#')
      ++p.int_hashes;
    else if (c == '?')
      ++p.int_qs;
  }
  for (char c : fp) {
    if (c == '0')
      ++p.frac_zeros;
    else if (c == '#')
      ++p.frac_hashes;
    else if (c == '?')
      ++p.frac_qs;
  }
  int frac_digits = p.frac_zeros + p.frac_hashes + p.frac_qs;

  double a = std::fabs(v);
  if (p.percent) a *= 100;
  for (int k = 0; k < p.scale_commas; ++k) a /= 1000;
  int exponent = 0;
  if (p.scientific && a != 0) {
    int int_digits = std::max(1, p.int_zeros + p.int_hashes + p.int_qs);
    exponent = int(std::floor(std::log10(a)));
    // Engineering-style formats (##0.0E+0) keep the exponent a multiple of the integer digits.
    if (int_digits > 1)
      exponent = int(std::floor(double(exponent) / int_digits)) * int_digits;
    else
      exponent -= 0;
    a /= std::pow(10.0, exponent);
    // Rounding may carry into another digit.
    double r = std::round(a * std::pow(10.0, frac_digits)) / std::pow(10.0, frac_digits);
    if (r >= std::pow(10.0, int_digits)) {
      a /= std::pow(10.0, int_digits);
      exponent += int_digits;
    }
  }
  std::string int_part, frac_part;
  RoundDecimal(a, frac_digits, int_part, frac_part);
  // Optional decimals (#) drop trailing zeros; ? turns them into spaces.
  int keep = int(frac_part.size());
  while (keep > p.frac_zeros && frac_part[size_t(keep) - 1] == '0') --keep;
  std::string frac_out = frac_part.substr(0, size_t(keep));
  for (int k = keep; k < p.frac_zeros + p.frac_qs && k < int(frac_part.size()); ++k)
    frac_out += k < p.frac_zeros ? '0' : ' ';
  if (int_part == "0" && p.int_zeros == 0) int_part.clear();
  while (int(int_part.size()) < p.int_zeros) int_part = "0" + int_part;
  if (p.thousands) int_part = Group(int_part);
  std::string out = p.prefix + int_part;
  if (p.point) out += "." + frac_out;
  if (p.scientific) {
    std::string ex = std::to_string(std::abs(exponent));
    while (int(ex.size()) < p.exp_digits) ex = "0" + ex;
    out += "E";
    out += exponent < 0 ? "-" : (p.exp_plus ? "+" : "");
    out += ex;
  }
  return out + p.suffix;
}

std::string FormatSection(double v, std::string_view section, bool absolute) {
  std::string s = StripBrackets(section, nullptr);
  double x = absolute ? std::fabs(v) : v;
  if (IsGeneral(s)) {
    std::string g = FormatGeneral(x);
    // Literal text around "General" stays.
    std::string l;
    for (char c : s) l += Lower(c);
    size_t at = l.find("general");
    std::string before = s.substr(0, at), after = s.substr(at + 7);
    auto unquote = [](const std::string& t) {
      std::string o;
      for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '"') continue;
        if (t[i] == '\\' && i + 1 < t.size()) {
          o += t[++i];
          continue;
        }
        if (t[i] == '_' && i + 1 < t.size()) {
          ++i;
          o += ' ';
          continue;
        }
        o += t[i];
      }
      return o;
    };
    return unquote(before) + g + unquote(after);
  }
  if (HasDateTokens(s)) return FormatDate(x, s);
  bool has_digits = false;
  {
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
      if (quoted) {
        if (s[i] == '"') quoted = false;
        continue;
      }
      if (s[i] == '"') {
        quoted = true;
        continue;
      }
      if (s[i] == '\\' || s[i] == '_' || s[i] == '*') {
        ++i;
        continue;
      }
      if (IsPlaceholder(s[i])) has_digits = true;
    }
  }
  if (!has_digits) {
    // Only literal text (and maybe @): the text is the display.
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
      char c = s[i];
      if (quoted) {
        if (c == '"')
          quoted = false;
        else
          out += c;
        continue;
      }
      if (c == '"') {
        quoted = true;
        continue;
      }
      if (c == '\\' && i + 1 < s.size()) {
        out += s[++i];
        continue;
      }
      if (c == '_' && i + 1 < s.size()) {
        ++i;
        out += ' ';
        continue;
      }
      if (c == '*' && i + 1 < s.size()) {
        ++i;
        continue;
      }
      if (c == '@') {
        out += FormatGeneral(x);
        continue;
      }
      out += c;
    }
    if (!absolute && v < 0 && out.find_first_not_of(' ') != std::string::npos) return "-" + out;
    return out;
  }
  std::string out = FormatWithPattern(x, s);
  // A negative number shown by a section for all numbers keeps its sign, unless it rounds to zero.
  if (!absolute && v < 0) {
    bool nonzero = out.find_first_of("123456789") != std::string::npos;
    if (nonzero) out = "-" + out;
  }
  return out;
}

}  // namespace

std::string FormatGeneral(double v) {
  if (std::isnan(v)) return "#NUM!";
  if (std::isinf(v)) return "#NUM!";
  if (v == 0) return "0";
  double a = std::fabs(v);
  char buf[64];
  if (a >= 1e11 || a < 1e-9) {
    // Scientific with as many digits as fit 11 characters: d.ddddE+xx
    std::snprintf(buf, sizeof buf, "%.5E", v);
    std::string s(buf);
    size_t epos = s.find('E');
    std::string mant = s.substr(0, epos), ex = s.substr(epos + 1);
    while (mant.back() == '0') mant.pop_back();
    if (mant.back() == '.') mant.pop_back();
    int e = std::stoi(ex);
    std::string es = std::to_string(std::abs(e));
    if (es.size() < 2) es = "0" + es;
    return mant + "E" + (e < 0 ? "-" : "+") + es;
  }
  // Up to 10 significant digits within 11 characters.
  int int_digits = a >= 1 ? int(std::floor(std::log10(a))) + 1 : 1;
  int decimals = std::max(0, std::min(10 - int_digits, 11 - int_digits - 1 - (v < 0 ? 1 : 0)));
  if (a < 1) decimals = std::min(9, 10 - (v < 0 ? 1 : 0));
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s(buf);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::optional<DateParts> SerialToDate(double serial) {
  if (!(serial >= 0) || serial >= 2958466) return std::nullopt;
  int64_t days = int64_t(std::floor(serial));
  double secs_f = (serial - double(days)) * 86400.0;
  int64_t secs = int64_t(std::floor(secs_f + 1e-7));
  double frac = secs_f - double(secs);
  if (frac < 0) frac = 0;
  if (secs >= 86400) {
    secs -= 86400;
    ++days;
  }
  DateParts d{};
  d.hour = int(secs / 3600);
  d.minute = int(secs / 60 % 60);
  d.second = int(secs % 60);
  d.fraction_of_second = frac;
  d.weekday = int((days + 6) % 7);  // serial 1 (1900-01-01) counts as a Sunday in this system
  if (days == 60) {
    d.year = 1900;
    d.month = 2;
    d.day = 29;
    return d;
  }
  if (days == 0) {
    d.year = 1900;
    d.month = 1;
    d.day = 0;
    return d;
  }
  int64_t n = days < 60 ? days : days - 1;  // days since 1899-12-31, without the phantom day
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  int64_t z = n - 25568 + 719468;  // 1900-01-01 is day -25567 from 1970-01-01, and n=1 is that day
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t dd = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  d.year = int(y + (m <= 2));
  d.month = int(m);
  d.day = int(dd);
  return d;
}

double DateToSerial(int year, int month, int day) {
  int64_t y = year - (month <= 2);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t days1970 = era * 146097 + doe - 719468;
  int64_t n = days1970 + 25568;
  return double(n >= 60 ? n + 1 : n);
}

bool IsDateFormat(std::string_view code) {
  auto sections = Sections(code);
  std::string s = StripBrackets(sections[0], nullptr);
  return !IsGeneral(s) && HasDateTokens(s);
}

std::string FormatNumber(double v, std::string_view code) {
  if (std::isnan(v) || std::isinf(v)) return "#NUM!";
  if (code.empty()) return FormatGeneral(v);
  auto sections = Sections(code);
  // Conditions in the first two sections pick the section; else positive;negative;zero.
  Condition c0, c1;
  StripBrackets(sections[0], &c0);
  if (sections.size() > 1) StripBrackets(sections[1], &c1);
  if (c0.present || c1.present) {
    if (c0.present && c0.Holds(v)) return FormatSection(v, sections[0], false);
    if (sections.size() > 1 && (!c1.present || c1.Holds(v))) {
      if (sections.size() > 2 || c1.present) return FormatSection(v, sections[1], !c1.present || v < 0);
      return FormatSection(v, sections[1], v < 0);
    }
    if (sections.size() > 2) return FormatSection(v, sections[2], false);
    return FormatSection(v, sections[0], false);
  }
  if (sections.size() == 1 || (sections.size() >= 1 && v > 0)) return FormatSection(v, sections[0], false);
  if (v < 0) return FormatSection(v, sections[1], true);
  // zero
  if (sections.size() >= 3) return FormatSection(v, sections[2], false);
  return FormatSection(v, sections[0], false);
}

std::string FormatValue(const Value& value, std::string_view code) {
  switch (value.type) {
    case ValueType::Empty: return {};
    case ValueType::Number: return FormatNumber(value.number, code);
    case ValueType::Boolean: return value.boolean ? "TRUE" : "FALSE";
    case ValueType::Error: return std::string(ErrorText(value.error));
    case ValueType::Text: {
      auto sections = Sections(code);
      if (sections.size() < 4) {
        // Without a text section a text shows as itself, unless the only section is a text format.
        if (sections.size() == 1 && StripBrackets(sections[0], nullptr).find('@') != std::string::npos) {
          // fall through to the text section handling below
        } else {
          return value.text;
        }
      }
      std::string s = StripBrackets(sections.size() >= 4 ? sections[3] : sections[0], nullptr);
      std::string out;
      bool quoted = false;
      for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quoted) {
          if (c == '"')
            quoted = false;
          else
            out += c;
          continue;
        }
        if (c == '"') {
          quoted = true;
          continue;
        }
        if (c == '\\' && i + 1 < s.size()) {
          out += s[++i];
          continue;
        }
        if (c == '_' && i + 1 < s.size()) {
          ++i;
          out += ' ';
          continue;
        }
        if (c == '*' && i + 1 < s.size()) {
          ++i;
          continue;
        }
        if (c == '@') {
          out += value.text;
          continue;
        }
        out += c;
      }
      return out;
    }
  }
  return {};
}

}  // namespace sheets
