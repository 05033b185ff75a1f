// The display-free rules of the filter dialogs: the lines of the filter and
// pay-per-click lists, the filter wizard's choices and the filter they make,
// the environment filters' state and the filter history's lines.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/query/queryparams.h"
#include "engine/store/project.h"

// A filter's list line, in the report terms of the current language.
std::string FilterListText(const CFilter& filter);
// The name, or "url (whole)" / "url (substring)" without one.
std::string AdwordListText(const CAdword& entry);

// The wizard's filter kinds, in the order of the type page's radios.
enum FilterKind : int {
  kKindHostIp = 0,
  kKindPage = 1,
  kKindReferrer = 2,
  kKindTopDomain = 3,
  kKindResponse = 4,
  kKindMethod = 5,
  kKindSite = 6,
  kFilterKindCount = 7,
};
// Host page: 0 single address, 1 range, 2 domain name. Response page: 0 single
// code, 1 range. -1: nothing chosen.
struct CFilterWizardValues {
  int kind = -1;
  int exclude = -1;  // 0 include, 1 exclude
  int hostKind = -1;
  uint32_t ip1 = 0, ip2 = 0;
  std::string domain;
  bool get = false, head = false, post = false;
  int codeKind = -1;
  unsigned code = 0, codeFrom = 0, codeTo = 0;
  std::string text;  // of the text page
};
constexpr unsigned kMaxResponseCode = 999;

// A new filter: a single-address exclude filter of address 0.
CFilterWizardValues NewFilterWizardValues();
// The wizard filled from a stored filter.
CFilterWizardValues WizardValuesOf(const CFilter& filter);
// The filter the wizard's choices make; its text is its own copy. False (out
// left as it was) when no kind is chosen.
bool BuildFilter(const CFilterWizardValues& values, CFilter* out);

// The text page's group caption and example line for a kind that has one.
struct CTextPageLabels {
  const char* caption;
  const char* example;
};
CTextPageLabels TextPageLabels(int kind);
// The pay-per-click dialog's example line: 0 whole URL, 1 substring.
const char* PayPerClickExample(int matchType);

// The environment filters: the radios and group flags the dialog edits.
struct CEnvironmentFilters {
  int response = 0;  // 0 all requests, 1 successful, 2 errors
  int spiders = 0;   // 0 all requests, 1 without spiders, 2 spiders only
  uint32_t groupOn[9] = {};
  bool groupsApply = true, responseApplies = true, spidersApply = true;
};
// The dialog's state for the query's switches and the report kind on show.
CEnvironmentFilters EnvironmentFiltersOf(const CQueryParams& params, int kind);
// The dialog's choices written back into the switches (OK).
void ApplyEnvironmentFilters(const CEnvironmentFilters& filters, CQueryParams& params);
// Toggles a line of the groups list: line < groups a group, any later line
// the "all others" flag; a line below 0 changes nothing. Returns the new flag.
bool ToggleEnvironmentGroup(CEnvironmentFilters& filters, int line, int groups);

// One line of the filter history: level number from 1, the title of the
// level's kind and the text of the row chosen at that level ("" for none).
struct CFilterHistoryLine {
  std::string level, title, value;
};
// One line per level from the top to the current one; none before a report.
std::vector<CFilterHistoryLine> FilterHistoryLines();
