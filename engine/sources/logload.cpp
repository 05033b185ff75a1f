#include "engine/sources/logload.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "decompress/gunzip.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/logread.h"
#include "engine/sources/logcache.h"
#include "engine/sources/remotelogs.h"
#include "engine/store/project.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

constexpr int kConnectAttempts = 10;
const char kEveryFile[] = "*.*";

std::vector<std::string> g_problems;  // of the load under way

// A remote source that failed, with what the transfer said.
void Problem(const std::string& what) {
  std::string why = LastTransferFailure();
  g_problems.push_back(why.empty() ? what : what + ": " + why);
}

// The files of one source as the first pass found them; `present` false is
// "none" (as opposed to a list that happens to be empty, which never occurs).
struct NewFiles {
  bool present = false;
  std::string files;
  std::string names;
  // Local files have no display names.
  void Add(const std::string& file) {
    if (present) files += ';';
    files += EscapeFileListItem(file);
    present = true;
  }
  void Add(const std::string& file, const std::string& name) {
    if (present) names += ';';
    names += EscapeFileListItem(name);
    Add(file);
  }
};

// The paths the user listed for a local source, separated by plain ';'.
std::vector<std::string> SplitUserList(const char* list) {
  std::vector<std::string> items;
  if (!list) return items;
  const char* p = list;
  for (;;) {
    const char* semi = strchr(p, ';');
    items.emplace_back(p, semi ? static_cast<size_t>(semi - p) : strlen(p));
    if (!semi) break;
    p = semi + 1;
  }
  return items;
}

bool Empty(const char* text) { return !text || !*text; }

// A text field set to a copy, or to none; false when memory ran out.
bool ReplaceText(char** field, const std::string* text) {
  char* copy = nullptr;
  if (text && !text->empty()) {
    copy = strdup(text->c_str());
    if (!copy) return false;
  }
  free(*field);
  *field = copy;
  return true;
}

// A download that did not complete must leave nothing a later load could take
// for the whole file: neither the (emptied or partial) copy nor its record.
void ForgetDownload(const std::string& localPath) {
  for (int i = 0; i < g_logCache.records.Count(); ++i) {
    const char* cache = g_logCache.records[i].cache;
    if (cache && localPath == cache) {
      g_logCache.records.Delete(i);
      break;
    }
  }
  tv::RemoveFile(localPath);
}

// A copy whose size on disk is not the one recorded was cut short (by a crash
// during its download, say) and is not taken.
bool CopyIsWhole(const std::string& localPath) {
  for (int i = 0; i < g_logCache.Count(); ++i) {
    const CCacheRecord* r = g_logCache.Record(i);
    if (r->cache && localPath == r->cache)
      return r->size == 0 || tv::FileSize(localPath) == static_cast<int64_t>(r->size);
  }
  return true;
}

std::string CachedCopy(const char* remoteName, uint32_t size, uint32_t date, uint32_t time, int strict) {
  std::string copy = g_logCache.FindCachedCopy(remoteName, size, date, time, strict);
  if (!copy.empty() && !CopyIsWhole(copy)) copy.clear();
  return copy;
}

// First pass, local source with a wildcard: the regular files it matches, in
// name order (the order decides the year repair and the first and last hit).
void ExpandLocal(const char* path, NewFiles* out) {
  for (const tv::FoundFile& f : tv::FindFiles(path)) out->Add(f.path);
  if (!out->present) {
    EngineErrorF("Cannot open file '%s'", path);
    g_problems.push_back(std::string("Cannot open file '") + path + "'");
  }
}

// First pass, FTP source. false when the source is to be left as it was.
bool FetchFtp(CLogSource& s, NewFiles* out) {
  FtpPathParts parts = SplitFtpPath(s.path);
  const char* server = s.server ? s.server : "";
  if (!ConnectToServer(kTransferFtp, TransferParamsOf(s), kConnectAttempts)) {
    if (!StopRequested()) Problem(std::string("Cannot connect to the FTP server '") + server + "'");
    CloseInternetSessions();
    return false;
  }
  CServerFileList list;
  if (!getServerFiles(list, parts.folder.empty() ? nullptr : parts.folder.c_str(),
                      parts.mask.empty() ? kEveryFile : parts.mask.c_str()) &&
      !StopRequested())
    Problem(std::string("Cannot list the folder '") + parts.folder + "' on the FTP server '" + server + "'");
  for (int i = 0; i < list.Count() && !StopRequested(); ++i) {
    const ServerFileInfo& entry = list[i];
    std::string remote = FtpRemoteName(server, parts.folder, entry.name);
    std::string local = CachedCopy(remote.c_str(), entry.size, entry.PackedDate(), entry.seconds, 1);
    if (!local.empty()) {
      EngineInfoF("'%s' - Get from cache", remote.c_str());
    } else {
      local = g_logCache.AddToCache(remote.c_str(), entry.size, entry.PackedDate(), entry.seconds);
      if (!DownloadRemoteFile(entry.name.c_str(), entry.size, local.c_str(), nullptr)) {
        if (!StopRequested()) Problem("Cannot download '" + remote + "'");
        ForgetDownload(local);
        EngineInfo("!Stop FTP Connection");
        break;
      }
    }
    out->Add(local, remote);
  }
  CloseInternetSessions();
  return true;
}

