#include "output/htmlexport.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <sys/stat.h>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/pathlist.h"
#include "engine/query/query.h"
#include "engine/query/rowtable.h"
#include "engine/query/summary.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "output/chart.h"
#include "output/outtext.h"
#include "output/reportrows.h"
#include "platform/folders.h"

TemplateVariable g_templateVariables[kTemplateVariableCount] = {
    {"%PageTitle%", {}}, {"%FirstFile%", {}}, {"%Tags%", {}},       {"%MenuName%", {}}, {"%Link%", {}},
    {"%ProjectName%", {}}, {"%Head1%", {}},   {"%Head2%", {}},      {"%Head3%", {}},    {"%Label%", {}},
    {"%ReportName%", {}}, {"%Width%", {}},    {"%Height%", {}},     {"%Parameters%", {}}, {"%Text%", {}},
};

namespace {

std::string g_template;
std::string g_cells;

size_t FindIgnoringCase(const std::string& text, const char* name, size_t from = 0) {
  size_t n = strlen(name);
  if (n == 0 || text.size() < n) return std::string::npos;
  for (size_t i = from; i + n <= text.size(); ++i) {
    size_t k = 0;
    while (k < n && tolower(static_cast<unsigned char>(text[i + k])) == tolower(static_cast<unsigned char>(name[k]))) ++k;
    if (k == n) return i;
  }
  return std::string::npos;
}

bool WriteText(FILE* file, const std::string& text) {
  return text.empty() || fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool ReadTemplate(const std::string& path, int mode) {
  char* text = nullptr;
  size_t length = 0;
  // A folder or a pipe of that name would read as garbage or block.
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (mode) EngineErrorF("Cannot open file '%s'", path.c_str());
    return false;
  }
  if (!ReadWholeFile(path.c_str(), &text, &length, mode)) return false;
  // Without one section marker every page would be written empty.
  bool anySection = false;
  for (const char* name : {"[PageHeader]", "[PageFooter]", "[TableTitle]", "[TableHeader]", "[TableRow]",
                           "[TableCell]", "[TableFooter]", "[TableChart]"})
    anySection = anySection || memmem(text, length, name, strlen(name)) != nullptr;
  if (!anySection) {
    if (mode) EngineErrorF("The template '%s' has no sections", path.c_str());
    free(text);
    return false;
  }
  g_template.clear();
  g_template.reserve(length);
  // A CR that ends a line is not part of the template's text.
  for (size_t i = 0; i < length; ++i)
    if (!(text[i] == '\r' && i + 1 < length && text[i + 1] == '\n')) g_template += text[i];
  free(text);
  return true;
}

}  // namespace

bool LoadHtmlTemplate(const char* folder) {
  FreeHtmlTemplate();
  std::string dir = folder && *folder ? folder : tv::ProgramDir() + "Resource/";
  if (dir.back() != '/') dir += '/';
  return ReadTemplate(dir + "Template1.r_tmpl", 0) || ReadTemplate(dir + "dTempl.r_tmpl", 1);
}

void FreeHtmlTemplate() {
  std::string().swap(g_template);
  std::string().swap(g_cells);
  for (TemplateVariable& v : g_templateVariables) v.value.clear();
}

const std::string& LoadedHtmlTemplate() { return g_template; }

const std::string& GetTemplateSection(const char* name, const std::string& tmpl, std::string& buffer, int mode) {
  if (mode == 0) buffer.clear();
  size_t at = tmpl.find(name);
  if (at == std::string::npos) return buffer;
  size_t start = at + strlen(name);
  while (start < tmpl.size() && (tmpl[start] == '\r' || tmpl[start] == '\n')) ++start;
  size_t end = tmpl.find('[', start);
  // The line break before the next section's name belongs to neither.
  end = end == std::string::npos ? tmpl.size() : (end > start ? end - 1 : start);
  buffer.append(tmpl, start, end - start);
  return buffer;
}

void ReplaceTemplateVariable(const TemplateVariable& variable, std::string& buffer) {
  bool selfNaming = FindIgnoringCase(variable.value, variable.name) != std::string::npos;
  size_t at;
  while ((at = FindIgnoringCase(buffer, variable.name)) != std::string::npos) {
    buffer.replace(at, strlen(variable.name), variable.value);
    if (selfNaming) break;
  }
}

