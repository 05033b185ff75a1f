#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool MakeDirs(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return IsDirectory(path);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

int OpenRegularFile(const char* path) {
  struct stat st;
  // Checked before opening, so a device is never opened at all; the open itself
  // cannot wait for a writer should the name have been swapped for a FIFO since.
  if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::FILE* OpenRegularStream(const char* path) {
  int fd = OpenRegularFile(path);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "rb");
  if (!f) close(fd);
  return f;
}

std::FILE* OpenRegularForWriting(const char* path, bool append) {
  if (!path) return nullptr;
  // Non-blocking, so a FIFO without a reader fails at once instead of waiting.
  int fd = open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0), 0644);
  if (fd < 0) return nullptr;
  struct stat st;
  int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
      (!append && ftruncate(fd, 0) != 0)) {
    close(fd);
    return nullptr;
  }
  std::FILE* f = fdopen(fd, append ? "ab" : "wb");
  if (!f) close(fd);
  return f;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool CopyFileTo(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

std::vector<FoundFile> FindFiles(const std::string& mask) {
  std::vector<FoundFile> out;
  auto slash = mask.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : mask.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);
  std::string prefix = slash == std::string::npos ? std::string() : dir;
  DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    if (fnmatch(pattern.c_str(), e->d_name, FNM_PERIOD) != 0) continue;
    std::string full = prefix + e->d_name;
    struct stat st;
    if (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    out.push_back({full, static_cast<int64_t>(st.st_size)});
  }
  closedir(d);
  std::sort(out.begin(), out.end(), [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  return out;
}

bool WriteFileReplacing(const std::string& path, const void* data, size_t size, unsigned mode) {
  std::string tmp = path + ".tmpXXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  // The first failure's errno is kept for the caller, whatever the clean-up does.
  int why = 0;
  if (fchmod(fd, mode) != 0) why = errno;
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (!why && left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      why = n < 0 ? errno : ENOSPC;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (!why && fsync(fd) != 0) why = errno;
  if (close(fd) != 0 && !why) why = errno;
  if (!why && std::rename(tmp.c_str(), path.c_str()) != 0) why = errno;
  if (!why) return true;
  unlink(tmp.c_str());
  errno = why;
  return false;
}

bool ChangeDir(const std::string& dir) { return !dir.empty() && chdir(dir.c_str()) == 0; }

std::string CurrentDir() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::string() : p.string();
}

std::string DirectoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::string dir = CurrentDir();
  if (dir.empty()) return path;
  size_t from = 0;
  while (path.compare(from, 2, "./") == 0) {
    from += 2;
    while (from < path.size() && path[from] == '/') ++from;
  }
  if (dir.back() != '/') dir += '/';
  return dir + path.substr(from);
}

}  // namespace tv
