#pragma once
// The current cast's profile as the live page shows it: concentration against depth, one
// entry per depth bin, with its 95 % confidence interval. The web view asks its profile
// source for a copy on the user-interface thread; without one (or before a cast has a bin)
// the page says "no profile yet".

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

struct ProfileBin {
  double depthM = 0;              // the bin's centre
  double concentrationPerM3 = 0;  // particles per cubic metre
  double ci95Low = 0;             // the interval's bounds, particles per cubic metre
  double ci95High = 0;
};

struct CastProfile {
  int number = 0;                // of the cast in this scan, from 1
  std::string direction;         // "down" or "up"
  std::vector<ProfileBin> bins;  // by depth, shallowest first
};

using ProfileSource = std::function<std::optional<CastProfile>()>;

}  // namespace vesk