bool WriteTemplateSection(const char* name, const std::string& tmpl, std::string& buffer, FILE* file, int mode,
                          const char* wrapVariable) {
  if (mode == kSectionAppendCell) {
    // The section is filled on its own before it joins the row, so texts already
    // in the row (taken from logs) are never read as variables.
    std::string cell;
    GetTemplateSection(name, tmpl, cell, 0);
    for (const TemplateVariable& v : g_templateVariables) ReplaceTemplateVariable(v, cell);
    buffer += cell;
    return true;
  }
  if (mode == kSectionWrapCells) {
    std::string cells = std::move(buffer);
    GetTemplateSection(name, tmpl, buffer, 0);
    ReplaceTemplateVariable(g_templateVariables[kVarParameters], buffer);
    if (wrapVariable) ReplaceTemplateVariable(TemplateVariable{wrapVariable, std::move(cells)}, buffer);
    return WriteText(file, buffer);
  }
  GetTemplateSection(name, tmpl, buffer, 0);
  for (const TemplateVariable& v : g_templateVariables) ReplaceTemplateVariable(v, buffer);
  return WriteText(file, buffer);
}

bool OutputTemplateSection(const char* name, FILE* file, int mode, const char* wrapVariable) {
  return WriteTemplateSection(name, g_template, g_cells, file, mode, wrapVariable);
}

void ClearTemplateOutput() { g_cells.clear(); }

std::string FormatCellAttributes(int rowSpan, int colSpan, const char* className, bool valignCenter) {
  std::string a;
  if (rowSpan > 1) AppendF(a, " rowspan=%i", rowSpan);
  if (colSpan > 1) AppendF(a, " colspan=%i", colSpan);
  if (className) AppendF(a, " class=\"%s\"", className);
  if (valignCenter) a += " valign=center";
  return a;
}

bool WriteHtmlRow(FILE* file, std::string& attributes, const std::string& text, const char* className) {
  g_templateVariables[kVarText].value = text;
  g_templateVariables[kVarParameters].value = attributes;
  OutputTemplateSection("[TableCell]", file, kSectionAppendCell);
  attributes = FormatCellAttributes(0, 0, className, false);
  g_templateVariables[kVarParameters].value = attributes;
  return OutputTemplateSection("[TableRow]", file, kSectionWrapCells, "%Cells%");
}

void AppendWrappableText(std::string& dest, const char* text) {
  if (!text) return;
  const std::string plain = PlainText(text);
  text = plain.c_str();
  size_t run = 0;
  for (size_t i = 0; text[i]; ++i) {
    char c = text[i];
    // Blanks go between characters, never inside one.
    bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (starts && i > 9 && (strchr("/\\?+-%=:", c) || run >= 50)) {
      dest += ' ';
      run = 0;
    }
    switch (c) {
      case '&': dest += " &amp;"; break;
      case '<': dest += "&lt;"; break;
      case '>': dest += "&gt;"; break;
      case '"': dest += "&quot;"; break;
      default: dest += c; break;
    }
    run += starts;
  }
}

namespace {
// Only web addresses become links; any other ("javascript:") is shown as text.
void AppendLink(std::string& dest, const char* address, const char* text) {
  if (!IsWebAddress(address)) {
    AppendWrappableText(dest, text);
    return;
  }
  dest += "<A href=\"";
  AppendHtmlEscaped(dest, address);
  dest += "\" TARGET=\"_blank\">";
  AppendWrappableText(dest, text);
  dest += "</A>";
}
}  // namespace

void WriteHtmlLink(std::string& dest, const char* page) {
  char joined[kUrlTextSize];
  const char* url = JoinSiteUrl(joined, sizeof joined, g_project.url, page ? page : "");
  if (!url || !*url) {
    AppendHtmlEscaped(dest, page);
    return;
  }
  AppendLink(dest, url, page);
}

void AppendSelfLink(std::string& dest, const char* text) { AppendLink(dest, text, text); }

// ---------------------------------------------------------------------------
// Pages

