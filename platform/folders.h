// Where the program's files live on this machine.
#pragma once
#include <initializer_list>
#include <string>

namespace tv {

// Read-only program data (databases, templates, default language files).
// Always ends with '/'.
const std::string& ProgramDir();

// Writable per-user state (settings, logBug.txt, caches). Created on first use.
// TRAILVANE_HOME overrides both this and ProgramDir. Always ends with '/'.
const std::string& DataDir();

// Private temporary folder (mode 0700, owned by us) for files with fixed names.
// Ends with '/'. Empty when the folder is unsafe or cannot be made: nothing
// temporary is then written anywhere, least of all in the current folder.
const std::string& TempDir();
// Why TempDir() is empty ("'/tmp/x' is a symbolic link"); "" when it is not.
const std::string& TempDirProblem();
// The check TempDir() makes of an existing folder, given the owner it must
// have: "" when it may hold private files, else why not.
std::string PrivateDirProblem(const std::string& dir, unsigned owner);

// Creates a new empty file with a unique name in TempDir(); returns its path or "" on failure.
std::string MakeTempFile(const char* prefix);

// Deletes what a run that died left in TempDir(): regular files of ours whose
// name is one of the prefixes and the six characters MakeTempFile adds, except
// those this process made. Does nothing while another run uses the folder. For
// start-up, before any temporary file is in use; returns how many went.
int RemoveStaleTempFiles(std::initializer_list<const char*> prefixes);

// Deletes what a save that died left in `dir`: the regular files of ours
// named "NAME.tmpXXXXXX" as WriteFileReplacing makes them, for the file `name`
// only or, with "", for every file. While another run holds the temporary
// folder only those an hour old go. Returns how many went.
int RemoveStaleSaveFiles(const std::string& dir, const std::string& name);

// Forget the cached folders (tests change TRAILVANE_HOME between cases).
void ResetFolders();

}  // namespace tv
