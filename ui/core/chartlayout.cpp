#include "ui/core/chartlayout.h"

#include <algorithm>

#include "output/chart.h"

ChartPlacement PlaceChart(int w, int h, int left) {
  ChartPlacement p;
  p.width = w > 600 ? w - 50 : std::max(w, 400);
  p.height = h > 500 ? h - 50 : std::max(h, 200);
  p.x = left + std::max((w - p.width) / 2, 0);
  p.y = std::max((h - p.height) / 2, 0);
  return p;
}

unsigned ChartStyleOf(int chartType, int chartSource) {
  unsigned style = chartType == 1 ? kChartForcePie : chartType == 2 ? kChartForceBar : 1u;
  switch (chartSource) {
    case 1: return style | kChartHits;
    case 2: return style | kChartBytes;
    case 3: return style | kChartVisitors;
    default: return style | 0x08u;
  }
}