namespace {

// Days since 1970-01-01 of a packed date (proleptic Gregorian).
int64_t DaysOfDate(uint32_t packed) {
  int64_t y = packed >> 16, m = (packed >> 8) & 0xFF, d = packed & 0xFF;
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string DateTimeText(uint32_t date, uint32_t seconds) {
  char d[64], t[64];
  std::array<uint8_t, CHitRecord::kMaxSize> bytes{};
  auto* r = reinterpret_cast<CHitRecord*>(bytes.data());
  r->SetDate(date & 0xFF, (date >> 8) & 0xFF, date >> 16);
  r->SetSeconds(seconds);
  std::string s = FormatDate(d, sizeof d, date, false);
  return s + " " + FormatTimeOfDay(t, sizeof t, r);
}

std::string Term(int id) {
  std::string s;
  AppendHtmlKeepEntities(s, GetTerm(id));
  return s;
}
std::string Number(uint64_t v) { return std::to_string(v); }
std::string Share(double part, double whole) {
  char b[64];
  snprintf(b, sizeof b, "%1.2lf", whole > 0 ? part * 100.0 / whole : 0.0);
  return b;
}
std::string Size(uint64_t bytes) {
  char b[64];
  return FormatSize(b, sizeof b, static_cast<int64_t>(bytes));
}
std::string Escaped(const char* text) {
  std::string s;
  AppendHtmlEscaped(s, text);
  return s;
}
// Vocabulary texts may carry entities of their own.
std::string VocabText(const char* text) {
  std::string s;
  AppendHtmlKeepEntities(s, text);
  return s;
}

TemplateVariable& Var(TemplateVariableId id) { return g_templateVariables[id]; }

// The cells of one row, each with the attributes it is given.
class RowWriter {
 public:
  explicit RowWriter(FILE* file) : m_file(file) {}
  void Cell(const std::string& text, const std::string& attributes = "") {
    Var(kVarText).value = text;
    Var(kVarParameters).value = attributes;
    OutputTemplateSection("[TableCell]", m_file, kSectionAppendCell);
  }
  bool End(const char* className) {
    Var(kVarParameters).value = FormatCellAttributes(0, 0, className, false);
    bool ok = OutputTemplateSection("[TableRow]", m_file, kSectionWrapCells, "%Cells%");
    ClearTemplateOutput();
    return ok;
  }

 private:
  FILE* m_file;
};

bool IsPageKind(int kind) {
  switch (kind) {
    case kReportPage: case kReportEntry: case kReportExit: case kReportFolder: case kReportArgument:
    case kReportPageName: case kReportFile:
      return true;
    default:
      return false;
  }
}

void AppendReferrerCell(std::string& cell, const char* referrer) {
  if (referrer && strchr(referrer, '.')) AppendSelfLink(cell, referrer);
  else AppendHtmlEscaped(cell, referrer);
}

std::string KeyCell(int kind, const CRow& row, bool longForm) {
  const CHitRecord* rec = row.Record();
  std::string cell;
  if (!rec) return cell;
  std::vector<char> buffer(kUrlTextSize);
  const char* key = GetHitFieldText(kind, buffer.data(), rec, buffer.size(), longForm);
  if (IsPageKind(kind)) {
    const char* longKey = GetHitFieldText(kind, buffer.data(), rec, buffer.size(), true);
    std::string keyText = longKey ? longKey : "";
    std::string target = kind == kReportArgument ? (rec->PageText() ? rec->PageText() : "") : keyText;
    char joined[kUrlTextSize];
    const char* url = JoinSiteUrl(joined, sizeof joined, g_project.url, target.c_str());
    if (url && *url) {
      std::string address = url;
      if (kind == kReportArgument && g_project.display.ignore_argm) address += std::string("?") + QueryPartOfUrl(rec->Page());
      AppendLink(cell, address.c_str(), keyText.c_str());
    } else {
      AppendHtmlEscaped(cell, keyText.c_str());
    }
    return cell;
  }
  switch (kind) {
    case kReportReferrer:
    case kReportReferringSite:
      AppendReferrerCell(cell, key);
      break;
    case kReportPath: {
      std::string path;
      if (g_pathList.PathText(rec->VisitorId(), &path)) AppendHtmlEscaped(cell, path.c_str());
      break;
    }
    case kReportError: {
      WriteHtmlLink(cell, rec->PageText());
      cell += "<BR>";
      const char* ref = rec->GetReferrer() ? g_pools.referrers.Text(rec->GetReferrer()) : nullptr;
      if (ref && *ref) AppendSelfLink(cell, ref);
      else cell += Term(50);
      break;
    }
    case kReportSpiderAgent:
      AppendHtmlEscaped(cell, key);
      cell += "<BR>";
      WriteHtmlLink(cell, rec->PageText());
      break;
    default:
      AppendHtmlEscaped(cell, key);
      break;
  }
  return cell;
}

std::string CountryCell(const CRow& row) {
  char b[kUrlTextSize];
  return row.Record() ? Escaped(GetHitFieldText(kReportCountry, b, row.Record(), sizeof b, false)) : "";
}

bool TotalShowsVisitors(int kind) {
  switch (kind) {
    case 7: case 8: case 9: case 11: case 12: case 13: case 18: case 20: case 21: case 22: case 24: case 27: case 39:
      return true;
    default:
      return false;
  }
}

// False when the table was stopped or a write failed.
bool WriteReportHtmlTable(FILE* file, int kind, const CRowTable& table, const char* label, const char* secondTitle,
                          SortCompareFn compare, const std::string& pictureFolder) {
  bool ok = true;
  CRowIndex index;
  SetReportSortOrder(kind, table, index, compare);
  ReportColumns cols;
  cols.showGroups = g_project.counter_groups;
  GetReportColumns(kind, cols);
  uint32_t groups = cols.showGroups ? std::min<uint32_t>(table.GroupSlots(), static_cast<uint32_t>(g_project.groups.Count())) : 0;
  const SettingsBlock& s = g_settings;
  bool received = g_project.send_receive != 0;
  bool hostKind = kind == kReportHost || kind == kReportVisitor;

  Var(kVarLabel).value = label ? label : "";
  Var(kVarReportName).value = VocabText(ColumnTerm(kind));
  ok &= OutputTemplateSection("[TableTitle]", file, kSectionWrite);

  int width = 0, height = 0;
  auto picture = BuildReportChart(kind, table, &width, &height, pictureFolder.c_str(), nullptr, secondTitle,
                                  g_language.common.engl_chart ? 9u : 137u, compare);
  if (picture) {
    Var(kVarLink).value = Escaped(picture->c_str());
    Var(kVarWidth).value = std::to_string(width);
    Var(kVarHeight).value = std::to_string(height);
    ok &= OutputTemplateSection("[TableChart]", file, kSectionWrite);
    Var(kVarLink).value.clear();
    Var(kVarWidth).value.clear();
    Var(kVarHeight).value.clear();
  }
  ok &= OutputTemplateSection("[TableHeader]", file, kSectionWrite);
  ClearTemplateOutput();

  RowWriter row(file);
  int span = groups ? 3 : 2;
  auto span1 = [](int32_t pct) { return 1 + (pct ? 1 : 0); };
  if (cols.showRowNumber) row.Cell("&nbsp;", FormatCellAttributes(span, 0, nullptr, false));
  std::string keyAttr = FormatCellAttributes(span, 0, nullptr, true);
  row.Cell(VocabText(ReportKindTitle(kind)), keyAttr);
  if (hostKind) row.Cell(Term(19), keyAttr);
  if (cols.showHits) row.Cell(Term(0), FormatCellAttributes(0, span1(s.add_proc_h), nullptr, true));
  if (cols.showVisitors) row.Cell(Term(1), FormatCellAttributes(0, span1(s.add_proc_u), nullptr, true));
  if (cols.showPages) row.Cell(Term(2), FormatCellAttributes(0, span1(s.add_proc_p), nullptr, true));
  if (cols.showBandwidth) {
    if (received) {
      row.Cell(Term(108), FormatCellAttributes(0, span1(s.add_proc_b), nullptr, true));
      row.Cell(Term(109), FormatCellAttributes(0, span1(s.add_proc_b), nullptr, true));
    } else {
      row.Cell(Term(90), FormatCellAttributes(0, span1(s.add_proc_b), nullptr, true));
    }
  }
  for (uint32_t g = 0; g < groups; ++g)
    row.Cell(Escaped(FileTypeGroupName(static_cast<int>(g))),
             FormatCellAttributes(0, 2 + (s.add_proc_h ? 1 : 0) + (s.add_proc_b ? 1 : 0), nullptr, true));
  ok &= row.End("TableTitle");

  std::string second = FormatCellAttributes(groups ? 2 : 0, 0, nullptr, true);
  auto blankAndPct = [&](bool shown, int32_t pct, int times) {
    if (!shown) return;
    for (int t = 0; t < times; ++t) {
      row.Cell("&nbsp;", second);
      if (pct) row.Cell("%", second);
    }
  };
  blankAndPct(cols.showHits, s.add_proc_h, 1);
  blankAndPct(cols.showVisitors, s.add_proc_u, 1);
  blankAndPct(cols.showPages, s.add_proc_p, 1);
  blankAndPct(cols.showBandwidth, s.add_proc_b, received ? 2 : 1);
  for (uint32_t g = 0; g < groups; ++g) {
    row.Cell(Term(0), FormatCellAttributes(0, span1(s.add_proc_h), nullptr, true));
    row.Cell(Term(90), FormatCellAttributes(0, span1(s.add_proc_b), nullptr, true));
  }
  ok &= row.End("TableTitle");
  if (groups) {
    std::string v = FormatCellAttributes(0, 0, nullptr, true);
    for (uint32_t g = 0; g < groups; ++g) {
      row.Cell("&nbsp;", v);
      if (s.add_proc_h) row.Cell("%", v);
      row.Cell("&nbsp;", v);
      if (s.add_proc_b) row.Cell("%", v);
    }
    ok &= row.End("TableTitle");
  }

  const CRowTotals& tot = table.totals;
  const std::string value = FormatCellAttributes(0, 0, "Value", false);
  auto numberCells = [&](bool shown, uint64_t v, double whole, int32_t pct, bool asSize) {
    if (!shown) return;
    row.Cell(asSize ? Size(v) : Number(v), value);
    if (pct) row.Cell(Share(static_cast<double>(v), whole), value);
  };
  uint32_t written = 0;
  for (uint32_t i = 0; i < index.Count(); ++i) {
    if (StopRequested()) return false;
    const CRow& r = *index[i];
    if ((kind == kReportReferrer || kind == kReportReferringSite) && !s.no_refer && r.Record() &&
        !r.Record()->GetReferrer())
      continue;
    if (cols.showRowNumber) row.Cell(Number(i + 1), FormatCellAttributes(0, 0, "NumberCells", false));
    row.Cell(KeyCell(kind, r, cols.longKeyText != 0), FormatCellAttributes(0, 0, "Detail", false));
    if (hostKind) row.Cell(CountryCell(r));
    numberCells(cols.showHits, r.Hits(), tot.hits, s.add_proc_h, false);
    numberCells(cols.showVisitors, r.Visitors(), tot.visitors, s.add_proc_u, false);
    numberCells(cols.showPages, r.Pages(), tot.pages, s.add_proc_p, false);
    numberCells(cols.showBandwidth, r.BytesSent(), static_cast<double>(tot.bytesSent), s.add_proc_b, true);
    numberCells(cols.showBandwidth && received, r.BytesReceived(), static_cast<double>(tot.bytesReceived),
                s.add_proc_b, true);
    for (uint32_t g = 0; g < groups; ++g) {
      if (r.GroupHits(g) == 0) {
        int n = 2 + (s.add_proc_h ? 1 : 0) + (s.add_proc_b ? 1 : 0);
        for (int k = 0; k < n; ++k) row.Cell("&nbsp;");
        continue;
      }
      row.Cell(Number(r.GroupHits(g)));
      if (s.add_proc_h) row.Cell(Share(r.GroupHits(g), tot.groups[g].hits));
      row.Cell(Size(r.GroupBytes(g)));
      if (s.add_proc_b) row.Cell(Share(static_cast<double>(r.GroupBytes(g)), static_cast<double>(tot.groups[g].bytesSent)));
    }
    ok &= row.End(written++ % 2 == 0 ? "TableRow1" : "TableRow2");
  }

  // Totals, column for column as the header.
  row.Cell(Term(59), FormatCellAttributes(0, cols.showRowNumber ? 2 : 1, "TotalDetail", false));
  if (hostKind) row.Cell("&nbsp;");
  auto totalCells = [&](bool shown, const std::string& text, int32_t pct) {
    if (!shown) return;
    row.Cell(text);
    if (pct) row.Cell("&nbsp;");
  };
  totalCells(cols.showHits, Number(tot.hits), s.add_proc_h);
  totalCells(cols.showVisitors, TotalShowsVisitors(kind) ? Number(tot.visitors) : "&nbsp;", s.add_proc_u);
  totalCells(cols.showPages, Number(tot.pages), s.add_proc_p);
  totalCells(cols.showBandwidth, Size(tot.bytesSent), s.add_proc_b);
  totalCells(cols.showBandwidth && received, Size(tot.bytesReceived), s.add_proc_b);
  for (uint32_t g = 0; g < groups; ++g) {
    totalCells(true, Number(tot.groups[g].hits), s.add_proc_h);
    totalCells(true, Size(tot.groups[g].bytesSent), s.add_proc_b);
  }
  ok &= row.End("TableTotal");
  ok &= OutputTemplateSection("[TableFooter]", file, kSectionWrite);
  Var(kVarParameters).value.clear();
  Var(kVarText).value.clear();
  Var(kVarReportName).value.clear();
  Var(kVarLabel).value.clear();
  return ok;
}

bool WriteGeneralStatsHtml(FILE* file, const char* label, const CSummaryStats& st, const std::tm& now) {
  Var(kVarLabel).value = label;
  Var(kVarReportName).value = VocabText(ColumnTerm(kReportSummary));
  bool ok = OutputTemplateSection("[TableTitle]", file, kSectionWrite);
  ok &= OutputTemplateSection("[TableHeader]", file, kSectionWrite);
  ClearTemplateOutput();
  std::string period;
  int days = FormatReportPeriod(period, st);
  char date[64];
  char when[160];
  snprintf(when, sizeof when, "%s %02i:%02i:%02i",
           FormatDate(date, sizeof date,
                      static_cast<uint32_t>((now.tm_mday & 0xFF) | ((now.tm_mon + 1) << 8) | ((now.tm_year + 1900) << 16)), false),
           now.tm_hour, now.tm_min, now.tm_sec);
  char perDay[32];
  snprintf(perDay, sizeof perDay, "%lu", static_cast<unsigned long>(static_cast<double>(st.hits) / days));
  struct Line {
    int group;  // term, -1 none
    int groupSpan;
    const char* groupClass;
    int term;
    const char* labelClass;
    std::string value;
    const char* rowClass;
  };
  const uint32_t d = static_cast<uint32_t>(days);
  const Line lines[] = {
      {92, 3, nullptr, 95, "TableRow2", Escaped(period.c_str()), "TableRow1"},
      {-1, 0, nullptr, 96, nullptr, Escaped(when), "TableRow1"},
      {-1, 0, nullptr, 97, "TableRow2", std::to_string(days), "TableRow1"},
      {0, 2, "TableRow2", 98, nullptr, Number(st.hits), "TableRow1"},
      {-1, 0, nullptr, 99, nullptr, perDay, "TableRow2"},
      {8, 2, nullptr, 100, nullptr, Number(st.pageViews), "TableRow1"},
      {-1, 0, nullptr, 101, nullptr, Number(st.pageViews / d), "TableRow2"},
      {6, 3, nullptr, 102, "TableRow1", Number(st.visitors), "TableRow2"},
      {-1, 0, nullptr, 103, nullptr, Number(st.visitors / d), "TableRow2"},
      {-1, 0, nullptr, 104, nullptr, Number(st.hosts), "TableRow1"},
      {90, 2, "TableRow1", 105, nullptr, Size(st.bytesSent), "TableRow2"},
      {-1, 0, nullptr, 106, nullptr, Size(static_cast<uint64_t>(static_cast<int64_t>(st.bytesSent) / days)), "TableRow1"},
  };
  RowWriter row(file);
  for (const Line& l : lines) {
    if (l.group >= 0) row.Cell(Term(l.group), FormatCellAttributes(l.groupSpan, 0, l.groupClass, false));
    row.Cell(Term(l.term), FormatCellAttributes(0, 0, l.labelClass, false));
    row.Cell(l.value, FormatCellAttributes(0, 0, l.labelClass, false));
    ok &= row.End(l.rowClass);
  }
  ok &= OutputTemplateSection("[TableFooter]", file, kSectionWrite);
  Var(kVarReportName).value.clear();
  Var(kVarLabel).value.clear();
  return ok;
}

bool WriteHtmlDetailTable(FILE* file, const CRowTable& table) {
  Var(kVarLabel).value = VocabText(ColumnTerm(kReportItems));
  Var(kVarReportName).value = Var(kVarLabel).value;
  bool ok = OutputTemplateSection("[TableTitle]", file, kSectionWrite);
  ok &= OutputTemplateSection("[TableHeader]", file, kSectionWrite);
  ClearTemplateOutput();
  bool received = g_project.send_receive != 0;
  RowWriter row(file);
  row.Cell("&nbsp;");
  for (int t : {3, 92}) row.Cell(Term(t));
  if (received) {
    row.Cell(Term(108));
    row.Cell(Term(109));
  } else {
    row.Cell(Term(90));
  }
  for (int t : {25, 7, 9, 29, 94}) row.Cell(Term(t));
  ok &= row.End("TableTitle");
  char b[kUrlTextSize], t[64];
  for (int32_t i = 0; i < table.RowCount(); ++i) {
    if (StopRequested()) return false;
    const CHitRecord* r = table.GetRow(i)->Record();
    if (!r) continue;
    row.Cell(Number(static_cast<uint64_t>(i) + 1));
    row.Cell(Escaped(FormatHostText(b, sizeof b, r, true, true)));
    row.Cell(Escaped(DateTimeText(r->PackedDate(), r->Seconds()).c_str()));
    row.Cell(Size(r->BytesSent()));
    if (received) row.Cell(Size(r->GetBytesReceived()));
    row.Cell(Escaped(StatusCodeText(t, sizeof t, r->Status(), true)));
    row.Cell(Escaped(r->PageText()));
    const char* ref = r->GetReferrer() ? g_pools.referrers.Text(r->GetReferrer()) : nullptr;
    std::string refCell;
    if (ref && *ref) AppendReferrerCell(refCell, ref);
    else refCell = Term(50);
    row.Cell(refCell);
    row.Cell(Escaped(r->GetUserAgent() ? g_pools.agents.Text(r->GetUserAgent()) : ""));
    row.Cell(Escaped(r->GetCookie() ? g_pools.cookies.Text(r->GetCookie()) : ""));
    ok &= row.End(i % 2 == 0 ? "TableRow1" : "TableRow2");
  }
  ok &= OutputTemplateSection("[TableFooter]", file, kSectionWrite);
  Var(kVarReportName).value.clear();
  Var(kVarLabel).value.clear();
  return ok;
}

}  // namespace

int FormatReportPeriod(std::string& out, const CSummaryStats& stats) {
  bool hasStart = g_project.from_date != 0 || stats.firstDate != 0;
  bool hasEnd = g_project.to_date != 0 || stats.lastDate != 0;
  if (!g_project.from_date && !g_project.to_date && !stats.firstDate) {
    out = "-";
    return 1;
  }
  uint32_t startDate = g_project.from_date ? g_project.from_date : stats.firstDate;
  uint32_t startTime = g_project.from_date ? 0 : stats.firstTime;
  uint32_t endDate = g_project.to_date ? g_project.to_date : stats.lastDate;
  uint32_t endTime = g_project.to_date ? 86399 : stats.lastTime;
  out = (hasStart ? DateTimeText(startDate, startTime) : std::string("-")) + " - " +
        (hasEnd ? DateTimeText(endDate, endTime) : std::string("-"));
  if (!hasStart || !hasEnd) return 1;
  int64_t a = DaysOfDate(startDate) * 86400 + startTime;
  int64_t b = DaysOfDate(endDate) * 86400 + endTime;
  int64_t days = (a > b ? a - b : b - a) / 86400 + 1;
  return days < 1 ? 1 : static_cast<int>(days);
}

bool ExportReportToHtml(const char* path, int kind, const CRowTable& table, const char* secondTitle,
                        const CQueryParams& params, SortCompareFn compare, const char* templateFolder) {
  // Without a template there is no page: the reader has said why, and the file
  // is neither made nor emptied.
  if (!LoadHtmlTemplate(templateFolder)) return false;
  FILE* file = fopen(path, "w+");
  if (!file) {
    FreeHtmlTemplate();
    return false;
  }
  EngineInfo("Export...");
  // The chart picture goes beside the page, where its link expects it.
  std::string folder = path;
  size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);

  Var(kVarPageTitle).value = VocabText(ColumnTerm(kind));
  bool ok = OutputTemplateSection("[PageHeader]", file, kSectionWrite);
  Var(kVarPageTitle).value.clear();
  if (kind == kReportSummary) {
    std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    CSummaryStats stats;
    RunSummaryQuery(g_project, stats, params);
    ok &= !StopRequested() && WriteGeneralStatsHtml(file, "-", stats, now);
  } else if (kind == kReportItems) {
    ok &= WriteHtmlDetailTable(file, table);
  } else {
    ok &= WriteReportHtmlTable(file, kind, table, "", secondTitle, compare, folder);
  }
  ok &= OutputTemplateSection("[PageFooter]", file, kSectionWrite);
  ok = (fclose(file) == 0) && ok;
  FreeHtmlTemplate();
  if (ok) EngineInfo("Export successful");
  return ok;
}
