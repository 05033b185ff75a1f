#include "output/csvexport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/msgsink.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/pathlist.h"
#include "engine/store/reportkind.h"
#include "output/outtext.h"
#include "output/reportrows.h"

namespace {

bool BytesReceivedRecorded() { return g_project.send_receive != 0; }

// Keys made by the program from a hit's time, never taken from the log.
bool IsDateKind(int kind) {
  return kind == kReportDate || kind == kReportHour || kind == kReportWeekday || kind == kReportMonth;
}

void AppendCsvNumber(std::string& out, uint64_t n) { AppendF(out, ",\"%" PRIu64 "\"", n); }

void WriteSummary(std::string& out, const CSummaryStats& s) {
  for (const SummaryLine& line : SummaryLines(s)) {
    AppendCsvField(out, GetTerm(line.term));
    out += ',';
    if (line.isNumber) out += line.value;
    else AppendCsvField(out, line.value.c_str());
    out += '\n';
  }
}

int Finish(COutFile& file, const char* fileName) {
  if (!file.Close()) {
    EngineErrorF("Cannot write the file %s", fileName);
    return 0;
  }
  EngineInfo("Export successful");
  return 1;
}

constexpr size_t kChunk = 1 << 16;

}  // namespace

namespace {

void AppendQuoted(std::string& out, const char* text, bool fromLog) {
  out += '"';
  if (fromLog && text && *text && strchr("=+-@\t\r", *text)) out += '\'';
  size_t at = out.size();
  AppendPlainText(out, text);
  if (out.find('"', at) != std::string::npos) {
    std::string tail = out.substr(at);
    out.resize(at);
    for (char c : tail) {
      if (c == '"') out += '"';
      out += c;
    }
  }
  out += '"';
}

}  // namespace

void AppendCsvField(std::string& out, const char* text) { AppendQuoted(out, text, false); }
void AppendCsvLogField(std::string& out, const char* text) { AppendQuoted(out, text, true); }

int WriteCsvHeader(std::string& out, int kind) {
  const bool received = BytesReceivedRecorded();
  auto field = [&](const char* text, bool first = false) {
    if (!first) out += ',';
    AppendCsvField(out, text);
  };
  if (kind == kReportItems) {
    field(GetTerm(kTermHost), true);
    field(GetTerm(kTermDate));
    field("TIME");
    if (received) {
      field(GetTerm(kTermSend));
      field(GetTerm(kTermReceive));
    } else {
      field(GetTerm(kTermBandwidth));
    }
    for (int t : {kTermStatus, kTermPage, kTermRefer, kTermUserAgent, kTermCookie}) field(GetTerm(t));
  } else {
    ReportColumns cols;
    GetReportColumns(kind, cols);
    field(ReportKindTitle(kind), true);
    field(GetTerm(kTermHits));
    if (cols.showVisitors) field(GetTerm(kTermVisitor));
    if (cols.showPages) field(GetTerm(kTermPage));
    if (received) {
      field(GetTerm(kTermSend));
      field(GetTerm(kTermReceive));
    } else {
      field(GetTerm(kTermBandwidth));
    }
  }
  out += '\n';
  return 1;
}

int WriteCsvRecord(std::string& out, const CHitRecord* r) {
  char buf[kUrlTextSize];
  AppendCsvLogField(out, FormatHostText(buf, sizeof buf, r, true, true));
  out += ',';
  AppendCsvField(out, FormatDate(buf, sizeof buf, r->PackedDate(), false));
  out += ',';
  AppendCsvField(out, FormatTimeOfDay(buf, sizeof buf, r));
  AppendCsvNumber(out, r->BytesSent());
  if (BytesReceivedRecorded()) AppendCsvNumber(out, r->GetBytesReceived());
  out += ',';
  AppendCsvField(out, StatusCodeText(buf, sizeof buf, r->Status(), true));
  out += ',';
  AppendCsvLogField(out, r->PageText());
  out += ',';
  const char* referrer = g_pools.referrers.Text(r->GetReferrer());
  if (referrer) AppendCsvLogField(out, referrer);
  else AppendCsvField(out, "-");
  out += ',';
  AppendCsvLogField(out, g_pools.agents.Text(r->GetUserAgent()));
  out += ',';
  AppendCsvLogField(out, g_pools.cookies.Text(r->GetCookie()));
  out += '\n';
  return 1;
}

