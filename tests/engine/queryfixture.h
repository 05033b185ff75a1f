// A small project for the query and summary tests: seventeen hits of three
// visitors in two log sources over a small site.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/config/settings.h"
#include "engine/display/vocab.h"
#include "engine/query/pathlist.h"
#include "engine/query/query.h"
#include "engine/query/rowtable.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "tests/engine/auxfixture.h"
#include "tests/engine/hitmaker.h"

namespace queryfixture {

using hitmaker::Hit;
using hitmaker::Ip;

constexpr const char* kFirefox = "Mozilla Firefox (Windows NT 10)";
constexpr const char* kOpera = "Opera (Linux)";
constexpr const char* kCrawler = "crawl/1.0";

class QueryFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    g_project.Clear();
    g_project.display = CDisplayOptions{};
    g_settings = SettingsBlock{};
    g_auxDatabases = CAuxDatabases();
    g_auxDatabases.sites = {auxfixture::Site("Google", 0, {"q="})};
    g_auxDatabases.os = {auxfixture::Os("Windows NT 10", "Windows 10"), auxfixture::Os("Linux", "Linux")};
    g_auxDatabases.browsers = {auxfixture::Browser(0, "Firefox", "Firefox"), auxfixture::Browser(0, "Opera", "Opera"),
                               auxfixture::Browser(1, "GetRight", "GetRight")};
    g_auxDatabases.robots = {auxfixture::Robot("Crawler", "crawl")};
    FreeLanguageTexts();
    g_pools.pages.FreeAll();
    g_pools.pages.SetQueryMarker(false, false);
    g_pathList.Clear();
    g_groupSlots = 3;
    SetStr(&g_project.url, "http://www.site.com");
    ClearStop();
    for (int i = 0; i < 2; ++i) {
      CLogSource source;
      CLogSourceList::InitEntry(&source);
      g_project.sources.Add(source);
    }
    const char* g1 = "http://www.google.de/search?q=Red+Shoes";
    const char* g2 = "http://www.google.com/search?q=RED+SHOES";
    const char* blog = "http://blog.example.org/post";
    // Source A.
    Add(0, 'a',
        {"/index.html", Ip(1, 2, 3, 4), nullptr, 5, 3, 2004, 36000, 200, kHitSearchEngine, 0, 1, 0, g1, kFirefox},
        1000);
    Add(0, 'b',
        {"/shop.html", Ip(1, 2, 3, 4), nullptr, 5, 3, 2004, 36300, 200, 0, 0, 1, 0, "http://www.site.com/index.html",
         kFirefox},
        2000);
    Add(0, 'c',
        {"/logo.gif", Ip(1, 2, 3, 4), nullptr, 5, 3, 2004, 36300, 200, 0, 0, 1, 1, "http://www.site.com/shop.html",
         kFirefox},
        500);
    Add(0, 'd', {"/shop.html", Ip(1, 2, 3, 4), nullptr, 5, 3, 2004, 36600, 404, 0, 0, 1, 0, nullptr, kFirefox}, 100);
    Add(0, 'e', {"/about.html", Ip(5, 6, 7, 8), nullptr, 5, 3, 2004, 39600, 200, 0, 0, 2, 0, blog, kOpera}, 3000);
    Add(0, 'f',
        {"/find.html?q=a", Ip(5, 6, 7, 8), nullptr, 5, 3, 2004, 39700, 200, kHitQuery, 0, 2, 0, nullptr, kOpera}, 400);
    Add(0, 'g', {"/logo.gif", Ip(5, 6, 7, 8), nullptr, 5, 3, 2004, 39700, 200, 0, 0, 2, 1, blog, kOpera}, 500);
    Add(0, 'h',
        {"/index.html", Ip(1, 2, 3, 4), nullptr, 6, 3, 2004, 40000, 200, kHitSearchEngine, 0, 1, 0, g2, kFirefox},
        1000);
    // Source B.
    Add(1, 'i', {"/robots.txt", Ip(9, 9, 9, 9), nullptr, 5, 3, 2004, 3600, 200, kHitRobot, 0, 3, 8, nullptr, kCrawler},
        50);
    Add(1, 'j', {"/index.html", Ip(9, 9, 9, 9), nullptr, 5, 3, 2004, 3700, 200, kHitRobot, 0, 3, 0, nullptr, kCrawler},
        1000);
    Add(1, 'k',
        {"/missing.html", Ip(9, 9, 9, 9), nullptr, 5, 3, 2004, 3800, 404, kHitRobot, 0, 3, 0, nullptr, kCrawler}, 80);
    Add(1, 'l', {"/about.html", Ip(5, 6, 7, 8), nullptr, 7, 4, 2004, 50000, 200, 0, 0, 2, 0, nullptr, kOpera}, 3000);
    Add(1, 'm',
        {"/dl.zip", Ip(5, 6, 7, 8), nullptr, 7, 4, 2004, 50100, 200, 0, 0, 2, 2, "http://www.site.com/about.html",
         "GetRight/6"},
        9000);
    Add(1, 'n',
        {"/shop.html", Ip(1, 2, 3, 4), nullptr, 6, 3, 2004, 41000, 200, 0, 0, 1, 0, "http://www.site.com/index.html",
         kFirefox},
        2000);
    Hit o{"/index.html", Ip(1, 2, 3, 4), nullptr, 6, 3, 2005, 41100, 200, 0, 0, 1, 0, nullptr, kFirefox};
    o.user = "bob";
    Add(1, 'o', o, 1000);
    Add(1, 'p', {"/index.html", Ip(9, 9, 9, 9), nullptr, 5, 3, 2004, 3900, 200, kHitRobot, 0, 3, 0, nullptr, kCrawler},
        1000);
    Add(1, 'q', {"/about.html", Ip(5, 6, 7, 8), nullptr, 7, 4, 2004, 50200, 500, 0, 0, 2, 0, nullptr, kOpera}, 0);
    BumpQueryGeneration();
  }
  void TearDown() override {
    g_pathList.Clear();
    g_project.Clear();
    g_auxDatabases = CAuxDatabases();
    g_groupSlots = 0;
    ClearStop();
    // Every query traces its kind and row count; later tests expect a short log.
    std::remove(BugLogPath().c_str());
  }

  // Every switch and group slot on.
  static CQueryParams All() {
    CQueryParams p;
    p.groupOn[8] = 1;
    return p;
  }

  // The stored record of hit `name` ('a' to 'q', later tests add more up to 'z').
  CHitRecord* H(char name) { return stored[name - 'a']; }

  void Add(int source, char name, const Hit& hit, uint32_t bytes) {
    CHitRecord* made = hits.Make(hit);
    made->SetBytesSent(bytes);
    CHitStore& store = g_project.sources[source].records;
    CHitRecord* r = store.NewRecord();
    ASSERT_NE(r, nullptr);
    memcpy(r, made, made->GetSize());
    store.CommitCurrent();
    stored[name - 'a'] = store.Last();
  }

  hitmaker::Hits hits;
  CHitRecord* stored[26] = {};
};

}  // namespace queryfixture
