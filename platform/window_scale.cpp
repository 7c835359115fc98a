#include "platform/window_scale.hpp"

#include <algorithm>
#include <cmath>

#include "core/constants.hpp"

namespace {

constexpr double kDpiAtScaleOne = 96.0;  // what desktops call 100 %
// The share of the usable area the window may take, as a fraction: two thirds.
constexpr long long kRoomNumerator = 2;
constexpr long long kRoomDenominator = 3;

// Whether the window at `scale` fits within numerator / denominator of the room, each way.
bool fits(int scale, const ScreenRoom& room, long long numerator, long long denominator) {
  const long long width = static_cast<long long>(kPictureWidth) * scale * denominator;
  const long long height = static_cast<long long>(kPictureHeight) * scale * denominator;
  return width <= room.usableWidth * numerator && height <= room.usableHeight * numerator;
}

}  // namespace

int desktopScale(double dpi) {
  if (!(dpi > 0) || !std::isfinite(dpi)) return 1;
  const double scale = std::round(dpi / kDpiAtScaleOne);
  return static_cast<int>(std::clamp(scale, 1.0, static_cast<double>(kMostWindowScale)));
}

int chooseWindowScale(const ScreenRoom& room) {
  if (room.usableWidth <= 0 || room.usableHeight <= 0) return 1;
  const int step = desktopScale(room.desktopDpi);
  int chosen = 0;
  for (int scale = step; scale <= kMostWindowScale; scale += step)
    if (fits(scale, room, kRoomNumerator, kRoomDenominator)) chosen = scale;
  if (chosen > 0) return chosen;
  for (int scale = step; scale > 1; --scale)
    if (fits(scale, room, 1, 1)) return scale;
  return 1;
}
