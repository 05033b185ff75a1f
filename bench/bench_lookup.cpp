// tvbench lookup --agent TEXT | --referrer URL | --ip ADDRESS: what the engine
// makes of one user agent, referrer or address with the tables in the program
// folder.
#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "base/msgsink.h"
#include "bench/bench.h"
#include "engine/display/display.h"
#include "engine/readers/linecommit.h"
#include "engine/store/hitstore.h"
#include "engine/store/strpool.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/urltext.h"

namespace {

void PrintError(const char* text) { fprintf(stderr, "%s\n", text); }

// A classified scratch record for one agent or referrer.
CHitRecord* Classify(uint8_t (&bytes)[CHitRecord::kMaxSize], const char* agent, const char* referrer) {
  memset(bytes, 0, sizeof bytes);
  auto* record = reinterpret_cast<CHitRecord*>(bytes);
  memset(&g_line, 0, sizeof g_line);
  if (agent) {
    g_line.agent = agent;
    g_line.agentLen = strlen(agent);
  }
  if (referrer) {
    g_line.referrer = referrer;
    g_line.referrerLen = strlen(referrer);
  }
  ClassifyLogLine(record);
  if (agent) {
    record->SetFlags(record->Flags() | kHitAgent);
    record->Put<uint32_t>(CHitRecord::kHeadSize, g_pools.agents.Intern(agent));
  }
  return record;
}

void Agent(const char* agent) {
  uint8_t bytes[CHitRecord::kMaxSize];
  CHitRecord* record = Classify(bytes, agent, nullptr);
  bool robot = (record->Flags() & kHitRobot) != 0;
  printf("operating system: %s\n", FindOperatingSystem(agent));
  // The browser as the report shows it when the hit is not taken for a robot.
  record->SetFlags(record->Flags() & ~kHitRobot);
  char buffer[700];
  printf("browser: %s\n", FormatBrowser(record, buffer, sizeof buffer));
  printf("robot: %s\n", robot ? AgentTableEntry(record->RobotIndex()) : "-");
}

void Referrer(const char* referrer) {
  uint8_t bytes[CHitRecord::kMaxSize];
  CHitRecord* record = Classify(bytes, nullptr, referrer);
  char keyword[290], site[700];
  if (record->Flags() & kHitSearchEngine) {
    printf("search engine: %s\n", SiteName(record->RobotIndex()));
    // Decoded, as the keyword report shows it.
    printf("keyword: %s\n", FormatKeyText(keyword, referrer, record->RobotIndex(), sizeof keyword));
  } else {
    printf("search engine: -\nkeyword: -\n");
  }
  printf("site: %s\n", CopyUrlWithoutScheme(site, referrer, sizeof site, 1));
}

bool Address(const char* text) {
  in_addr a;
  if (inet_pton(AF_INET, text, &a) != 1) {
    fprintf(stderr, "not an IPv4 address: %s\n", text);
    return false;
  }
  uint32_t address = ntohl(a.s_addr);
  const char *country, *region, *city;
  LookupGeoAddress(address, kGeoBest, &country, &region, &city);
  printf("country: %s\nregion: %s\ncity: %s\n", *country ? country : "-", *region ? region : "-",
         *city ? city : "-");
  return true;
}

}  // namespace

int BenchLookup(int argc, char** argv) {
  if (argc < 2 || argc % 2 != 0) {
    fprintf(stderr, "usage: tvbench lookup --agent TEXT | --referrer URL | --ip ADDRESS ...\n");
    return 2;
  }
  SetEngineCallbacks(nullptr, PrintError, nullptr, nullptr, nullptr, nullptr);
  LoadAuxDatabases(false);
  int rc = 0;
  for (int i = 0; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--agent") == 0) Agent(argv[i + 1]);
    else if (strcmp(argv[i], "--referrer") == 0) Referrer(argv[i + 1]);
    else if (strcmp(argv[i], "--ip") == 0) rc = Address(argv[i + 1]) ? rc : 1;
    else {
      fprintf(stderr, "unknown option %s\n", argv[i]);
      rc = 2;
    }
  }
  FreeAuxDatabases();
  return rc;
}
