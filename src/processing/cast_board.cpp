#include "processing/cast_board.h"

#include <cstdio>

namespace vesk {

std::string CastStatusText(const CastSnapshot* snapshot) {
  if (snapshot == nullptr || snapshot->status.direction == CastDirection::kNone) return "-";
  const CastStatus& s = snapshot->status;
  char text[64];
  std::snprintf(text, sizeof text, "%d %s %.1f m", s.profile, DirectionName(s.direction),
                s.depthBin);
  return text;
}

}  // namespace vesk
