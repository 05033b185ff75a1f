// Where the program's files live on this machine.
#pragma once
#include <string>

namespace tv {

// Read-only program data (databases, templates, default language files).
// Always ends with '/'.
const std::string& ProgramDir();

// Writable per-user state (settings, logBug.txt, caches). Created on first use.
// TRAILVANE_HOME overrides both this and ProgramDir. Always ends with '/'.
const std::string& DataDir();

// Private temporary folder (mode 0700, owned by us) for files with fixed names.
// Always ends with '/'. Falls back to the current directory when none is usable.
const std::string& TempDir();

// Creates a new empty file with a unique name in TempDir(); returns its path or "" on failure.
std::string MakeTempFile(const char* prefix);

// Forget the cached folders (tests change TRAILVANE_HOME between cases).
void ResetFolders();

}  // namespace tv
