#pragma once
// The web view's profile from the scan's cast products: the snapshot they last published
// (ScanResults::Cast()), read without waiting for the scan.

#include "web/cast_profile.h"

namespace vesk {

class ScanResults;

// The open profile (after the scan: the last one), or none before a profile has begun.
ProfileSource CastProfileSource(const ScanResults& results);

}  // namespace vesk
