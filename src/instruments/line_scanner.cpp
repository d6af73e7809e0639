#include "instruments/line_scanner.h"

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace vesk {
namespace {

locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// std::from_chars reads up to this many significant digits exactly; longer numbers go to strtof.
constexpr std::ptrdiff_t kExactDigits = 19;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads [digits][.digits] with at most 7 significant digits, no more than 10 after the point
// and no exponent, as most instrument values are ("12.3456"). The digits fit a float exactly
// and so does their power of ten: one correctly rounded division gives the float that strtof
// gives. nullptr for any other form.
const char* ShortDecimal(const char* p, const char* end, float* value) {
  static constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                           1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  std::uint32_t digits = 0;
  int significant = 0;
  int scale = -1;  // digits after the point; -1 before the point
  bool any = false;
  for (; p < end; ++p) {
    const char c = *p;
    if (IsDigit(c)) {
      any = true;
      if ((digits != 0 || c != '0') && ++significant > 7) return nullptr;
      digits = digits * 10 + static_cast<std::uint32_t>(c - '0');
      if (scale >= 0) ++scale;
    } else if (c == '.' && scale < 0) {
      scale = 0;
    } else {
      break;
    }
  }
  if (!any || (p < end && (*p == 'e' || *p == 'E'))) return nullptr;
  if (scale < 0) scale = 0;
  if (scale > 10) return nullptr;
  *value = static_cast<float>(digits) / kPowersOfTen[scale];
  return p;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void LineScanner::SkipBlanks() {
  while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
}

// The end of the value that starts at `pos_` as the C library would read it: a number never
// runs past a blank or a NUL.
std::size_t LineScanner::WordEnd() const {
  std::size_t end = pos_;
  while (end < text_.size() && !IsBlank(text_[end]) && text_[end] != '\0') ++end;
  return end;
}

bool LineScanner::Float(float* value) {
  SkipBlanks();
  if (pos_ >= text_.size()) return false;
  // Plain decimal numbers (the instruments send nothing else) are read in place: short ones
  // here, the others by std::from_chars, which rounds exactly as strtof does. Hex, inf and
  // nan forms, values out of range and numbers of more than 19 digits take the C library's
  // strtof.
  const char* const begin = text_.data() + pos_;
  const char* const end = text_.data() + text_.size();
  const char* p = begin;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const bool decimal = p < end && (IsDigit(*p) || (*p == '.' && p + 1 < end && IsDigit(p[1]))) &&
                       !(*p == '0' && p + 1 < end && (p[1] == 'x' || p[1] == 'X'));
  if (decimal) {
    float v = 0;
    if (const char* stop = ShortDecimal(p, end, &v)) {
      pos_ += static_cast<std::size_t>(stop - begin);
      *value = negative ? -v : v;
      return true;
    }
    const auto [stop, error] = std::from_chars(p, end, v, std::chars_format::general);
    if (error == std::errc() && std::count_if(p, stop, IsDigit) <= kExactDigits) {
      pos_ += static_cast<std::size_t>(stop - begin);
      *value = negative ? -v : v;
      return true;
    }
  }
  const std::string word(text_.substr(pos_, WordEnd() - pos_));
  char* stop = nullptr;
  const float v = strtof_l(word.c_str(), &stop, CLocale());
  if (stop == word.c_str()) return false;
  pos_ += static_cast<std::size_t>(stop - word.c_str());
  *value = v;
  return true;
}

bool LineScanner::Int(int* value, int base) {
  SkipBlanks();
  if (pos_ >= text_.size()) return false;
  long v = 0;
  if (base == 10) {
    // Decimal digits are read in place; a value out of the range of long takes strtol.
    const char* const begin = text_.data() + pos_;
    const char* const end = text_.data() + text_.size();
    const char* p = begin;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (p < end && IsDigit(*p)) {
      const auto [stop, error] = std::from_chars(p, end, v);
      if (error == std::errc()) {
        pos_ += static_cast<std::size_t>(stop - begin);
        *value = static_cast<int>(static_cast<unsigned long>(negative ? -v : v));
        return true;
      }
    }
  }
  const std::string word(text_.substr(pos_, WordEnd() - pos_));
  char* stop = nullptr;
  errno = 0;
  v = strtol_l(word.c_str(), &stop, base, CLocale());
  if (stop == word.c_str()) return false;
  pos_ += static_cast<std::size_t>(stop - word.c_str());
  // Like the C library's conversion into an int: out-of-range values wrap, never trap.
  *value = static_cast<int>(static_cast<unsigned long>(v));
  return true;
}

bool LineScanner::Word(std::string* word) {
  SkipBlanks();
  if (pos_ >= text_.size()) return false;
  std::size_t end = pos_;
  while (end < text_.size() && !IsBlank(text_[end])) ++end;
  word->assign(text_.substr(pos_, end - pos_));
  pos_ = end;
  return true;
}

bool LineScanner::Literal(char c) {
  if (pos_ < text_.size() && text_[pos_] == c) {
    ++pos_;
    return true;
  }
  return false;
}

int ScanFloats(std::string_view text, float* values, int count) {
  LineScanner scan(text);
  int n = 0;
  while (n < count && scan.Float(&values[n])) ++n;
  return n;
}

int ScanFormat(std::string_view text, const char* format, float* values) {
  LineScanner scan(text);
  int n = 0;
  for (const char* f = format; *f != '\0'; ++f) {
    if (f[0] == '%' && f[1] == 'f') {
      if (!scan.Float(&values[n])) break;
      ++n;
      ++f;
    } else if (IsBlank(*f)) {
      scan.SkipBlanks();
    } else if (!scan.Literal(*f)) {
      break;
    }
  }
  return n;
}

long HexField(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos > text.size() || count > text.size() - pos || count > 7) return -1;
  long v = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int d = HexDigit(text[pos + i]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

}  // namespace vesk
