// Loading a project's log sources into their hit stores. A first pass works out
// the local files of every source (expanding wildcards, fetching FTP and HTTP
// files through the download cache); a second pass reads every source whose
// records are not current, offering each file to the decompressor first.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/project.h"

// Loads the sources. masks go to the readers and the ODBC loader; the dates
// (packed, 0 open) only to the ODBC loader; indexText is the "index" setting
// ("" when none). Returns 1 when at least one source was read in this call.
int LoadLogSources(CLogSourceList& sources, const CGroupMaskList& masks, uint32_t fromDate, uint32_t toDate,
                   OdbcLoaderFn odbcLoader, const char* indexText);
// What the last LoadLogSources could not read or fetch, one text per file or
// remote source, with the reason when the transfer gave one; empty when
// everything it tried was read. An unattended run fails on any.
const std::vector<std::string>& LogLoadProblems();

// An FTP source's path split into the folder to list and the mask of the
// files in it; both empty for no path (the login folder, every file).
struct FtpPathParts {
  std::string folder;
  std::string mask;
};
FtpPathParts SplitFtpPath(const char* path);

// The name under which a listed FTP file is cached and shown: the server, the
// folder and the file name, with exactly one '/' between server and folder.
std::string FtpRemoteName(const char* server, const std::string& folder, const std::string& name);
