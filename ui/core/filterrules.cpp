#include "ui/core/filterrules.h"

#include <algorithm>
#include <cstdio>

#include "base/textutil.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/store/reportkind.h"
#include "ui/core/dialogrules.h"
#include "ui/core/navigationstate.h"
#include "ui/core/reportcommands.h"
#include "ui/core/uistate.h"

namespace {

std::string TermAnd(int term, const std::string& value) { return std::string(GetTerm(term)) + " - " + value; }

std::string TextOf(const CFilter& f) { return f.text ? f.text : ""; }

}  // namespace

std::string FilterListText(const CFilter& f) {
  std::string line;
  switch (f.type) {
    case kFilterIp: line = TermAnd(kTermHost, DottedAddress(f.ip1)); break;
    case kFilterIpRange: line = TermAnd(kTermHost, DottedAddress(f.ip1) + " : " + DottedAddress(f.ip2)); break;
    case kFilterHost: line = TermAnd(kTermHost, TextOf(f)); break;
    case kFilterPage: line = TermAnd(kTermPgFl, TextOf(f)); break;
    case kFilterReferrer: line = TermAnd(kTermRefer, TextOf(f)); break;
    case kFilterRefDomain: line = TermAnd(kTermTopDomain, TextOf(f)); break;
    case kFilterStatus: line = TermAnd(kTermStatus, std::to_string(f.status)); break;
    case kFilterStatusRange:
      line = TermAnd(kTermStatus, std::to_string(f.status) + " : " + std::to_string(f.status2));
      break;
    case kFilterMethod:
      line = "Method -";
      if (f.method & kMethodGet) line += " GET";
      if (f.method & kMethodHead) line += " HEAD";
      if (f.method & kMethodPost) line += " POST";
      break;
    case kFilterSite: line = TermAnd(kTermReferSite, TextOf(f)); break;
    default: return {};
  }
  return line + (f.include ? " (Include)" : " (Exclude)");
}

std::string AdwordListText(const CAdword& entry) {
  if (entry.name && *entry.name) return entry.name;
  return std::string(entry.url ? entry.url : "") + (entry.type == 0 ? " (whole)" : " (substring)");
}

CFilterWizardValues NewFilterWizardValues() {
  CFilterWizardValues v;
  v.kind = kKindHostIp;
  v.exclude = 1;
  v.hostKind = 0;
  v.codeKind = 0;
  return v;
}

CFilterWizardValues WizardValuesOf(const CFilter& f) {
  CFilterWizardValues v;
  v.ip1 = f.ip1;
  v.ip2 = f.ip2;
  v.domain = v.text = TextOf(f);
  // Codes outside what the page accepts show as 0 rather than a wrapped number.
  auto code = [](int16_t c) { return c >= 0 ? static_cast<unsigned>(c) : 0u; };
  v.code = v.codeFrom = code(f.status);
  v.codeTo = code(f.status2);
  v.get = (f.method & kMethodGet) != 0;
  v.head = (f.method & kMethodHead) != 0;
  v.post = (f.method & kMethodPost) != 0;
  v.hostKind = 0;
  v.codeKind = 0;
  v.exclude = f.include ? 0 : 1;
  switch (f.type) {
    case kFilterIp: v.kind = kKindHostIp; break;
    case kFilterIpRange: v.kind = kKindHostIp, v.hostKind = 1; break;
    case kFilterHost: v.kind = kKindHostIp, v.hostKind = 2; break;
    case kFilterPage: v.kind = kKindPage; break;
    case kFilterReferrer: v.kind = kKindReferrer; break;
    case kFilterRefDomain: v.kind = kKindTopDomain; break;
    case kFilterStatus: v.kind = kKindResponse; break;
    case kFilterStatusRange: v.kind = kKindResponse, v.codeKind = 1; break;
    case kFilterMethod: v.kind = kKindMethod; break;
    case kFilterSite: v.kind = kKindSite; break;
    default: v.kind = -1; break;
  }
  return v;
}