int ExportReportToCsv(const char* fileName, int kind, const CRowTable& table, const CQueryParams& params,
                      SortCompareFn compare, const CSummaryStats* summary) {
  COutFile file;
  if (!file.Open(fileName)) return 0;
  EngineInfo("Export...");
  std::string out;
  if (kind == kReportSummary) {
    CSummaryStats own;
    if (!summary) {
      RunSummaryQuery(g_project, own, params);
      summary = &own;
    }
    WriteSummary(out, *summary);
    file.Put(out);
    return Finish(file, fileName);
  }
  CRowIndex index;
  SetReportSortOrder(kind, table, index, compare);
  WriteCsvHeader(out, kind);
  ReportColumns cols;
  GetReportColumns(kind, cols);
  const bool received = BytesReceivedRecorded();
  for (uint32_t i = 0; i < index.Count(); ++i) {
    const CRow* row = index[i];
    const CHitRecord* r = row->Record();
    if (kind == kReportItems) {
      WriteCsvRecord(out, r);
    } else {
      if (kind == kReportPath) {
        std::string path;
        g_pathList.PathText(r->VisitorId(), &path);
        AppendCsvLogField(out, path.c_str());
      } else {
        char buf[kUrlTextSize];
        const char* key = GetHitFieldText(kind, buf, r, sizeof buf, cols.longKeyText != 0);
        if (IsDateKind(kind)) AppendCsvField(out, key);
        else AppendCsvLogField(out, key);
      }
      AppendCsvNumber(out, row->Hits());
      if (cols.showVisitors) AppendCsvNumber(out, row->Visitors());
      if (cols.showPages) AppendCsvNumber(out, row->Pages());
      AppendCsvNumber(out, row->BytesSent());
      if (received) AppendCsvNumber(out, row->BytesReceived());
      out += '\n';
    }
    if (out.size() >= kChunk) {
      file.Put(out);
      out.clear();
    }
  }
  file.Put(out);
  return Finish(file, fileName);
}

int ExportAllHitsToCsv(const char* fileName, CProject& project) {
  if (!fileName || !*fileName) return 0;
  // A regular file is written under a temporary name beside it and renamed at
  // the end, so a stopped or failed export never leaves a file that looks
  // complete, and an older file of that name stays as it was. A device or
  // pipe is written as it is.
  struct stat st;
  const bool direct = stat(fileName, &st) == 0 && !S_ISREG(st.st_mode);
  std::string part;
  if (!direct) {
    part = std::string(fileName) + ".partXXXXXX";
    int fd = mkstemp(part.data());
    if (fd < 0) {
      EngineErrorF("Cannot write the file %s", fileName);
      return 0;
    }
    // mkstemp makes it private; the export gets the modes a new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
  }
  const char* target = direct ? fileName : part.c_str();
  COutFile file;
  if (!file.Open(target)) {
    if (!direct) unlink(target);
    EngineErrorF("Cannot write the file %s", fileName);
    return 0;
  }
  EngineInfo("Export...");
  uint64_t total = 0;
  for (int s = 0; s < project.sources.Count(); ++s) total += project.sources[s].records.RecordCount();
  // The progress bar counts in steps that fit its 32-bit range.
  const uint64_t step = total / 1000 + 1;
  EngineProgress(static_cast<uint32_t>(total / step), 1);
  uint64_t done = 0;
  std::string out;
  WriteCsvHeader(out, kReportItems);
  bool stopped = false;
  for (int s = 0; s < project.sources.Count() && !stopped; ++s) {
    CHitStore& store = project.sources[s].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t i = 0; i < n && r; ++i, ++done) {
      if (i) r = store.Next();
      if (!r) break;
      WriteCsvRecord(out, r);
      if (out.size() >= kChunk) {
        file.Put(out);
        out.clear();
        if (StopRequested()) {
          stopped = true;
          break;
        }
        EngineProgress(static_cast<uint32_t>(done / step), 0);
      }
    }
  }
  if (stopped || StopRequested()) {
    file.Close();
    if (!direct) unlink(target);
    EngineInfo("Export stopped: no file was written");
    return 2;
  }
  file.Put(out);
  if (!file.Close()) {
    if (!direct) unlink(target);
    EngineErrorF("Cannot write the file %s", fileName);
    return 0;
  }
  if (!direct && rename(target, fileName) != 0) {
    unlink(target);
    EngineErrorF("Cannot write the file %s", fileName);
    return 0;
  }
  EngineInfo("Export successful");
  return 1;
}
