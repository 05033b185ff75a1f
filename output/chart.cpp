#include "output/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/store/reportkind.h"
#include "output/reportrows.h"

#include <gd.h>
#include <gdfontmb.h>

// The option variables are defined in gdc_globals.c; here they are only declared.
extern "C" {
// The headers name the library's font table; its layout is only needed to
// declare it.
struct GDC_FONT_T {
  void* f;
  char h;
  char w;
};
#define HAVE_LIBFREETYPE 1  // as the packaged library is built
#define GDC_LIB
#include <gdc.h>
#include <gdchart.h>
#include <gdcpie.h>
#undef GDC_LIB
}

namespace {

struct PictureEntry {
  int kind;
  const char* name;
  int type;
};

const PictureEntry kPictures[] = {
    {kReportSearchEngine, "se.png", kChartPie},  {kReportCountry, "country.png", kChartPie},
    {kReportOs, "os.png", kChartPie},            {kReportBrowser, "browser.png", kChartPie},
    {kReportHour, "hours.png", kChartBar},       {kReportWeekday, "day_week.png", kChartBar},
    {kReportGroup, "group.png", kChartPie},      {kReportFileType, "typefile.png", kChartPie},
    {kReportTopDomain, "domain.png", kChartPie}, {kReportMonth, "month.png", kChartBar},
    {kReportCity, "cities.png", kChartPie},      {kReportRegion, "regions.png", kChartPie},
    {kReportStatus, "response.png", kChartPie},  {kReportSpider, "robots.png", kChartPie},
    {kReportDate, "daily.png", kChartBar},       {kReportReferrerType, "type_ref.png", kChartPie},
    {kReportErrorCode, "tp_error.png", kChartPie}, {kReportDownloadManager, "speeders.png", kChartPie},
};

std::string Stripped(const char* text) {
  std::string s = text ? text : "";
  std::vector<char> buffer(s.begin(), s.end());
  buffer.push_back('\0');
  return StripAccentEntities(buffer.data());
}

uint64_t Less(uint64_t a, uint64_t b) { return a > b ? a - b : 0; }

// Slices below this share of the whole pie are folded into "Other".
constexpr double kSmallSliceShare = 0.015;

void PruneSmallSlices(ChartData& data) {
  uint64_t whole = data.remaining;
  for (int i = 0; i < data.count; ++i) whole += data.points[i].first;
  if (whole == 0) return;
  int kept = 0;
  for (int i = 0; i < data.count; ++i) {
    ChartPoint& p = data.points[i];
    if (static_cast<double>(p.first) / static_cast<double>(whole) < kSmallSliceShare) {
      data.remaining += p.first;
    } else {
      if (kept != i) data.points[kept] = std::move(p);
      ++kept;
    }
  }
  for (int i = kept; i < data.count; ++i) data.points[i] = ChartPoint{};
  data.count = kept;
}

}  // namespace

std::optional<std::string> ChartPictureName(int kind, int* type) {
  for (const PictureEntry& e : kPictures) {
    if (e.kind == kind) {
      if (type) *type = e.type;
      return std::string(e.name);
    }
  }
  if (type) *type = -1;
  return std::nullopt;
}

const char* ChartRowLabel(int kind, const CRow& row, char out[kChartLabelSize]) {
  out[0] = '\0';
  const char* text = GetHitFieldText(kind, out, row.Record(), kChartLabelSize, false);
  if (text != out) snprintf(out, kChartLabelSize, "%s", text ? text : "");
  return StripAccentEntities(out);
}

void PickChartValue(int type, unsigned style, ChartPoint& point, const CRow& row, ChartData& data) {
  uint64_t first;
  if (style & kChartHits) {
    first = row.Hits();
  } else if (style & kChartBytes) {
    first = row.BytesSent();
  } else if (style & kChartVisitors) {
    first = row.Visitors();
  } else if (type == kChartPie) {
    first = row.Hits();
  } else {
    first = row.Visitors();
    point.second += row.Hits();
  }
  point.first += first;
  data.remaining = Less(data.remaining, first);
}

