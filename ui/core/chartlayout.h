// Where the chart pane puts its picture: the picture size for a pane, the
// chart style of the pane's choices, and the picture's place.
#pragma once

// The choice groups take the pane's left edge; the chart is drawn right of it.
constexpr int kChartLeft = 95;

struct ChartPlacement {
  int width = 0;   // picture size asked of the chart writer
  int height = 0;
  int x = 0;       // top-left corner in the pane
  int y = 0;
};

// w x h: the room right of the choice groups, which start left (at least
// kChartLeft when the choices are wider). The picture is w less 50 above
// 600, at least 400; h less 50 above 500, at least 200. It is centred in the
// room by its own size, and never placed left of the room or above the pane.
ChartPlacement PlaceChart(int w, int h, int left = kChartLeft);

// Type 0 default, 1 pie, 2 bars; source 0 default, 1 hits, 2 bandwidth, 3 visitors.
unsigned ChartStyleOf(int chartType, int chartSource);
