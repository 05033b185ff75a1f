// Small log fixtures read through ParseLogFile, with the committed records they
// must give. Shared by the reader tests.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/readers/logread.h"
#include "tests/common/testenv.h"
#include "tests/engine/readtest.h"

namespace logfixture {

// The fields of one committed record; null texts are absent ones.
struct Want {
  const char* page;
  uint32_t address;
  const char* host;
  unsigned day, month, year;
  uint32_t seconds;
  uint16_t status;
  uint32_t bytes;
  const char* referrer;
  const char* agent;
  const char* user;
  const char* cookie;
  uint8_t flags = 0;  // kHitPost, kHitHead, kHitQuery as read
};

struct Fixture {
  const char* name;
  std::string text;
  const char* format;  // as detected
  std::vector<Want> records;
  uint64_t ignored = 0;
  uint64_t headers = 0;
  const char* info = nullptr;  // a message the reading must send, exactly once
};

inline std::vector<std::string>& Infos() {
  static std::vector<std::string> infos;
  return infos;
}
inline void KeepInfo(const char* text) { Infos().emplace_back(text ? text : ""); }

inline std::string Or(const char* t) { return t ? t : "<none>"; }

inline void ExpectRecord(CHitRecord* r, const Want& w, const std::string& where) {
  using readtest::Text;
  SCOPED_TRACE(where);
  EXPECT_STREQ(r->PageText(), w.page);
  EXPECT_EQ(r->Address(), w.address);
  EXPECT_EQ(Text(g_pools.hosts, r->GetHostName()), Or(w.host));
  EXPECT_EQ(r->Day(), w.day);
  EXPECT_EQ(r->Month(), w.month);
  EXPECT_EQ(r->Year(), w.year);
  EXPECT_EQ(r->Seconds(), w.seconds);
  EXPECT_EQ(r->Status(), w.status);
  EXPECT_EQ(r->BytesSent(), w.bytes);
  EXPECT_EQ(Text(g_pools.referrers, r->GetReferrer()), Or(w.referrer));
  EXPECT_EQ(Text(g_pools.agents, r->GetUserAgent()), Or(w.agent));
  EXPECT_EQ(Text(g_pools.users, r->GetUserName()), Or(w.user));
  EXPECT_EQ(Text(g_pools.cookies, r->GetCookie()), Or(w.cookie));
  EXPECT_EQ(r->Flags() & (kHitPost | kHitHead | kHitQuery), w.flags);
}

// Writes each fixture to a file, reads it with ParseLogFile into a store of its
// own and compares the records.
inline void CheckFixtures(const std::vector<Fixture>& fixtures) {
  std::string dir = tvtest::NewDir("fixtures");
  for (const Fixture& f : fixtures) {
    SCOPED_TRACE(f.name);
    readtest::ResetLoadState();
    EXPECT_EQ(DetectLogFormat(f.text.data(), f.text.size()), f.format);
    std::string path = dir + f.name + ".log";
    tvtest::WriteFile(path, f.text);
    CGroupMaskList masks;
    CHitStore store;
    Infos().clear();
    SetEngineCallbacks(nullptr, nullptr, nullptr, KeepInfo, nullptr, nullptr);
    int read = ParseLogFile(path.c_str(), &store, nullptr, masks, "index.html", f.name, f.text.size());
    ClearEngineCallbacks();
    ASSERT_EQ(read, 1);
    if (f.info) {
      EXPECT_EQ(std::count(Infos().begin(), Infos().end(), std::string(f.info)), 1);
    }
    auto recs = readtest::Records(store);
    ASSERT_EQ(recs.size(), f.records.size());
    for (size_t i = 0; i < recs.size(); ++i) ExpectRecord(recs[i], f.records[i], "record " + std::to_string(i));
    EXPECT_EQ(store.ignoredLines, f.ignored);
    EXPECT_EQ(store.headerLines, f.headers);
  }
  readtest::ResetLoadState();
  // The file reader wrote to the diagnostics log; later tests expect it small.
  std::remove(BugLogPath().c_str());
}

}  // namespace logfixture
