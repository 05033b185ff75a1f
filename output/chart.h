// Chart data made from the rows of one report, and its picture drawn as a PNG.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/query/rowtable.h"

constexpr int kChartPie = 1;
constexpr int kChartBar = 2;
constexpr int kMaxChartPoints = 30;
constexpr size_t kChartLabelSize = 291;  // key texts are cut at 290 characters

// Style flags passed by the caller.
constexpr unsigned kChartForcePie = 2;
constexpr unsigned kChartForceBar = 4;
constexpr unsigned kChartHits = 16;
constexpr unsigned kChartBytes = 32;
constexpr unsigned kChartVisitors = 64;
constexpr unsigned kChartLanguageMask = 137;  // GetTerm mode of the chart's words

struct ChartPoint {
  uint64_t first = 0;
  uint64_t second = 0;
  std::string label;
};

struct ChartData {
  int32_t count = 0;
  std::string title;
  std::string seriesLabel;
  // What the "Other" slice shows: the charted measure's total less every value
  // placed in a point.
  uint64_t remaining = 0;
  std::string othersLabel;
  int type = 0;
  int seriesCount = 1;
  std::array<ChartPoint, kMaxChartPoints> points;
  bool bytes = false;  // the values are bytes sent
};

// The picture file and default chart type of a kind; none (and type -1) for a
// kind without a chart.
std::optional<std::string> ChartPictureName(int kind, int* type);

// The key text of a row for the chart, in short form, accents stripped.
const char* ChartRowLabel(int kind, const CRow& row, char out[kChartLabelSize]);
// Adds the row's value(s) to the point and takes the first from remaining.
void PickChartValue(int type, unsigned style, ChartPoint& point, const CRow& row, ChartData& data);

// Fills data from the rows of table; false for a kind without a chart.
bool BuildChartData(int kind, const CRowTable& table, unsigned style, SortCompareFn compare, ChartData& data);

// Builds the chart of a kind and writes its picture to outputPath, else to
// folder + picture name, else to the picture name in the current folder.
// width/height below 1 become the default size, returned to the caller.
std::optional<std::string> BuildReportChart(int kind, const CRowTable& table, int* width, int* height,
                                            const char* folder, const char* outputPath, const char* secondTitle,
                                            unsigned style, SortCompareFn compare = nullptr);

// The slices a pie chart is drawn with: at most 10, the last being "Other"
// (exploded) when anything is left over. Empty when there is nothing to show.
struct PieSlice {
  float value = 0;
  std::string label;
  int explode = 0;
  unsigned long colour = 0;
};
std::vector<PieSlice> ChartPieSlices(const ChartData& data);

// The value axis of a bar chart: labels from 0 to top, step apart, whole
// numbers of unit (a size unit for bytes, named by suffix, else 1).
struct ChartAxis {
  double top = 1;
  double step = 1;
  double unit = 1;
  const char* suffix = "";
};
// The axis for values up to highest on a plot plotHeight pixels high: the step
// is 1, 2 or 5, or 1, 2.5 or 5 times a power of ten from 10 on, the smallest
// that keeps the labels about 25 pixels apart and exact as the library counts;
// top is the first step at or above highest. Bytes are shown in KB, MB or GB
// from ten of the unit on, counts of a hundred million and more in thousands
// (K, M, G, T).
ChartAxis PickChartAxis(double highest, int plotHeight, bool bytes = false);

// Draws the chart into a PNG file at path (nothing when it cannot be opened).
void WriteChartImage(const char* path, const ChartData& data, int* width, int* height, const char* secondTitle);
