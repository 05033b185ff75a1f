// The texts of a hit record's pooled page, referrer and user agent, as the
// queries, level filters and display code read them.
#pragma once
#include <cstring>

#include "engine/store/hitstore.h"

// Never null: "" when the record has no page.
inline const char* PageOf(const CHitRecord* r) {
  const char* t = r->PageText();
  return t ? t : "";
}
// Null when the record has none.
inline const char* ReferrerOf(const CHitRecord* r) { return g_pools.referrers.Text(r->GetReferrer()); }
inline const char* AgentOf(const CHitRecord* r) { return g_pools.agents.Text(r->GetUserAgent()); }

// Equal page texts: handles may differ for one text (a page pool that cuts
// queries keeps each full request apart).
inline bool SamePageText(const CHitRecord* a, const CHitRecord* b) {
  return a->Page() == b->Page() || strcmp(PageOf(a), PageOf(b)) == 0;
}