bool BuildChartData(int kind, const CRowTable& table, unsigned style, SortCompareFn compare, ChartData& data) {
  int type = -1;
  if (!ChartPictureName(kind, &type)) return false;
  data = ChartData{};
  CRowIndex index;
  SetReportSortOrder(kind, table, index, compare);
  int mode = static_cast<int>(style & kChartLanguageMask);
  bool anySource = (style & (kChartHits | kChartBytes | kChartVisitors)) != 0;

  if (style & kChartForcePie) type = kChartPie;
  else if (style & kChartForceBar) type = kChartBar;
  data.type = type;
  data.seriesCount = (type == kChartBar && !anySource) ? 2 : 1;
  if (style & kChartHits) data.seriesLabel = Stripped(GetTerm(0, mode));
  else if (style & kChartBytes) data.seriesLabel = Stripped(GetTerm(90, mode));
  else if (style & kChartVisitors) data.seriesLabel = Stripped(GetTerm(6, mode));
  else data.seriesLabel = Stripped(GetTerm(6, mode)) + "," + Stripped(GetTerm(0, mode));
  data.title = Stripped(ColumnTerm(kind, mode));
  data.othersLabel = Stripped(GetTerm(52, mode));
  data.bytes = (style & kChartBytes) != 0;
  // "Other" is the rest of what the chart measures, not always of the hits.
  bool byVisitors = (style & kChartVisitors) || (!anySource && type == kChartBar);
  data.remaining = (style & kChartHits)   ? table.totals.hits
                   : (style & kChartBytes) ? table.totals.bytesSent
                   : byVisitors            ? table.totals.visitors
                                           : table.totals.hits;
  uint32_t rows = index.Count();
  data.count = static_cast<int32_t>(std::min<uint32_t>(rows, 10));

  char buffer[kChartLabelSize];
  auto slotted = [&](int points, auto label, auto slotOf) {
    data.count = points;
    for (int i = 0; i < points; ++i) data.points[i].label = label(i);
    for (uint32_t r = 0; r < rows; ++r) {
      const CRow& row = *index[r];
      const CHitRecord* rec = row.Record();
      int slot = rec ? slotOf(*rec) : -1;
      if (slot < 0 || slot >= points) continue;  // a date or time that cannot be charted
      PickChartValue(type, style, data.points[slot], row, data);
    }
  };

  switch (kind) {
    case kReportWeekday:
      slotted(7, [&](int i) { return Stripped(WeekdayName(i, mode)); },
              [](const CHitRecord& r) { return DayOfWeek(r.PackedDate()); });
      break;
    case kReportMonth:
      slotted(12, [&](int i) { return Stripped(MonthName(i + 1, mode)); },
              [](const CHitRecord& r) { return static_cast<int>(r.Month()) - 1; });
      break;
    case kReportHour:
      slotted(24, [&](int i) { return std::string(FormatHour(buffer, sizeof buffer, i)); },
              [](const CHitRecord& r) { return static_cast<int>(std::min<uint32_t>(HourOfSeconds(r.Seconds()), 99)); });
      break;
    case kReportDate: {
      uint32_t from = rows > kMaxChartPoints ? rows - kMaxChartPoints : 0;
      data.count = static_cast<int32_t>(rows - from);
      for (uint32_t r = from; r < rows; ++r) {
        ChartPoint& p = data.points[r - from];
        const CHitRecord* rec = index[r]->Record();
        p.label = rec ? FormatDate(buffer, sizeof buffer, rec->PackedDate(), false) : "";
        PickChartValue(type, style, p, *index[r], data);
      }
      break;
    }
    default:
      for (int i = 0; i < data.count; ++i) {
        data.points[i].label = index[i]->Record() ? ChartRowLabel(kind, *index[i], buffer) : "";
        PickChartValue(type, style, data.points[i], *index[i], data);
      }
      break;
  }
  if (type == kChartPie) PruneSmallSlices(data);
  return true;
}

