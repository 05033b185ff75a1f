// Hostile texts through the export writers. The first byte picks the report
// kind and a few switches; the rest, split at NUL bytes, becomes the page,
// referrer, agent, cookie, user and host texts of two hits (and, with bit 7,
// the site address). The writers must keep the HTML well-formed: every '<'
// opens one of their own tags, every link goes to an http: or https: address;
// no text breaks a text-table row or a CSV record, and no CSV field from the
// log starts a formula. A violation aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/query/query.h"
#include "engine/query/rowtable.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "output/csvexport.h"
#include "output/htmlexport.h"
#include "output/outtext.h"
#include "output/textexport.h"
#include "platform/utf8.h"
#include "tests/engine/hitmaker.h"

namespace {

std::string g_home;
std::string g_page;

void RemoveHome() {
  std::error_code ec;
  std::filesystem::remove_all(g_home, ec);
}

void Check(bool ok, const char* what, const std::string& text) {
  if (ok) return;
  fprintf(stderr, "fuzz_export: %s\n%s\n", what, text.c_str());
  abort();
}

const char kTemplate[] =
    "[PageHeader]<html>%PageTitle%\n[TableTitle]<h2>%ReportName% %Label%</h2>\n[TableChart]<img src=\"%Link%\">\n"
    "[TableHeader]<table>\n[TableRow]<tr%Parameters%>%Cells%</tr>\n\n[TableCell]<td%Parameters%>%Text%</td>\n"
    "[TableFooter]</table>\n[PageFooter]</html>";

const int kKinds[] = {kReportPage,  kReportReferrer, kReportReferringSite, kReportError, kReportItems,
                      kReportKeyword, kReportUser,   kReportSpiderAgent,   kReportHost,  kReportArgument,
                      kReportEntry,  kReportBrowser, kReportOs,            kReportStatus, kReportFolder, kReportDate};

bool StartsWith(const std::string& text, size_t at, const char* prefix) {
  return text.compare(at, strlen(prefix), prefix) == 0;
}

// The writers' own tags, with what may follow their names.
void CheckHtml(const std::string& page) {
  Check(tv::IsValidUtf8(page), "HTML not UTF-8", page);
  static const char* const kClosed[] = {"</td>", "</tr>", "</table>", "</A>", "<BR>", "</h2>", "<h2>", "<html>",
                                        "</html>", "<table>", "<TD>", "</TD>", "<PRE>", "</PRE>"};
  for (size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
    bool known = false;
    for (const char* tag : kClosed) known = known || StartsWith(page, at, tag);
    if (known) continue;
    if (StartsWith(page, at, "<td") || StartsWith(page, at, "<tr")) {
      size_t end = page.find('>', at);
      Check(end != std::string::npos, "open cell", page);
      Check(page.find('<', at + 1) > end, "a text inside a tag", page.substr(at, 200));
      continue;
    }
    if (StartsWith(page, at, "<img src=\"")) continue;
    Check(StartsWith(page, at, "<A href=\""), "unescaped '<'", page.substr(at, 200));
    size_t start = at + 9, end = page.find('"', start);
    Check(end != std::string::npos, "open link", page);
    std::string address = page.substr(start, end - start);
    Check(IsWebAddress(address.c_str()), "link to another scheme", address);
    Check(address.find_first_of("<>") == std::string::npos, "markup in an address", address);
    Check(StartsWith(page, end, "\">") || StartsWith(page, end, "\" TARGET=\"_blank\">"), "link attributes", page);
  }
}

bool IsPlain(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) return false;
  }
  // U+2028 and U+2029 break a line in many viewers.
  if (text.find("\xe2\x80\xa8") != std::string::npos || text.find("\xe2\x80\xa9") != std::string::npos) return false;
  return tv::IsValidUtf8(text);
}

