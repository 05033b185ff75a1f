// Shared set-up of the reader and commit tests: a clean project and load state.
#pragma once
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/readers/logread.h"
#include "engine/store/hitstore.h"
#include "engine/store/project.h"
#include "engine/store/strpool.h"
#include "engine/tables/auxtables.h"

namespace readtest {

// Options that the project's Reset leaves alone are cleared here too.
inline void ResetLoadState() {
  ClearStop();
  g_project.Reset();
  g_project.display.ignore_argm = 0;
  g_project.ip_lookup = 0;
  g_project.send_receive = 0;
  g_project.subdomain = 0;
  g_auxTables = CAuxTables();
  g_logFormat = nullptr;
  BeginLogLoad();
}

inline std::vector<CHitRecord*> Records(CHitStore& store) {
  std::vector<CHitRecord*> out;
  CHitRecord* r = store.First();
  for (uint64_t i = 0; i < store.RecordCount() && r; ++i) {
    out.push_back(r);
    r = store.Next();
  }
  return out;
}

inline std::string Text(const CStringPool& pool, TextHandle h) {
  const char* t = pool.Text(h);
  return t ? t : "<none>";
}

}  // namespace readtest
