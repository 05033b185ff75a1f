#include "output/textexport.h"

#include <cinttypes>
#include <cstring>
#include <vector>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/pathlist.h"
#include "engine/query/summary.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/urltext.h"
#include "output/outtext.h"
#include "output/reportrows.h"
#include "platform/folders.h"

namespace {

const char* const kBoundary = "----=_NextPart_000_000A_010D020C.76543210";

// The widest a column is padded to: a longer text (a hostile language term, a
// long log text) is written whole but does not widen every row of the table.
constexpr int kMaxColumnWidth = 255;
int ColumnWidth(int width) { return width < kMaxColumnWidth ? width : kMaxColumnWidth; }

// A vocabulary term as it is written: UTF-8, and its width in characters.
std::string Term(int id) { return PlainText(GetTerm(id)); }
int TermWidth(int id) { return ColumnWidth(TextWidth(Term(id))); }
int DecimalLength(uint64_t n) {
  int len = 1;
  while (n >= 10) {
    n /= 10;
    ++len;
  }
  return len;
}
double Share(uint64_t part, uint64_t total) {
  return total ? static_cast<double>(part) * 100.0 / static_cast<double>(total) : 0.0;
}

bool BytesReceivedRecorded() { return g_project.send_receive != 0; }

// Column widths of one table, recomputed for every table.
struct Widths {
  int row = 0, hits = 0, visitors = 0, pages = 0, sent = 0, received = 0;
};

void WriteDashes(std::string& out, int n) {
  out.append(static_cast<size_t>(n > 0 ? n : 0), '-');
  out += '+';
}

void WriteTextSeparatorRow(std::string& out, const Widths& w, bool showPages, bool showVisitors) {
  const SettingsBlock& s = g_settings;
  WriteDashes(out, w.row);
  WriteDashes(out, w.hits + (s.add_proc_h ? 5 : 0));
  if (showVisitors) WriteDashes(out, w.visitors + (s.add_proc_u ? 5 : 0));
  if (showPages) WriteDashes(out, w.pages + (s.add_proc_p ? 5 : 0));
  WriteDashes(out, w.sent + (s.add_proc_b ? 5 : 0));
  if (BytesReceivedRecorded()) WriteDashes(out, w.received + (s.add_proc_b ? 5 : 0));
  out += "-----------------------\n";
}

void WriteTextColumn(std::string& out, int width, const std::string& text, bool notLast) {
  AppendPadded(out, text, width);
  if (notLast) out += '|';
}

// A text from the log: plain in the text part, escaped in the HTML part.
void PutLogText(std::string& out, const char* text, int mode) {
  if (mode == kTableHtml)
    AppendHtmlEscaped(out, text);
  else
    AppendPlainText(out, text);
}

// A link only to a web address; any other address is shown as escaped text.
void PutLink(std::string& out, const char* address, const char* text, const char* attributes) {
  if (!IsWebAddress(address)) {
    AppendHtmlEscaped(out, text);
    return;
  }
  out += "<A href=\"";
  AppendHtmlEscaped(out, address);
  out += '"';
  out += attributes;
  out += '>';
  AppendHtmlEscaped(out, text);
  out += "</A>";
}

void WriteKeyText(std::string& out, int kind, const CHitRecord* r, int mode, bool longKeyText) {
  char buf[kUrlTextSize];
  switch (kind) {
    case kReportPage:
    case kReportEntry:
    case kReportExit: {
      const char* page = GetHitFieldText(kind, buf, r, sizeof buf, longKeyText);
      if (mode != kTableHtml) {
        AppendPlainText(out, page);
        break;
      }
      char joined[kUrlTextSize];
      JoinSiteUrl(joined, sizeof joined, g_project.url, page);
      out += "<TD>";
      PutLink(out, joined, page, " TARGET=\"_blank\"");
      out += "</TD>";
      break;
    }
    case kReportReferrer:
    case kReportReferringSite: {
      const char* referrer = g_pools.referrers.Text(r->GetReferrer());
      if (!referrer) {
        PutLogText(out, GetTerm(kTermNoRefer), mode);
        break;
      }
      const char* text = kind == kReportReferrer ? referrer : CopyUrlWithoutScheme(buf, referrer, sizeof buf, 0);
      if (mode != kTableHtml) {
        AppendPlainText(out, text);
        break;
      }
      // The site's text has no scheme; its link goes where the referrer went.
      char site[kUrlTextSize];
      PutLink(out, kind == kReportReferrer ? referrer : CopyUrlWithoutScheme(site, referrer, sizeof site, 1), text, "");
      break;
    }
    case kReportPath: {
      std::string path;
      g_pathList.PathText(r->VisitorId(), &path);
      PutLogText(out, path.c_str(), mode);
      break;
    }
    default: {
      const char* text = GetHitFieldText(kind, buf, r, sizeof buf, longKeyText);
      if (mode == kTableHtml)
        AppendHtmlKeepEntities(out, text);
      else
        AppendPlainText(out, text);
    }
  }
  out += '\n';
}

void WriteGeneralStatsText(std::string& out, const CSummaryStats& s) {
  auto line = [&](const std::string& label, const std::string& value) {
    AppendPadded(out, label, 45);
    out += "| ";
    out += value;
    out += '\n';
  };
  line(Term(kTermDetail), Term(kTermValue));
  WriteDashes(out, 45);
  out += "---------------\n";
  for (const SummaryLine& l : SummaryLines(s)) line(Term(l.term), l.value);
}

void WriteReportDetailTable(std::string& out, const CRowTable& table, int mode) {
  const bool received = BytesReceivedRecorded();
  std::vector<int> terms = {kTermHost, kTermDate};
  if (received) {
    terms.push_back(kTermSend);
    terms.push_back(kTermReceive);
  } else {
    terms.push_back(kTermBandwidth);
  }
  for (int t : {kTermStatus, kTermPage, kTermRefer, kTermUserAgent, kTermCookie}) terms.push_back(t);
  const size_t cols = terms.size();
  const size_t firstText = received ? 4 : 3;  // columns before are the host, the date and numbers

  const int32_t n = table.RowCount();
  std::vector<std::vector<std::string>> cells(static_cast<size_t>(n));
  std::vector<int> width(cols);
  for (size_t c = 0; c < cols; ++c) width[c] = TermWidth(terms[c]);
  for (int32_t i = 0; i < n; ++i) {
    const CHitRecord* r = table.GetRow(i)->Record();
    std::vector<std::string>& row = cells[static_cast<size_t>(i)];
    char a[kUrlTextSize], b[64];
    // Cells as written (UTF-8, controls as blanks), so widths count characters.
    row.push_back(PlainText(FormatHostText(a, sizeof a, r, true, true)));
    std::string date = PlainText(FormatDate(a, sizeof a, r->PackedDate(), false));
    date += ' ';
    date += FormatTimeOfDay(b, sizeof b, r);
    row.push_back(date);
    row.push_back(std::to_string(r->BytesSent()));
    if (received) row.push_back(std::to_string(r->GetBytesReceived()));
    row.push_back(PlainText(StatusCodeText(a, sizeof a, r->Status(), true)));
    row.push_back(PlainText(r->PageText()));
    const char* referrer = g_pools.referrers.Text(r->GetReferrer());
    row.push_back(referrer ? PlainText(referrer) : "-");
    row.push_back(PlainText(g_pools.agents.Text(r->GetUserAgent())));
    row.push_back(PlainText(g_pools.cookies.Text(r->GetCookie())));
    for (size_t c = 0; c < cols; ++c) width[c] = MaxInt(width[c], ColumnWidth(TextWidth(row[c])));
  }
  const int rowWidth = DecimalLength(static_cast<uint64_t>(n));
  auto separator = [&] {
    WriteDashes(out, rowWidth);
    for (size_t c = 0; c < cols; ++c) WriteDashes(out, width[c]);
    out += "-----------------------\n";
  };
  separator();
  AppendF(out, "%*s|", rowWidth, "");
  for (size_t c = 0; c < cols; ++c) WriteTextColumn(out, width[c], Term(terms[c]), c + 1 < cols);
  out += "\n";
  separator();
  for (int32_t i = 0; i < n; ++i) {
    AppendF(out, "%*" PRId32 "|", rowWidth, i + 1);
    const std::vector<std::string>& row = cells[static_cast<size_t>(i)];
    for (size_t c = 0; c < cols; ++c) {
      bool last = c + 1 == cols;
      bool number = c >= 2 && c < firstText;
      // Widths count the text as read; escaping in the HTML part adds entities
      // after the padding so the columns stay put when shown.
      std::string text;
      PutLogText(text, row[c].c_str(), mode);
      int pad = MaxInt(0, width[c] - TextWidth(row[c]));
      if (number) out.append(static_cast<size_t>(pad), ' ');
      out += text;
      if (!number && !last) out.append(static_cast<size_t>(pad), ' ');
      if (!last) out += '|';
    }
    out += "\n";
  }
}

}  // namespace