// First pass, HTTP source. false when the source is to be left as it was.
bool FetchHttp(CLogSource& s, NewFiles* out) {
  const char* url = s.url;
  if (!ConnectToServer(kTransferHttp, TransferParamsOf(s), kConnectAttempts)) {
    if (!StopRequested()) Problem(std::string("Cannot connect for '") + url + "'");
    CloseInternetSessions();
    return false;
  }
  uint32_t size = 0;
  ServerFileInfo date;
  CHttpFile* file = OpenRemoteFile(url, &size, &date);
  // Without an answer any earlier copy of the url will do.
  std::string copy = file ? CachedCopy(url, size, date.PackedDate(), date.seconds, 1) : CachedCopy(url, 0, 0, 0, 0);
  if (!copy.empty()) {
    if (file) CloseRemoteFile(file);
    EngineInfoF("'%s' - Get from cache", url);
    CloseInternetSessions();
    out->Add(copy, url);
    return true;
  }
  if (!file) {
    EngineMessageF("Cannot open URL '%s'", url);
    if (!StopRequested()) Problem(std::string("Cannot open URL '") + url + "'");
    CloseInternetSessions();
    return false;
  }
  // Registered only now that the server answered, so a failed request never
  // leaves an empty copy behind for a later load to take.
  std::string local = g_logCache.AddToCache(url, size, date.PackedDate(), date.seconds);
  bool ok = DownloadRemoteFile(url, size, local.c_str(), file);
  CloseInternetSessions();
  if (!ok) {
    if (!StopRequested()) Problem(std::string("Cannot download '") + url + "'");
    ForgetDownload(local);
    return false;
  }
  out->Add(local, url);
  return true;
}

// End of the first pass for a source: keeps the new list and clears the loaded
// flag when it differs from the one read last time.
void TakeNewFiles(CLogSource& s, const NewFiles& nf) {
  bool http = s.type == kSourceHttp;
  const std::string* names = nf.present && !nf.names.empty() ? &nf.names : nullptr;
  if (!ReplaceText(&s.display_names, names)) {
    if (!StopRequested()) EngineOutOfMemory(http ? 1715 : 1691);
    RequestStop();
  }
  if (s.type == kSourceFtp || s.type == kSourceHttp) s.remote = 1;
  if (!nf.present) {
    if (s.files) {
      ReplaceText(&s.files, nullptr);
      s.loaded = 0;
    }
    return;
  }
  if (s.files && nf.files == s.files) return;
  if (!ReplaceText(&s.files, &nf.files)) {
    if (!StopRequested()) EngineOutOfMemory(http ? 1763 : 1671);
    RequestStop();
  }
  s.loaded = 0;
}

void FirstPass(CLogSourceList& sources) {
  for (int n = 0; n < sources.Count(); ++n) {
    CLogSource& s = sources[n];
    NewFiles nf;
    try {
      switch (s.type) {
        case kSourceLocal:
          if (Empty(s.file)) {
            ReplaceText(&s.files, nullptr);
            continue;
          }
          if (HasWildcard(s.file)) ExpandLocal(s.file, &nf);
          else
            for (const std::string& f : SplitUserList(s.file)) nf.Add(f);
          break;
        case kSourceFtp:
          if (s.loaded) {
            EngineInfo("Skip FTP...");
            continue;
          }
          if (!FetchFtp(s, &nf)) continue;
          break;
        case kSourceHttp:
          if (s.loaded || Empty(s.url)) {
            EngineInfo("Skip HTTP...");
            continue;
          }
          if (!FetchHttp(s, &nf)) continue;
          break;
        default:
          break;
      }
    } catch (const std::bad_alloc&) {
      // A local wildcard that cannot be expanded just leaves the source without files.
      if (s.type != kSourceLocal) {
        CloseInternetSessions();
        if (!StopRequested()) EngineOutOfMemory(s.type == kSourceHttp ? 1715 : 1642);
        RequestStop();
        continue;
      }
      nf = NewFiles();
    }
    TakeNewFiles(s, nf);
  }
}

