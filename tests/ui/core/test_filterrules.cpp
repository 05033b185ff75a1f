#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/textutil.h"
#include "engine/store/reportkind.h"
#include "ui/core/filterrules.h"

namespace {

void Fill(CFilter* f, uint16_t type, uint16_t include, const char* text = nullptr, uint32_t ip1 = 0,
          uint32_t ip2 = 0, int16_t status = 0, int16_t status2 = 0, uint16_t method = 0) {
  f->type = type;
  f->include = include;
  SetStr(&f->text, text);
  f->ip1 = ip1;
  f->ip2 = ip2;
  f->status = status;
  f->status2 = status2;
  f->method = method;
}

TEST(FilterRules, ListTexts) {
  struct Case {
    uint16_t type, include;
    const char* text;
    uint32_t ip1, ip2;
    int16_t status, status2;
    uint16_t method;
    const char* line;
  } cases[] = {
      {kFilterIp, 0, nullptr, 0xC0A80001, 0, 0, 0, 0, "Host - 192.168.0.1 (Exclude)"},
      {kFilterIpRange, 1, nullptr, 0x0A000001, 0x0A0000FF, 0, 0, 0, "Host - 10.0.0.1 : 10.0.0.255 (Include)"},
      {kFilterHost, 1, "crawler.example", 0, 0, 0, 0, 0, "Host - crawler.example (Include)"},
      {kFilterHost, 0, nullptr, 0, 0, 0, 0, 0, "Host -  (Exclude)"},
      {kFilterPage, 0, "/out/*", 0, 0, 0, 0, 0, "Page(File) - /out/* (Exclude)"},
      {kFilterReferrer, 1, "*example*", 0, 0, 0, 0, 0, "Referrer - *example* (Include)"},
      {kFilterRefDomain, 0, ".fr", 0, 0, 0, 0, 0, "Top Level Domain - .fr (Exclude)"},
      {kFilterStatus, 1, nullptr, 0, 0, 404, 0, 0, "Response Code - 404 (Include)"},
      {kFilterStatusRange, 0, nullptr, 0, 0, 500, 599, 0, "Response Code - 500 : 599 (Exclude)"},
      {kFilterMethod, 0, nullptr, 0, 0, 0, 0, kMethodGet | kMethodPost, "Method - GET POST (Exclude)"},
      {kFilterMethod, 1, nullptr, 0, 0, 0, 0, kMethodHead, "Method - HEAD (Include)"},
      {kFilterSite, 1, "www.example.com", 0, 0, 0, 0, 0, "Referring Site - www.example.com (Include)"},
      {3, 1, "x", 0, 0, 0, 0, 0, ""},
  };
  for (const Case& c : cases) {
    CFilter f;
    Fill(&f, c.type, c.include, c.text, c.ip1, c.ip2, c.status, c.status2, c.method);
    EXPECT_EQ(FilterListText(f), c.line);
  }
  CAdword a;
  SetStr(&a.url, "/index.html?in=ad1");
  EXPECT_EQ(AdwordListText(a), "/index.html?in=ad1 (whole)");
  a.type = 1;
  EXPECT_EQ(AdwordListText(a), "/index.html?in=ad1 (substring)");
  SetStr(&a.name, "Spring");
  EXPECT_EQ(AdwordListText(a), "Spring");
}

// Every stored filter, opened in the wizard and finished unchanged, is the
// same filter again.
TEST(FilterRules, WizardRoundTripKeepsEveryType) {
  struct Case {
    uint16_t type;
    const char* text;
    uint32_t ip1, ip2;
    int16_t status, status2;
    uint16_t method;
  } cases[] = {
      {kFilterIp, nullptr, 0x01020304, 0, 0, 0, 0},        {kFilterIpRange, nullptr, 9, 3, 0, 0, 0},
      {kFilterHost, "h.example", 0, 0, 0, 0, 0},           {kFilterPage, "/a/*", 0, 0, 0, 0, 0},
      {kFilterReferrer, "*x*", 0, 0, 0, 0, 0},             {kFilterRefDomain, ".com", 0, 0, 0, 0, 0},
      {kFilterStatus, nullptr, 0, 0, 302, 0, 0},           {kFilterStatusRange, nullptr, 0, 0, 400, 499, 0},
      {kFilterMethod, nullptr, 0, 0, 0, 0, kMethodHead},   {kFilterSite, "www.example.org", 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    for (uint16_t include : {0, 1}) {
      CFilter f, back;
      Fill(&f, c.type, include, c.text, c.ip1, c.ip2, c.status, c.status2, c.method);
      ASSERT_TRUE(BuildFilter(WizardValuesOf(f), &back)) << c.type;
      EXPECT_EQ(back.type, c.type);
      EXPECT_EQ(back.include, include);
      EXPECT_EQ(back.ip1, c.type <= kFilterHost ? c.ip1 : 0u) << c.type;
      EXPECT_EQ(back.ip2, c.type <= kFilterHost ? c.ip2 : 0u) << c.type;
      EXPECT_EQ(back.status, c.status);
      EXPECT_EQ(back.status2, c.status2);
      EXPECT_EQ(back.method, c.method);
      EXPECT_STREQ(back.text ? back.text : "", c.text ? c.text : "") << c.type;
      EXPECT_EQ(FilterListText(back), FilterListText(f));
    }
  }
  CFilter stored;
  Fill(&stored, kFilterStatusRange, 1, nullptr, 0, 0, 400, 499);
  CFilterWizardValues range = WizardValuesOf(stored);
  EXPECT_EQ(range.kind, kKindResponse);
  EXPECT_EQ(range.codeKind, 1);
  EXPECT_EQ(range.codeFrom, 400u);
  EXPECT_EQ(range.codeTo, 499u);
}

TEST(FilterRules, NewFilterIsASingleAddressExcludeFilter) {
  CFilter f;
  ASSERT_TRUE(BuildFilter(NewFilterWizardValues(), &f));
  EXPECT_EQ(f.type, kFilterIp);
  EXPECT_EQ(f.include, 0);
  EXPECT_EQ(f.ip1, 0u);
  CFilterWizardValues none;
  EXPECT_FALSE(BuildFilter(none, &f));
  EXPECT_EQ(f.type, kFilterIp);
}

// The wizard's domain text goes with every host kind; each filter that keeps
// a text keeps a copy of its own, and the address kinds keep none.
TEST(FilterRules, EachFilterOwnsItsText) {
  CFilterWizardValues v = NewFilterWizardValues();
  v.domain = "shared.example";
  CFilter single, range, host1, host2;
  v.hostKind = 0;
  ASSERT_TRUE(BuildFilter(v, &single));
  v.hostKind = 1;
  ASSERT_TRUE(BuildFilter(v, &range));
  v.hostKind = 2;
  ASSERT_TRUE(BuildFilter(v, &host1));
  ASSERT_TRUE(BuildFilter(v, &host2));
  EXPECT_EQ(single.text, nullptr);
  EXPECT_EQ(range.text, nullptr);
  ASSERT_NE(host1.text, nullptr);
  EXPECT_NE(host1.text, host2.text);
  v.domain = "changed";
  host1.text[0] = 'S';
  EXPECT_STREQ(host2.text, "shared.example");

  CFilterList list;
  list.Add(host2);
  list.Add(single);
  ASSERT_NE(list[0].text, nullptr);
  EXPECT_NE(list[0].text, host2.text);
  EXPECT_EQ(list[1].text, nullptr);
}

TEST(FilterRules, CodesBeyondTheRangeAreCut) {
  CFilterWizardValues v = NewFilterWizardValues();
  v.kind = kKindResponse;
  v.code = 70000;
  CFilter f;
  ASSERT_TRUE(BuildFilter(v, &f));
  EXPECT_EQ(f.status, 999);
}

TEST(FilterRules, EnvironmentFilters) {
  struct Applies {
    int kind;
    bool groups, response, spiders;
  } kinds[] = {
      {0, false, false, false},
      {kReportPage, true, true, true},
      {kReportGroup, false, true, true},
      {kReportStatus, true, false, true},
      {kReportError, true, false, true},
      {kReportErrorCode, true, false, true},
      {kReportSpiderTree, true, true, false},
      {kReportSpider, true, true, false},
      {40, false, false, false},
  };
  for (const Applies& a : kinds) {
    CEnvironmentFilters e = EnvironmentFiltersOf(CQueryParams{}, a.kind);
    EXPECT_EQ(e.groupsApply, a.groups) << a.kind;
    EXPECT_EQ(e.responseApplies, a.response) << a.kind;
    EXPECT_EQ(e.spidersApply, a.spiders) << a.kind;
  }
  // Radios from the switches: success, errors, spiders, humans.
  struct Radios {
    uint32_t success, errors, spiders, humans;
    int response, spiderChoice;
  } radios[] = {
      {1, 1, 1, 1, 0, 0}, {1, 0, 1, 1, 1, 0}, {0, 1, 0, 1, 2, 1},
      {0, 0, 1, 0, 1, 2}, {1, 1, 0, 0, 0, 1},
  };
  for (const Radios& r : radios) {
    CQueryParams p;
    p.successOn = r.success, p.errorsOn = r.errors, p.spidersOn = r.spiders, p.humansOn = r.humans;
    CEnvironmentFilters e = EnvironmentFiltersOf(p, kReportPage);
    EXPECT_EQ(e.response, r.response);
    EXPECT_EQ(e.spiders, r.spiderChoice);
  }
  // And back on OK.
  struct Back {
    int response, spiders;
    uint32_t success, errors, spidersOn, humans;
  } back[] = {
      {0, 0, 1, 1, 1, 1}, {1, 1, 1, 0, 0, 1}, {2, 2, 0, 1, 1, 0},
  };
  for (const Back& b : back) {
    CEnvironmentFilters e;
    e.response = b.response;
    e.spiders = b.spiders;
    e.groupOn[2] = 1;
    CQueryParams p;
    ApplyEnvironmentFilters(e, p);
    EXPECT_EQ(p.successOn, b.success);
    EXPECT_EQ(p.errorsOn, b.errors);
    EXPECT_EQ(p.spidersOn, b.spidersOn);
    EXPECT_EQ(p.humansOn, b.humans);
    EXPECT_EQ(p.groupOn[0], 0u);
    EXPECT_EQ(p.groupOn[2], 1u);
  }
  // Lines past the groups toggle the "all others" flag; no line, nothing.
  CEnvironmentFilters e;
  EXPECT_TRUE(ToggleEnvironmentGroup(e, 1, 3));
  EXPECT_TRUE(ToggleEnvironmentGroup(e, 3, 3));
  EXPECT_EQ(e.groupOn[8], 1u);
  EXPECT_FALSE(ToggleEnvironmentGroup(e, 5, 3));
  EXPECT_EQ(e.groupOn[8], 0u);
  EXPECT_FALSE(ToggleEnvironmentGroup(e, -1, 3));
  EXPECT_EQ(e.groupOn[1], 1u);
}

}  // namespace