int WriteReportTable(std::string& out, int kind, const CRowTable& table, int mode, const CQueryParams& params,
                     SortCompareFn compare) {
  AppendPlainText(out, ColumnTerm(kind));
  out += "\n";
  if (kind == kReportItems) {
    WriteReportDetailTable(out, table, mode);
    return 1;
  }
  if (kind == kReportSummary) {
    CSummaryStats stats;
    RunSummaryQuery(g_project, stats, params);
    WriteGeneralStatsText(out, stats);
    return 1;
  }
  CRowIndex index;
  SetReportSortOrder(kind, table, index, compare);
  ReportColumns cols;
  GetReportColumns(kind, cols);
  const bool showVisitors = cols.showVisitors != 0, showPages = cols.showPages != 0;
  const bool received = BytesReceivedRecorded();
  const SettingsBlock& s = g_settings;
  const CRowTotals& t = table.totals;

  Widths w;
  w.row = DecimalLength(index.Count());
  w.hits = MaxInt(TermWidth(kTermHits), DecimalLength(t.hits));
  w.visitors = MaxInt(TermWidth(kTermVisitor), DecimalLength(t.visitors));
  w.pages = MaxInt(TermWidth(kTermPage), DecimalLength(t.pages));
  w.sent = MaxInt(TermWidth(received ? kTermSend : kTermBandwidth), DecimalLength(t.bytesSent));
  w.received = MaxInt(TermWidth(kTermReceive), DecimalLength(t.bytesReceived));

  const char* const kPercentCell = "  %  |";
  const char* const kBlankShare = "     |";
  WriteTextSeparatorRow(out, w, showPages, showVisitors);
  AppendF(out, "%*s|", w.row, "");
  AppendPadded(out, Term(kTermHits), w.hits, true);
  out += '|';
  if (s.add_proc_h) out += kPercentCell;
  if (showVisitors) {
    AppendPadded(out, Term(kTermVisitor), w.visitors, true);
    out += '|';
    if (s.add_proc_u) out += kPercentCell;
  }
  if (showPages) {
    AppendPadded(out, Term(kTermPage), w.pages, true);
    out += '|';
    if (s.add_proc_p) out += kPercentCell;
  }
  AppendPadded(out, Term(received ? kTermSend : kTermBandwidth), w.sent, true);
  out += '|';
  if (s.add_proc_b) out += kPercentCell;
  if (received) {
    AppendPadded(out, Term(kTermReceive), w.received, true);
    out += '|';
    if (s.add_proc_b) out += kPercentCell;
  }
  AppendPlainText(out, ReportKindTitle(kind));
  out += "\n";
  WriteTextSeparatorRow(out, w, showPages, showVisitors);

  for (uint32_t i = 0; i < index.Count(); ++i) {
    const CRow* row = index[i];
    AppendF(out, "%*u|", w.row, i + 1);
    AppendF(out, "%*u|", w.hits, row->Hits());
    if (s.add_proc_h) AppendF(out, "%5.2f|", Share(row->Hits(), t.hits));
    if (showVisitors) {
      AppendF(out, "%*u|", w.visitors, row->Visitors());
      if (s.add_proc_u) AppendF(out, "%5.2f|", Share(row->Visitors(), t.visitors));
    }
    if (showPages) {
      AppendF(out, "%*u|", w.pages, row->Pages());
      if (s.add_proc_p) AppendF(out, "%5.2f|", Share(row->Pages(), t.pages));
    }
    AppendF(out, "%*" PRIu64 "|", w.sent, row->BytesSent());
    if (s.add_proc_b) AppendF(out, "%5.2f|", Share(row->BytesSent(), t.bytesSent));
    if (received) {
      AppendF(out, "%*" PRIu64 "|", w.received, row->BytesReceived());
      if (s.add_proc_b) AppendF(out, "%5.2f|", Share(row->BytesReceived(), t.bytesReceived));
    }
    WriteKeyText(out, kind, row->Record(), mode, cols.longKeyText != 0);
  }

  WriteTextSeparatorRow(out, w, showPages, showVisitors);
  AppendF(out, "%*s|", w.row, "");
  AppendF(out, "%*u|", w.hits, t.hits);
  if (s.add_proc_h) out += kBlankShare;
  if (showVisitors) {
    AppendF(out, "%*u|", w.visitors, t.visitors);
    if (s.add_proc_u) out += kBlankShare;
  }
  if (showPages) {
    AppendF(out, "%*u|", w.pages, t.pages);
    if (s.add_proc_p) out += kBlankShare;
  }
  AppendF(out, "%*" PRIu64 "|", w.sent, t.bytesSent);
  if (s.add_proc_b) out += kBlankShare;
  if (received) {
    AppendF(out, "%*" PRIu64 "|", w.received, t.bytesReceived);
    if (s.add_proc_b) out += kBlankShare;
  }
  out += ' ';
  out += Term(kTermTotal);
  out += '\n';
  return 1;
}