// Second pass over the files of one local, FTP or HTTP source; false when a
// stop ended it.
bool ReadSourceFiles(CLogSource& s, const CGroupMaskList& masks, const char* indexText) {
  std::vector<std::string> files = SplitFileList(s.files);
  std::vector<std::string> names = SplitFileList(s.display_names);
  for (size_t n = 0; n < files.size(); ++n) {
    const std::string& item = files[n];
    const std::string& display = n < names.size() && !names[n].empty() ? names[n] : item;
    if (StopRequested()) return false;
    EngineInfoF("Parsing log file '%s'...", display.c_str());
    uint64_t size = 0;
    FormatFileMaskInfo(nullptr, 0, item.c_str(), &size);
    std::string temp = tv::MakeTempFile("log");
    // Read as it is, a compressed file would give garbage or nothing, unexplained.
    const bool compressed = LooksCompressed(item.c_str());
    if (temp.empty() && compressed) {
      EngineErrorF("cannot decompress %s: no safe temporary folder", display.c_str());
      g_problems.push_back("Cannot decompress the log file '" + display + "': no safe temporary folder");
      continue;
    }
    bool unpacked = !temp.empty() && GunzipFile(item.c_str(), temp.c_str());
    // Its failure is told; its compressed bytes are no log lines.
    if (!unpacked && compressed) {
      g_problems.push_back("Cannot decompress the log file '" + display + "'");
      if (!temp.empty()) tv::RemoveFile(temp);
      continue;
    }
    if (!ParseLogFile(unpacked ? temp.c_str() : item.c_str(), &s.records, &s, masks, indexText, display.c_str(), size) &&
        !StopRequested())
      g_problems.push_back("Cannot read the log file '" + display + "'");
    // Whether or not anything was decoded into it.
    if (!temp.empty()) tv::RemoveFile(temp);
  }
  return !StopRequested();
}

}  // namespace

const std::vector<std::string>& LogLoadProblems() { return g_problems; }

FtpPathParts SplitFtpPath(const char* path) {
  FtpPathParts parts;
  if (Empty(path)) return parts;
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  size_t wild = p.find_first_of("*?");
  size_t cut;
  if (wild != std::string::npos) {
    cut = wild == 0 ? std::string::npos : p.rfind('/', wild - 1);
  } else if (p.back() == '/') {
    parts.folder = p;
    parts.mask = kEveryFile;
    return parts;
  } else {
    cut = p.rfind('/');
  }
  if (cut == std::string::npos) {
    parts.mask = p;
  } else {
    parts.folder = p.substr(0, cut + 1);
    parts.mask = p.substr(cut + 1);
  }
  return parts;
}

std::string FtpRemoteName(const char* server, const std::string& folder, const std::string& name) {
  std::string remote = server ? server : "";
  bool serverSlash = !remote.empty() && remote.back() == '/';
  bool folderSlash = !folder.empty() && folder.front() == '/';
  if (!serverSlash && !folderSlash) remote += '/';
  remote += serverSlash && folderSlash ? folder.substr(1) : folder;
  remote += name;
  return remote;
}

int LoadLogSources(CLogSourceList& sources, const CGroupMaskList& masks, uint32_t fromDate, uint32_t toDate,
                   OdbcLoaderFn odbcLoader, const char* indexText) {
  if (!indexText) indexText = "";
  g_problems.clear();
  CIndexNames index;
  ParseIndexNames(indexText, &index);
  BeginLogLoad();
  for (int n = 0; n < sources.Count(); ++n) sources[n].remote = 0;

  FirstPass(sources);
  // Cached report results stand only while no source is read again.
  bool anyToRead = false;
  for (int n = 0; n < sources.Count(); ++n) anyToRead = anyToRead || !sources[n].loaded;
  if (anyToRead) {
    BumpQueryGeneration();
    ReportUnusableFilters(g_project.filters);
  }

  int skipped = 0;
  bool readSomething = false;
  for (int n = 0; n < sources.Count(); ++n) {
    CLogSource& s = sources[n];
    if (s.loaded) {
      ++skipped;
      continue;
    }
    s.records.Free();
    s.records.Init();
    if (s.type == kSourceLocal || s.type == kSourceFtp || s.type == kSourceHttp) {
      if (!s.files) {
        EngineInfo("-no files-");
        continue;
      }
      if (!ReadSourceFiles(s, masks, indexText)) break;
    } else if (s.type == kSourceOdbc && odbcLoader) {
      odbcLoader(&s, masks, fromDate, toDate, index);
    }
    if (StopRequested()) break;
    s.loaded = 1;
    s.records.Trim();
    readSomething = true;
  }

  if (skipped && !readSomething) EngineInfo("Skip parsing...");
  g_logCache.SaveCacheIndex();
  if (readSomething) {
    char text[128];
    snprintf(text, sizeof text, "TOTAL size log=%" PRIu64 ", strings=%" PRIu64, g_loadBytes, g_loadRecords);
    WriteBugLog(text);
  }
  if (!g_project.keep_downloads)
    for (int n = 0; n < sources.Count(); ++n)
      if (sources[n].remote) ReplaceText(&sources[n].files, nullptr);
  return readSomething ? 1 : 0;
}
