#include "ui/core/windowplacement.h"

WindowRect ChooseWindowRect(int frameLeft, int frameTop, const StoredPlacement& stored,
                            const std::function<bool(const WindowRect&)>& onScreen, int defaultWidth,
                            int defaultHeight) {
  const int w = defaultWidth > kDefaultWindowWidth ? defaultWidth : kDefaultWindowWidth;
  const int h = defaultHeight > kDefaultWindowHeight ? defaultHeight : kDefaultWindowHeight;
  WindowRect def{frameLeft, frameTop, frameLeft + w, frameTop + h};
  if (!stored.read) return def;
  // Stored as DWORDs: a negative coordinate comes back as its two's complement.
  WindowRect r{static_cast<int32_t>(stored.left), static_cast<int32_t>(stored.top),
               static_cast<int32_t>(stored.right), static_cast<int32_t>(stored.bottom)};
  int64_t width = int64_t(r.right) - r.left, height = int64_t(r.bottom) - r.top;
  if (r.top < -3000 || r.top > 5000 || r.left < -5000 || r.left > 7000) return def;
  if (height > 5000 || width > 7000) return def;
  // A zero or negative size would give an invisible window.
  if (width <= 0 || height <= 0) return def;
  if (onScreen && !onScreen(r)) return def;
  return r;
}
