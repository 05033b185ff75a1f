// Small file-system helpers over POSIX and std::filesystem.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tv {

bool FileExists(const std::string& path);  // a regular file
bool IsDirectory(const std::string& path);
int64_t FileSize(const std::string& path);  // -1 when missing
bool MakeDirs(const std::string& path);
bool RemoveFile(const std::string& path);
// Opens a regular file for reading; -1 for anything else (a FIFO, a device, a
// socket, a folder), which is never opened in a way that could block or act.
int OpenRegularFile(const char* path);
// The same check as a stdio stream for reading ("rb"); null for anything else.
std::FILE* OpenRegularStream(const char* path);
// A stdio stream writing a regular file, created when missing (0644), appended
// to or emptied; null when something else has the name (a FIFO would block).
std::FILE* OpenRegularForWriting(const char* path, bool append);
bool RenameFile(const std::string& from, const std::string& to);  // replaces `to`
bool CopyFileTo(const std::string& from, const std::string& to);  // replaces `to`

struct FoundFile {
  std::string path;
  int64_t size = 0;
};
// Regular files matching a mask whose last component may hold '*' and '?'
// (shell-style, case counts), sorted by name.
std::vector<FoundFile> FindFiles(const std::string& mask);

// Writes the data to a temporary file beside `path` and renames it over `path`,
// so a failed write never loses the old file. `mode` is the new file's permission.
// On failure errno says why.
bool WriteFileReplacing(const std::string& path, const void* data, size_t size, unsigned mode = 0644);

bool ChangeDir(const std::string& dir);
std::string CurrentDir();
std::string DirectoryOf(const std::string& path);  // with trailing '/', "" when none
// A relative path taken from the current folder (leading "./" dropped); an
// absolute or empty one as it is, and so is any path when the folder is unknown.
std::string AbsolutePath(const std::string& path);

}  // namespace tv