std::optional<std::string> BuildReportChart(int kind, const CRowTable& table, int* width, int* height,
                                            const char* folder, const char* outputPath, const char* secondTitle,
                                            unsigned style, SortCompareFn compare) {
  ChartData data;
  if (!BuildChartData(kind, table, style, compare, data)) return std::nullopt;
  std::string name = *ChartPictureName(kind, nullptr);
  std::string path;
  if (outputPath && *outputPath) {
    path = outputPath;
  } else if (folder && *folder) {
    path = folder;
    if (path.back() != '/') path += '/';
    path += name;
  } else {
    path = name;
  }
  WriteChartImage(path.c_str(), data, width, height, secondTitle);
  return name;
}

namespace {

const unsigned long kSliceColours[10] = {0x6699FF, 0xFF6666, 0x00FF66, 0x6600AA, 0xFFFF00,
                                         0x0000CC, 0xCC3333, 0x009966, 0x660044, 0xAAAA00};
const char kNoData[] = "No Data Available";

short ClampSize(int v) { return static_cast<short>(std::min(v, 32767)); }

void SetSize(int* width, int* height, int w, int h) {
  if (*width < 1 || *height < 1) {
    *width = w;
    *height = h;
  }
}

// Label texts the library may hold as char*; they live as long as this does.
struct LabelCopies {
  std::vector<std::string> texts;
  std::vector<char*> pointers;
  void Add(const std::string& s) { texts.push_back(s); }
  char** Get() {
    pointers.clear();
    for (std::string& t : texts) pointers.push_back(t.data());
    return pointers.data();
  }
};

void DrawEmpty(FILE* file, int width, int height) {
  out_err(ClampSize(width), ClampSize(height), file, 0xFFFFFF, 0x000000, const_cast<char*>(kNoData));
}

// Room kept free around the pie so that its labels clear the title and are
// not cut at the picture's edges.
constexpr int kPieTitleGap = 10;
constexpr int kPieMargin = 4;
// Labels stand this far off the rim: beyond the exploded "Other" slice and the
// 3-D edge, so that no label is drawn over a slice.
constexpr int kPieLabelDistance = 16;

std::vector<std::string> TitleLines(const std::string& title) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (;;) {
    size_t nl = title.find('\n', from);
    lines.push_back(title.substr(from, nl == std::string::npos ? std::string::npos : nl - from));
    if (nl == std::string::npos) break;
    from = nl + 1;
  }
  return lines;
}

// The library places the pie labels around the rim wherever they fall, and the
// top ones may reach into its title. So the pie is drawn untitled into the part
// of the picture below a title band of its own, and the title is written into
// that band.
void DrawPie(FILE* file, const ChartData& data, int width, int height, const char* secondTitle) {
  std::vector<PieSlice> slices = ChartPieSlices(data);
  if (slices.empty()) {
    DrawEmpty(file, width, height);
    return;
  }
  std::string title = data.title;
  if (secondTitle && *secondTitle) title += std::string("\n") + secondTitle;
  std::vector<std::string> lines = TitleLines(title);
  gdFontPtr font = gdFontGetMediumBold();
  int band = 2 + static_cast<int>(lines.size()) * font->h + kPieTitleGap;
  int pieWidth = std::max(width - 2 * kPieMargin, 1);
  int pieHeight = std::max(height - band - kPieMargin, 1);

  std::vector<float> values;
  std::vector<int> explode;
  std::vector<unsigned long> colours;
  LabelCopies labels;
  for (const PieSlice& s : slices) {
    values.push_back(s.value);
    explode.push_back(s.explode);
    colours.push_back(s.colour);
    labels.Add(s.label);
  }
  GDCPIE_explode = explode.data();
  GDCPIE_Color = colours.data();
  GDCPIE_BGColor = 0xFFFFFF;
  GDCPIE_PlotColor = 0xFFFFFF;
  GDCPIE_label_dist = kPieLabelDistance;
  // The library writes its pie only to a file; it goes through a scratch one.
  gdImagePtr pie = nullptr;
  if (FILE* scratch = tmpfile()) {
    GDCPIE_title = nullptr;
    GDC_out_pie(ClampSize(pieWidth), ClampSize(pieHeight), scratch, GDC_3DPIE, static_cast<int>(values.size()),
                labels.Get(), values.data());
    rewind(scratch);
    pie = gdImageCreateFromPng(scratch);
    fclose(scratch);
  }
  gdImagePtr picture = pie ? gdImageCreate(ClampSize(width), ClampSize(height)) : nullptr;
  if (!picture) {
    // Without the scratch file the pie is drawn whole, with the library's title.
    if (pie) gdImageDestroy(pie);
    GDCPIE_title = title.data();
    GDC_out_pie(ClampSize(width), ClampSize(height), file, GDC_3DPIE, static_cast<int>(values.size()), labels.Get(),
                values.data());
  }
  GDCPIE_title = nullptr;
  GDCPIE_explode = nullptr;
  GDCPIE_Color = nullptr;
  if (!picture) return;

  gdImageColorAllocate(picture, 0xFF, 0xFF, 0xFF);  // the first colour is the background
  int ink = gdImageColorAllocate(picture, 0, 0, 0);
  for (size_t i = 0; i < lines.size(); ++i) {
    int textWidth = static_cast<int>(lines[i].size()) * font->w;
    auto* text = reinterpret_cast<unsigned char*>(lines[i].data());
    gdImageString(picture, font, (width - textWidth) / 2, 2 + static_cast<int>(i) * font->h, text, ink);
  }
  gdImageCopy(picture, pie, kPieMargin, band, 0, 0, gdImageSX(pie), gdImageSY(pie));
  gdImageDestroy(pie);
  gdImagePng(picture, file);
  gdImageDestroy(picture);
}

