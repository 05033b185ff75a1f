// File-name rules of the document.
#pragma once
#include <string>

// The name a workspace is saved under: ".tv" added unless the text after the
// last '.' already is "tv" in any case.
std::string WorkspaceSaveName(const std::string& path);
// ".log" and ".gz" files (any case) are added to a workspace as log sources;
// everything else is opened as a workspace file.
bool IsLogFileName(const std::string& path);
