// Rows of the auxiliary tables that the line commit consults to classify a hit
// as a robot or a search-engine referral. The auxiliary database loader fills
// them; until it has, they are empty and no line is classified.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct CRobotRow {
  std::string match;       // text looked for in the user agent
  bool wholeText = false;  // true: the agent must equal the text; false: contain it
};

// A spider found by the analysis pass (address, agent and host of its hits).
struct CAutoRobotRow {
  uint32_t address = 0;  // numeric client, 0 when the client was a host name
  std::string agent;
  std::string host;
};

// Kept in ascending order of domainLength: the referrer scan stops at the
// first domain longer than the referrer's host.
struct CSearchEngineRow {
  uint16_t engine = 0;        // the engine's number: index of its keyword patterns
  uint16_t domainLength = 0;  // length of domain
  bool countrySuffix = false; // a ".xx" country suffix may follow the domain
  std::string domain;
};

// The keyword parameters of one engine, such as "q="; "/" takes any referrer.
struct CEngineKeywords {
  std::string patterns[4];
};

struct CAuxTables {
  std::vector<CRobotRow> robots;
  std::vector<CAutoRobotRow> autoRobots;
  std::vector<CSearchEngineRow> searchEngines;
  std::vector<CEngineKeywords> keywords;  // by engine number
};
extern CAuxTables g_auxTables;
