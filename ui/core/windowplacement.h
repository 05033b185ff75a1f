// Where the main window opens: the rectangle stored at the last close, when
// it is believable, else the default size at the frame's position.
#pragma once
#include <cstdint>
#include <functional>

struct WindowRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// The least first size; the program asks for more when its toolbar and
// panes need it (the default alone cuts them on today's desktops).
constexpr int kDefaultWindowWidth = 570;
constexpr int kDefaultWindowHeight = 455;

// The four stored values ("WinTop", "WinBotton", "WinLeft", "WinRight") as
// read from the profile; `read` is false when any of them is missing.
struct StoredPlacement {
  bool read = false;
  uint32_t top = 0, bottom = 0, left = 0, right = 0;
};

// The stored rectangle is used only when all four values were read, lie
// within the old limits, give a positive width and height and the rectangle
// is on a screen (onScreen; empty: no screen test). Else the default size
// (never below the least one) at the frame's current top-left corner.
WindowRect ChooseWindowRect(int frameLeft, int frameTop, const StoredPlacement& stored,
                            const std::function<bool(const WindowRect&)>& onScreen,
                            int defaultWidth = kDefaultWindowWidth, int defaultHeight = kDefaultWindowHeight);
