// Local copies of remote log files (FTP and HTTP sources), kept in "cache/"
// of the data folder and reused while the server offers the same file. The
// index "cache/cache.cfg" is a section file with one record per copy.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/config/sectionfile.h"
#include "engine/store/project.h"

struct CCacheRecord {
  CCacheRecord() = default;
  ~CCacheRecord();
  CCacheRecord(const CCacheRecord&) = delete;
  CCacheRecord& operator=(const CCacheRecord&) = delete;

  char* sfile = nullptr;  // the remote name as the source gives it
  char* cache = nullptr;  // full path of the local copy
  uint32_t size = 0;      // remote size in bytes
  uint32_t date = 0;      // remote date, packed: day, month, year from the low byte up
  uint32_t time = 0;      // remote time, seconds since midnight
};

class CLogCache : public CSectionFile {
 public:
  CLogCache();
  ~CLogCache() override;

  // Reads the index; a missing one is silent. Records that do not name an
  // existing copy inside the cache folder are dropped.
  int LoadCacheIndex();
  // Writes the index when it changed, leaving out records whose copy is gone.
  int SaveCacheIndex();
  // The local path of a reusable copy of the remote file, or "". Strict: size,
  // date and time must match as well, and a size or date of 0 (unknown) never does.
  std::string FindCachedCopy(const char* remoteName, uint32_t size, uint32_t date, uint32_t time, int strict);
  // Registers a download and returns the (emptied) local file to write it to;
  // when no copy can be kept, a temporary file that is not indexed.
  std::string AddToCache(const char* remoteName, uint32_t size, uint32_t date, uint32_t time);
  // Deletes every copy the index names, empties it and saves it.
  int ClearCache();

  int Count() const { return records.Count(); }
  const CCacheRecord* Record(int i) const { return records.Get(i); }
  bool CacheChanged() const { return m_changed; }

  static std::string CacheFolder();  // ends with '/'
  static std::string IndexPath();

  CRecordList<CCacheRecord> records;

 private:
  bool InsideCache(const char* path) const;
  void DropUnusable();

  bool m_changed = false;
};

// The lists a load keeps of a source's files and their remote names: items
// joined by ';', where a ';' or '\\' inside an item stands behind a '\\', so a
// remote name holding ';' stays one item and never names a local file.
std::string EscapeFileListItem(const std::string& item);
std::vector<std::string> SplitFileList(const char* list);

// 1 when every file of such a list can be opened for reading, else 0; an empty
// or missing list gives 0.
int LocalCopiesPresent(const char* fileList);

extern CLogCache g_logCache;