size_t CountLines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// Every field of a CSV record that starts a formula must be our "-".
void CheckCsvRecord(const std::string& line) {
  Check(IsPlain(line) && CountLines(line) == 1 && line.back() == '\n', "CSV record broken", line);
  bool inQuotes = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '"') continue;
    if (!inQuotes && line[i + 1] && strchr("=+-@", line[i + 1]))
      Check(StartsWith(line, i, "\"-\""), "CSV field starts a formula", line);
    if (inQuotes && line[i + 1] == '"') {
      ++i;
      continue;
    }
    inQuotes = !inQuotes;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string templ = (std::filesystem::temp_directory_path() / "tvfuzz-XXXXXX").string();
  if (!mkdtemp(templ.data())) abort();
  g_home = templ + "/";
  atexit(RemoveHome);
  setenv("TRAILVANE_HOME", g_home.c_str(), 1);
  FILE* f = fopen((g_home + "Template1.r_tmpl").c_str(), "wb");
  if (!f || fwrite(kTemplate, 1, sizeof kTemplate - 1, f) != sizeof kTemplate - 1 || fclose(f) != 0) abort();
  g_page = g_home + "page.html";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::vector<std::string> texts;
  const char* p = reinterpret_cast<const char*>(data + 1);
  const char* end = reinterpret_cast<const char*>(data + size);
  while (p <= end && texts.size() < 7) {
    const char* nul = static_cast<const char*>(memchr(p, 0, static_cast<size_t>(end - p)));
    if (!nul) nul = end;
    texts.emplace_back(p, nul);
    p = nul + 1;
  }
  texts.resize(7);
  auto text = [&](size_t i) { return texts[i].empty() ? nullptr : texts[i].c_str(); };

  g_project.Clear();
  for (CStringPool* pool : {&g_pools.pages, &g_pools.agents, &g_pools.referrers, &g_pools.cookies, &g_pools.users,
                            &g_pools.hosts, &g_pools.subdomains})
    pool->FreeAll();
  SetStr(&g_project.url, (mode & 0x80) ? text(6) : "http://www.site.com");
  g_project.display.ignore_argm = (mode & 0x40) ? 1 : 0;
  CLogSource source;
  CLogSourceList::InitEntry(&source);
  g_project.sources.Add(source);
  hitmaker::Hits hits;
  CHitStore& store = g_project.sources[0].records;
  for (int i = 0; i < 2; ++i) {
    hitmaker::Hit h;
    h.page = texts[i].c_str();
    h.referrer = text(1 + i);
    h.agent = text(2 + i);
    h.cookie = text(3);
    h.user = text(4);
    h.host = text(5);
    h.address = 0x01020304u + static_cast<uint32_t>(i);
    h.status = i ? 404 : 200;
    h.visitor = static_cast<uint32_t>(i + 1);
    h.flags = (mode & 0x20) ? kHitSearchEngine : 0;
    CHitRecord* made = hits.Make(h);
    made->SetBytesSent(100u * static_cast<uint32_t>(i + 1));
    CHitRecord* r = store.NewRecord();
    if (!r) abort();
    memcpy(r, made, made->GetSize());
    store.CommitCurrent();
  }
  BumpQueryGeneration();

  const int kind = kKinds[mode % std::size(kKinds)];
  CQueryParams params;
  for (uint32_t& g : params.groupOn) g = 1;
  CRowTable table;
  RunQuery(g_project, kind, table, params);

  if (!ExportReportToHtml(g_page.c_str(), kind, table, nullptr, params, nullptr, g_home.c_str())) abort();
  FILE* f = fopen(g_page.c_str(), "rb");
  if (!f) abort();
  std::string page;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) page.append(buf, n);
  fclose(f);
  CheckHtml(page);

  // The text table and the mail's HTML part: a line per row, and in the
  // HTML part no markup but the writer's.
  for (int tableMode : {kTableText, kTableHtml}) {
    std::string out;
    WriteReportTable(out, kind, table, tableMode, params, nullptr);
    Check(IsPlain(out), "text table not plain UTF-8", out);
    size_t expected = static_cast<size_t>(table.RowCount()) + (kind == kReportItems ? 4 : 6);
    Check(CountLines(out) == expected, "a text broke a table row", out);
    if (tableMode == kTableHtml) CheckHtml(out);
  }
  for (uint64_t i = 0; i < store.RecordCount(); ++i) {
    std::string line;
    WriteCsvRecord(line, i ? store.Next() : store.First());
    CheckCsvRecord(line);
  }
  std::string escaped;
  for (const std::string& t : texts) AppendHtmlEscaped(escaped, t.c_str());
  Check(escaped.find_first_of("<>\"") == std::string::npos && IsPlain(escaped), "escaping", escaped);
  return 0;
}
