// Subcommands of tvbench. Each gets the arguments after its name.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/query/queryparams.h"

int BenchStore(int argc, char** argv);
int BenchGunzip(int argc, char** argv);
int BenchTree(int argc, char** argv);
int BenchLoad(int argc, char** argv);
int BenchLookup(int argc, char** argv);
int BenchDns(int argc, char** argv);
int BenchQuery(int argc, char** argv);
int BenchExport(int argc, char** argv);
int BenchListFill(int argc, char** argv);
int BenchNavigate(int argc, char** argv);
int BenchChart(int argc, char** argv);

// Loads the shipped tables, then points the data folder at a scratch folder
// (removed at exit) so a bench run never touches the user's state.
void BenchUseScratchHome();
struct BenchLoadOptions {
  bool dns = false;       // with the DNS pass
  bool defaults = false;  // a new workspace's options and groups (else three groups, a slot each, spider detection)
  bool reload = false;    // the first file in one pass, the others added as new sources in a second
};
// Makes the files the local sources of the project and runs the whole analysis
// pass; returns the records loaded.
uint64_t BenchAnalyse(const std::vector<const char*>& files, const BenchLoadOptions& options);
inline uint64_t BenchAnalyse(const std::vector<const char*>& files, bool dns) {
  BenchLoadOptions options;
  options.dns = dns;
  return BenchAnalyse(files, options);
}

// Seconds on a monotonic clock.
double BenchNow();

// Every switch and group slot on, no date range: the totals can be checked
// against the log itself.
CQueryParams BenchEverythingParams();
// The report switches of a new workspace (no spiders, no error hits), with
// what the user interface sets when it opens the kind.
CQueryParams BenchNewWorkspaceParams(int kind);