namespace {

// Closes the file; a write error is reported instead of success.
int FinishExport(COutFile& file, const char* fileName) {
  if (!file.Close()) {
    EngineErrorF("Cannot write the file %s", fileName);
    return 0;
  }
  EngineInfo("Export successful");
  return 1;
}

}  // namespace

int ExportReportToText(const char* fileName, int kind, const CRowTable& table, const CQueryParams& params,
                       SortCompareFn compare) {
  EngineInfo("Export...");
  COutFile file;
  if (!file.Open(fileName)) return 0;
  std::string text;
  WriteReportTable(text, kind, table, kTableText, params, compare);
  file.Put(text);
  return FinishExport(file, fileName);
}

int ExportReportToMail(const char* fileName, int kind, const CRowTable& table, const CQueryParams& params,
                       SortCompareFn compare) {
  COutFile file;
  if (!file.Open(fileName, true)) return 0;
  EngineInfo("Export...");
  std::string m;
  m += "Subject: " + EncodeHeaderText(ColumnTerm(kind)) + "\n";
  m += "MIME-Version: 1.0\n";
  m += "Content-Type: multipart/alternative;\n";
  AppendF(m, "\tboundary=\"%s\"\n", kBoundary);
  m += "X-Priority: 3\nX-MSMail-Priority: Normal\nX-Unsent: 1\n\n";
  m += "This is a multi-part message in MIME format.\n\n";
  AppendF(m, "--%s\n", kBoundary);
  m += "Content-Type: text/plain;\n\tcharset=\"utf-8\"\nContent-Transfer-Encoding: quoted-printable\n\n";
  std::string body;
  WriteReportTable(body, kind, table, kTableText, params, compare);
  body += "\n";
  m += EncodeQuotedPrintable(body);
  AppendF(m, "--%s\n", kBoundary);
  m += "Content-Type: text/html;\n\tcharset=\"utf-8\"\nContent-Transfer-Encoding: quoted-printable\n\n";
  std::string html =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n"
      "<HTML><HEAD>\n"
      "<META http-equiv=Content-Type content=\"text/html; charset=utf-8\">\n"
      "<STYLE></STYLE>\n"
      "</HEAD>\n"
      "<BODY bgColor=#ffffff>\n"
      "<PRE>\n";
  int result = WriteReportTable(html, kind, table, kTableHtml, params, compare);
  html += "\n</PRE>\n</BODY></HTML>\n\n";
  m += EncodeQuotedPrintable(html);
  AppendF(m, "--%s--\n", kBoundary);
  file.Put(m);
  return FinishExport(file, fileName) ? result : 0;
}

std::string MailMessagePath() {
  const std::string& dir = tv::TempDir();
  return dir.empty() ? std::string() : dir + "TVNletter.eml";
}
