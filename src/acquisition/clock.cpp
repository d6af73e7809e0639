#include "seams/clock.h"

namespace vesk {

std::string FormatTime(const std::tm& tm, const char* format) {
  char text[256];
  const std::size_t n = std::strftime(text, sizeof text, format, &tm);
  return std::string(text, n);
}

}  // namespace vesk
