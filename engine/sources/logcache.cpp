#include "engine/sources/logcache.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/textutil.h"
#include "platform/files.h"
#include "platform/folders.h"

CLogCache g_logCache;

namespace {

const char kIndexName[] = "cache.cfg";

CLogCache& Cache(CSectionFile& f) { return static_cast<CLogCache&>(f); }

constexpr KeyDef kCacheKeys[] = {
    StringKey<&CCacheRecord::sfile>("sfile"),
    StringKey<&CCacheRecord::cache>("cache"),
    IntKey<&CCacheRecord::size>("size"),
    IntKey<&CCacheRecord::date>("date"),
    IntKey<&CCacheRecord::time>("time"),
};

constexpr RecordAccessor kCacheAccess = {
    [](CSectionFile& f) -> int32_t { return Cache(f).records.Count(); },
    [](CSectionFile& f, int32_t i) -> void* { return Cache(f).records.Get(i); },
    [](CSectionFile& f) -> void* { return Cache(f).records.AddEmpty(); },
    [](CSectionFile& f) { Cache(f).records.Clear(); },
};

constexpr SectionDef kCacheSections[] = {
    {"cache", kCacheKeys, static_cast<int32_t>(sizeof kCacheKeys / sizeof kCacheKeys[0]), &kCacheAccess, nullptr},
};

bool SameNoCase(const char* a, const char* b) { return a && b && strcasecmp(a, b) == 0; }

// The file name a copy gets: the remote name's last piece, or a neutral one
// where that piece would name no file of the folder.
std::string CopyName(const std::string& remote) {
  size_t cut = remote.find_last_of("/\\");
  std::string base = cut == std::string::npos ? remote : remote.substr(cut + 1);
  // A ';' would split the copy's path wherever the loader keeps it in a list.
  for (char& c : base)
    if (c == ';' || static_cast<unsigned char>(c) < 0x20) c = '_';
  if (base.empty() || base == "." || base == "..") base = "download";
  // Room for the counter within the file system's name limit.
  if (base.size() > 200) base.resize(200);
  return base;
}

// Creates or empties the file, never through a link.
bool EmptyFile(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

CCacheRecord::~CCacheRecord() {
  free(sfile);
  free(cache);
}

CLogCache::CLogCache() : CSectionFile(kCacheSections, 1, 1.0) {}

CLogCache::~CLogCache() = default;

std::string CLogCache::CacheFolder() { return tv::DataDir() + "cache/"; }

std::string CLogCache::IndexPath() { return CacheFolder() + kIndexName; }

// Only a plain file directly in the cache folder, and not the index itself.
bool CLogCache::InsideCache(const char* path) const {
  if (!path) return false;
  std::string folder = CacheFolder();
  if (strncmp(path, folder.c_str(), folder.size()) != 0) return false;
  std::string_view name(path + folder.size());
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         strcasecmp(std::string(name).c_str(), kIndexName) != 0;
}

void CLogCache::DropUnusable() {
  for (int i = 0; i < records.Count();) {
    const CCacheRecord& r = records[i];
    bool usable = r.sfile && InsideCache(r.cache) && tv::FileExists(r.cache);
    // Two records must not share a copy, or one download would overwrite the other's.
    for (int j = 0; usable && j < i; ++j) usable = !SameNoCase(records[j].cache, r.cache);
    if (usable) {
      ++i;
    } else {
      records.Delete(i);
      m_changed = true;
    }
  }
}

int CLogCache::LoadCacheIndex() {
  m_changed = false;
  int ok = Load(IndexPath().c_str(), 0);
  DropUnusable();
  return ok;
}

int CLogCache::SaveCacheIndex() {
  if (!m_changed) return 1;
  DropUnusable();
  tv::MakeDirs(CacheFolder());
  if (!SaveAs(IndexPath().c_str())) return 0;
  m_changed = false;
  return 1;
}

std::string CLogCache::FindCachedCopy(const char* remoteName, uint32_t size, uint32_t date, uint32_t time,
                                      int strict) {
  if (!remoteName) return {};
  // A reply that gave no length or no date cannot show that the file is unchanged.
  if (strict && (size == 0 || date == 0)) return {};
  for (int i = 0; i < records.Count();) {
    const CCacheRecord& r = records[i];
    bool match = SameNoCase(r.sfile, remoteName) && (!strict || (r.size == size && r.date == date && r.time == time));
    if (!match) {
      ++i;
      continue;
    }
    if (!tv::FileExists(r.cache)) {
      records.Delete(i);
      m_changed = true;
      continue;
    }
    return r.cache;
  }
  return {};
}

std::string CLogCache::AddToCache(const char* remoteName, uint32_t size, uint32_t date, uint32_t time) {
  std::string remote = remoteName ? remoteName : "";
  int index = -1;
  for (int i = 0; i < records.Count() && index < 0; ++i)
    if (records[i].sfile && remote == records[i].sfile) index = i;

  if (index < 0 && !remote.empty()) {
    std::string folder = CacheFolder();
    std::string base = CopyName(remote);
    std::string path = folder + base;
    auto taken = [&](const std::string& p) {
      if (SameNoCase(p.c_str(), IndexPath().c_str())) return true;
      for (int i = 0; i < records.Count(); ++i)
        if (SameNoCase(records[i].cache, p.c_str())) return true;
      return false;
    };
    for (int n = 0; taken(path) && n <= 999999; ++n) {
      char suffix[16];
      snprintf(suffix, sizeof suffix, ".%06i", n);
      path = folder + base + suffix;
    }
    CCacheRecord* r = taken(path) ? nullptr : records.AddEmpty();
    if (r) {
      index = records.Count() - 1;
      SetStr(&r->sfile, remote.c_str());
      SetStr(&r->cache, path.c_str());
      if (!r->sfile || !r->cache) {
        records.Delete(index);
        index = -1;
      }
    }
  }

  if (index >= 0) {
    CCacheRecord& r = records[index];
    r.size = size;
    r.date = date;
    r.time = time;
    m_changed = true;
    tv::MakeDirs(CacheFolder());
    if (EmptyFile(r.cache)) return r.cache;
    // No copy can live there: the download goes to a file nobody indexes.
    records.Delete(index);
  }
  return tv::MakeTempFile("iCsh");
}

int CLogCache::ClearCache() {
  for (int i = 0; i < records.Count(); ++i)
    if (InsideCache(records[i].cache)) tv::RemoveFile(records[i].cache);
  records.Clear();
  m_changed = true;
  return SaveCacheIndex();
}

std::string EscapeFileListItem(const std::string& item) {
  std::string out;
  out.reserve(item.size());
  for (char c : item) {
    if (c == ';' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::vector<std::string> SplitFileList(const char* list) {
  std::vector<std::string> items;
  if (!list) return items;
  std::string item;
  for (const char* p = list;; ++p) {
    if (*p == '\\' && (p[1] == ';' || p[1] == '\\')) {
      item += *++p;
    } else if (*p == ';' || !*p) {
      items.push_back(std::move(item));
      item.clear();
      if (!*p) break;
    } else {
      item += *p;
    }
  }
  return items;
}

int LocalCopiesPresent(const char* fileList) {
  if (!fileList || !*fileList) return 0;
  for (const std::string& item : SplitFileList(fileList)) {
    int fd = item.empty() ? -1 : tv::OpenRegularFile(item.c_str());
    if (fd < 0) return 0;
    close(fd);
  }
  return 1;
}
