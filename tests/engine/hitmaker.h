// Hit records for the formatting and filter tests, built field by field with
// their texts in the engine's pools, each at a stable address.
#pragma once
#include <array>
#include <cstring>
#include <deque>

#include "engine/store/hitstore.h"
#include "engine/store/strpool.h"

namespace hitmaker {

struct Hit {
  const char* page = "/";
  uint32_t address = 0;  // first octet in the high byte
  const char* host = nullptr;
  unsigned day = 5, month = 3, year = 2004;
  uint32_t seconds = 0;
  uint16_t status = 200;
  uint8_t flags = 0;  // query, robot, search engine, entry/exit mark
  uint16_t index = 0;
  uint32_t visitor = 0;
  uint8_t group = 0;
  const char* referrer = nullptr;
  const char* agent = nullptr;
  const char* cookie = nullptr;
  const char* user = nullptr;
  int64_t received = -1;  // bytes received, none when negative
  const char* subdomain = nullptr;
};

inline uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) { return a << 24 | b << 16 | c << 8 | d; }

// A page as the line commit stores it: with ignore_argm on (a marked pool) the
// whole text is interned and the pooled copy cut at its '?'.
inline TextHandle InternPage(const char* page) {
  TextHandle h = g_pools.pages.Intern(page);
  if (g_pools.pages.Marker(h) == '?') g_pools.pages.CutAtQuery(h);
  return h;
}

class Hits {
 public:
  CHitRecord* Make(const Hit& h) {
    m_buf.emplace_back();
    m_buf.back().fill(0);
    auto* r = reinterpret_cast<CHitRecord*>(m_buf.back().data());
    r->SetPage(InternPage(h.page));
    r->SetAddress(h.address);
    r->SetDate(h.day, h.month, h.year);
    r->SetSeconds(h.seconds);
    uint8_t flags = h.flags;
    if (h.referrer) flags |= kHitReferrer;
    if (h.agent) flags |= kHitAgent;
    r->SetFlags(flags);
    uint16_t status = h.status;
    if (h.cookie) status |= kHitCookie;
    if (h.host) status |= kHitHostName;
    if (h.user) status |= kHitUserName;
    if (h.received >= 0) status |= kHitBytesReceived;
    if (h.subdomain) status |= kHitSubdomain;
    r->SetStatusWord(status);
    r->SetRobotIndex(h.index);
    r->SetVisitorId(h.visitor);
    r->SetPageType(h.group);
    size_t at = CHitRecord::kHeadSize;
    auto put = [&](TextHandle t) {
      r->Put<uint32_t>(at, t);
      at += 4;
    };
    if (h.referrer) put(g_pools.referrers.Intern(h.referrer));
    if (h.agent) put(g_pools.agents.Intern(h.agent));
    if (h.cookie) put(g_pools.cookies.Intern(h.cookie));
    if (h.host) put(g_pools.hosts.Intern(h.host));
    if (h.user) put(g_pools.users.Intern(h.user));
    if (h.received >= 0) put(static_cast<uint32_t>(h.received));
    if (h.subdomain) put(g_pools.subdomains.Intern(h.subdomain));
    return r;
  }

 private:
  std::deque<std::array<uint8_t, CHitRecord::kMaxSize>> m_buf;
};

}  // namespace hitmaker