void DrawBars(FILE* file, const ChartData& data, int width, int height) {
  int count = std::clamp(data.count, 0, kMaxChartPoints);
  int sets = std::clamp(data.seriesCount, 1, 2);
  if (count == 0) {
    DrawEmpty(file, width, height);
    return;
  }
  static unsigned long setColours[2] = {0xFF8080, 0x8080FF};
  std::vector<float> values;
  double highest = 0;
  for (int i = 0; i < count; ++i) values.push_back(static_cast<float>(data.points[i].first));
  if (sets == 2)
    for (int i = 0; i < count; ++i) values.push_back(static_cast<float>(data.points[i].second));
  for (float v : values) highest = std::max(highest, static_cast<double>(v));
  LabelCopies labels;
  for (int i = 0; i < count; ++i) labels.Add(data.points[i].label);
  std::string title = data.seriesLabel;
  GDC_SetColor = setColours;
  GDC_BGColor = 0xFFFFFF;
  GDC_title = title.data();
  GDC_hold_img = GDC_DESTROY_IMAGE;
  // A first pass without a picture gives the height of the plot, which the
  // title and the point labels leave; the steps of the value axis are fitted
  // to it. The labels' width does not change it.
  // It runs on zeros: the library's own label texts overflow its
  // buffer on values of ten digits and more.
  std::vector<float> small(values.size(), 0.0f);
  static char plain[] = "%.0f";
  GDC_ylabel_fmt = plain;
  GDC_generate_img = FALSE;
  GDC_hard_grapheight = 0;
  GDC_out_graph(ClampSize(width), ClampSize(height), nullptr, GDC_3DBAR, count, labels.Get(), sets, small.data(),
                nullptr);
  GDC_generate_img = TRUE;
  ChartAxis axis = PickChartAxis(highest, GDC_hard_grapheight, data.bytes);
  if (axis.unit != 1)
    for (float& v : values) v = static_cast<float>(v / axis.unit);
  // Whole numbers, not the library's fractions.
  std::string format = std::string("%.0f") + axis.suffix;
  GDC_ylabel_fmt = format.data();
  GDC_requested_ymin = 0;
  // A little above the top step, or the library leaves the top label out.
  GDC_requested_ymax = static_cast<float>(axis.top + axis.step / 1000);
  GDC_requested_yinterval = static_cast<float>(axis.step);
  GDC_out_graph(ClampSize(width), ClampSize(height), file, GDC_3DBAR, count, labels.Get(), sets, values.data(),
                nullptr);
  GDC_requested_ymin = GDC_NOVALUE;
  GDC_requested_ymax = GDC_NOVALUE;
  GDC_requested_yinterval = GDC_NOVALUE;
  GDC_ylabel_fmt = nullptr;
  GDC_title = nullptr;
  GDC_SetColor = nullptr;
}

}  // namespace