bool BuildFilter(const CFilterWizardValues& v, CFilter* out) {
  uint16_t type = 0;
  const std::string* text = nullptr;
  switch (v.kind) {
    case kKindHostIp:
      type = v.hostKind == 1 ? kFilterIpRange : v.hostKind == 2 ? kFilterHost : kFilterIp;
      text = &v.domain;
      break;
    case kKindPage: type = kFilterPage, text = &v.text; break;
    case kKindReferrer: type = kFilterReferrer, text = &v.text; break;
    case kKindTopDomain: type = kFilterRefDomain, text = &v.text; break;
    case kKindResponse: type = v.codeKind == 1 ? kFilterStatusRange : kFilterStatus; break;
    case kKindMethod: type = kFilterMethod; break;
    case kKindSite: type = kFilterSite, text = &v.text; break;
    default: return false;
  }
  out->type = type;
  out->include = v.exclude == 0 ? 1 : 0;
  out->ip1 = out->ip2 = 0;
  out->status = out->status2 = 0;
  out->method = 0;
  // Each filter keeps a copy of its own, and only a type that reads it keeps one.
  SetStr(&out->text, text && FilterUsesText(type) ? text->c_str() : nullptr);
  if (v.kind == kKindHostIp) {
    out->ip1 = v.ip1;
    out->ip2 = v.ip2;
  } else if (type == kFilterStatus) {
    out->status = static_cast<int16_t>(std::min(v.code, kMaxResponseCode));
  } else if (type == kFilterStatusRange) {
    out->status = static_cast<int16_t>(std::min(v.codeFrom, kMaxResponseCode));
    out->status2 = static_cast<int16_t>(std::min(v.codeTo, kMaxResponseCode));
  } else if (type == kFilterMethod) {
    out->method = static_cast<uint16_t>((v.get ? kMethodGet : 0) | (v.head ? kMethodHead : 0) |
                                        (v.post ? kMethodPost : 0));
  }
  return true;
}

CTextPageLabels TextPageLabels(int kind) {
  switch (kind) {
    case kKindPage: return {"Page/File filter", "Example: /faq.html OR /out/*"};
    case kKindReferrer:
      return {"Referrer filter", "Example: *search* OR *.example.org/* OR http://www.example.com/links.html"};
    case kKindTopDomain: return {"Top level domain", "Example: .com OR .fr"};
    case kKindSite: return {"Referrer site filter", "Example: http://www.example.com/"};
    default: return {"", ""};
  }
}

const char* PayPerClickExample(int matchType) {
  return matchType == 1 ? "Example: ?in=AdWords1" : "Example: /index.html?in=AdWords1";
}

CEnvironmentFilters EnvironmentFiltersOf(const CQueryParams& p, int kind) {
  CEnvironmentFilters e;
  std::copy(std::begin(p.groupOn), std::end(p.groupOn), std::begin(e.groupOn));
  FilterFlags applies = GetFilterFlagsForType(kind);
  e.groupsApply = applies.groups;
  e.responseApplies = applies.responses;
  e.spidersApply = applies.spiders;
  e.response = !p.errorsOn ? 1 : p.successOn ? 0 : 2;
  e.spiders = p.spidersOn && p.humansOn ? 0 : p.spidersOn ? 2 : 1;
  return e;
}

void ApplyEnvironmentFilters(const CEnvironmentFilters& e, CQueryParams& p) {
  std::copy(std::begin(e.groupOn), std::end(e.groupOn), std::begin(p.groupOn));
  p.successOn = e.response != 2;
  p.errorsOn = e.response != 1;
  p.spidersOn = e.spiders != 1;
  p.humansOn = e.spiders != 2;
}

bool ToggleEnvironmentGroup(CEnvironmentFilters& e, int line, int groups) {
  if (line < 0) return false;
  uint32_t& on = line < std::min(groups, 8) ? e.groupOn[line] : e.groupOn[8];
  on = on ? 0 : 1;
  return on != 0;
}

std::vector<CFilterHistoryLine> FilterHistoryLines() {
  std::vector<CFilterHistoryLine> lines;
  if (!TopKindSet()) return lines;
  for (int level = 0; level <= GetCurrentLevel(); ++level) {
    const CLevelFilter& entry = g_uiQuery.levels[level];
    CFilterHistoryLine line;
    line.level = std::to_string(level + 1);
    line.title = ReportKindTitle(static_cast<int>(entry.kind));
    if (entry.rowFlags != -1) {
      char buffer[kUrlTextSize];
      buffer[0] = 0;
      line.value = GetHitFieldText(static_cast<int>(entry.kind), buffer, entry.Record(), sizeof buffer, false);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}
