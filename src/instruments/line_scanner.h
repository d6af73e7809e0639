#pragma once
// Reads the values of one instrument line the way C sscanf does in the C locale, whatever
// the process locale: blanks before a value are skipped, numbers are the longest prefix
// strtof/strtol accept, and the first value that does not convert ends the scan.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk {

class LineScanner {
 public:
  explicit LineScanner(std::string_view text) : text_(text) {}

  // "%f": a 32-bit float.
  bool Float(float* value);
  // "%d" (base 10) or "%i" (base from the prefix: 0x hex, 0 octal).
  bool Int(int* value, int base = 10);
  // "%s": the run of non-blank characters, however long.
  bool Word(std::string* word);
  // A blank in the format: skips any blanks.
  void SkipBlanks();
  // A literal character of the format; unlike a conversion it does not skip blanks.
  bool Literal(char c);

  // The text not yet read.
  std::string_view Rest() const { return text_.substr(pos_); }

 private:
  std::size_t WordEnd() const;

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Scans up to `count` floats in a row ("%f%f..."); returns how many converted.
int ScanFloats(std::string_view text, float* values, int count);

// Scans a format made of "%f" conversions and literal characters (a blank in the format
// skips blanks), like sscanf; returns how many floats converted before the first failure.
int ScanFormat(std::string_view text, const char* format, float* values);

// True for C isspace in the C locale.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The value of `count` hex digits at `pos`, or -1 when the text is too short or a character
// is not a hex digit.
long HexField(std::string_view text, std::size_t pos, std::size_t count);

}  // namespace vesk
