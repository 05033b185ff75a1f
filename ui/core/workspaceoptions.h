// The open workspace's options as the engine works with them, and the lines
// of the workspace pane's lists.
#pragma once
#include <string>

#include "engine/config/workspace.h"
#include "engine/store/project.h"

// Copies the workspace's display, matching and analysis options, its site
// address and index names and its groups into the engine before an analysis.
// The workspace's language, Whois address, download stamp, log-file-report
// mode and memory option stay with the workspace; its dirty flag is untouched.
void LoadDocumentOptions(const CWorkspaceFile& workspace, CProject& project);
void LoadDocumentOptions();

// A log source's line in the workspace pane: its path, or the kind and where it lies.
std::string LogSourceLine(const CLogSource& source);
// A group's line: its name, "-" when it has none.
std::string GroupLine(const CGroup& group);