std::vector<PieSlice> ChartPieSlices(const ChartData& data) {
  int count = std::clamp(data.count, 0, kMaxChartPoints);
  // Whatever is not shown as a slice of its own goes to "Other", the tenth
  // point included.
  uint64_t other = data.remaining;
  int n = count;
  if (other > 0 || count > 10) {
    n = std::min(count, 9);
    for (int i = n; i < count; ++i) other += data.points[i].first;
  }
  std::vector<PieSlice> slices;
  uint64_t total = other;
  for (int i = 0; i < n; ++i) {
    slices.push_back({static_cast<float>(data.points[i].first), data.points[i].label, 0, kSliceColours[i]});
    total += data.points[i].first;
  }
  if (other > 0) slices.push_back({static_cast<float>(other), data.othersLabel, 12, kSliceColours[slices.size()]});
  if (total == 0) return {};
  if (slices.size() == 1)  // the library draws no pie of one slice
    slices.push_back({slices[0].value * 0.005f, "", 0, slices[0].colour});
  return slices;
}

namespace {

// A label value the library, which counts in floats, prints as it is.
bool ExactInFloat(double v) { return static_cast<double>(static_cast<float>(v)) == v; }

}  // namespace

ChartAxis PickChartAxis(double highest, int plotHeight, bool bytes) {
  if (!(highest > 0)) highest = 0;  // also NaN
  ChartAxis axis;
  // Sizes in the units the reports use, so that the labels stay short and
  // their steps whole in the unit.
  static const char* const kSizes[] = {"", " KB", " MB", " GB"};
  // Counts keep all their digits while the library's floats hold them.
  static const char* const kThousands[] = {"", " K", " M", " G", " T"};
  if (bytes) {
    for (int u = 1; u < 4 && highest / (axis.unit * 1024) >= 10; ++u) {
      axis.unit *= 1024;
      axis.suffix = kSizes[u];
    }
  } else {
    for (int u = 1; u < 5 && highest / axis.unit >= 1e8; ++u) {
      axis.unit *= 1000;
      axis.suffix = kThousands[u];
    }
  }
  highest /= axis.unit;
  // About one label to every 25 pixels of plot: the library drops a step it
  // thinks too dense at about twice that.
  double most = std::max(plotHeight / 25, 1);
  // The library's own steps run 1, 2, 5, 10, 25, 50, 100, 250 ...; it takes a
  // requested step more readily when it is one of them.
  for (double power = 1; power < 1e30; power *= 10) {
    for (double factor : {1.0, power == 1 ? 2.0 : 2.5, 5.0}) {
      double step = factor * power;
      double steps = std::max(std::ceil(highest / step), 1.0);
      if (steps > most) continue;
      bool exact = true;
      for (double i = 1; i <= steps && exact; ++i) exact = ExactInFloat(i * step);
      if (!exact && step < 1e12) continue;  // would print as a neighbouring number
      axis.step = step;
      axis.top = steps * step;
      return axis;
    }
  }
  axis.step = axis.top = std::max(highest, 1.0);  // beyond any count
  return axis;
}

void WriteChartImage(const char* path, const ChartData& data, int* width, int* height, const char* secondTitle) {
  int w = 0, h = 0;
  if (!width) width = &w;
  if (!height) height = &h;
  if (data.type == kChartPie) SetSize(width, height, 512, 300);
  else if (data.type == kChartBar) SetSize(width, height, 512, 350);
  else return;
  FILE* file = fopen(path, "wb");
  if (!file) return;
  if (data.type == kChartPie) DrawPie(file, data, *width, *height, secondTitle);
  else DrawBars(file, data, *width, *height);
  fclose(file);
}
