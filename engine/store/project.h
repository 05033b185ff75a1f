// The engine's project: the log sources of the open workspace with their
// records, the file-type groups, filters, host comments, pay-per-click pages and
// the analysis options copied in from the workspace. One process-wide object.
//
// Every record owns its texts (heap strings, null when empty, set through
// SetStr). Lists hold their records by pointer, so a record stays where it is
// while its list grows; index arguments out of range do nothing.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/store/hitstore.h"

struct CLogSource;
class CGroupMaskList;
// Reads an ODBC source's table into its store with the group masks, the period
// (packed dates, 0 open) and the default document names.
using OdbcLoaderFn = int (*)(CLogSource* source, const CGroupMaskList& masks, uint32_t fromDate, uint32_t toDate,
                             const CIndexNames& index);

// Raised whenever the loaded records are dropped, so the user interface reloads
// before the next report.
extern std::atomic<bool> g_logsStale;

// A growable list of heap records, each owned by the list.
template <typename T>
class CRecordList {
 public:
  CRecordList() = default;
  CRecordList(const CRecordList&) = delete;
  CRecordList& operator=(const CRecordList&) = delete;
  CRecordList(CRecordList&&) noexcept = default;
  CRecordList& operator=(CRecordList&&) noexcept = default;

  int Count() const { return static_cast<int>(m_items.size()); }
  bool Valid(int n) const { return n >= 0 && n < Count(); }
  // Null for an index out of range.
  T* Get(int n) const { return Valid(n) ? m_items[n].get() : nullptr; }
  T& operator[](int n) const { return *m_items[n]; }

  // Appends a zeroed record; null when memory runs out.
  T* AddEmpty() { return InsertNew(Count()); }
  // Frees record n and closes the gap. 1, or 0 for a bad index.
  int Delete(int n) {
    if (!Valid(n)) return 0;
    m_items.erase(m_items.begin() + n);
    return 1;
  }
  void Clear() { m_items.clear(); }
  // Stable sort of the records by less(const T&, const T&).
  template <typename Less>
  void Sort(Less less) {
    std::stable_sort(m_items.begin(), m_items.end(),
                     [&less](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) { return less(*a, *b); });
  }

 protected:
  T* InsertNew(int pos) {
    try {
      auto item = std::make_unique<T>();
      T* p = item.get();
      m_items.insert(m_items.begin() + pos, std::move(item));
      return p;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  std::vector<std::unique_ptr<T>> m_items;
};

// ---------------------------------------------------------------------------
// Log sources

enum : uint16_t {
  kSourceLocal = 0,
  kSourceOdbc = 1,
  kSourceFtp = 2,
  kSourceHttp = 3,
};

// One log source. Field names are the workspace keys; loading state has none.
struct CLogSource {
  CLogSource() = default;
  ~CLogSource();
  CLogSource(const CLogSource&) = delete;
  CLogSource& operator=(const CLogSource&) = delete;

  uint16_t type = kSourceLocal;
  char* file = nullptr;           // local: ';'-list of paths, or one path with '*'/'?'
  char* files = nullptr;          // loading state: local files the last load read
  char* display_names = nullptr;  // loading state: remote names shown for files
  uint32_t reserved = 0;
  char* db_dns = nullptr;
  char* db_table = nullptr;
  char* db_date = nullptr;
  char* db_host = nullptr;
  char* db_page = nullptr;
  char* db_refer = nullptr;
  char* db_size = nullptr;
  char* db_sizer = nullptr;
  char* db_status = nullptr;
  char* db_usera = nullptr;
  char* db_cookie = nullptr;
  char* db_met = nullptr;
  char* user = nullptr;
  char* psw = nullptr;  // kept as typed
  uint32_t prop = 0;    // transfer option bits 1, 2, 4, 8, 16
  char* url = nullptr;
  char* proxy = nullptr;
  uint16_t port_proxy = 0;
  char* path = nullptr;
  char* server = nullptr;
  uint16_t port = 0;
  char* firewall = nullptr;
  uint16_t port_fw = 0;
  CHitStore records;
  uint16_t loaded = 0;  // 1 while records are current
  uint16_t remote = 0;  // 1 when the last load fetched over FTP or HTTP
};

class CLogSourceList : public CRecordList<CLogSource> {
 public:
  // Zeroes a record that owns nothing and gives it an empty store.
  static void InitEntry(CLogSource* source);
  // Frees the record's texts and records, then InitEntry.
  static void FreeEntry(CLogSource* source);

  // Appends a copy of the stored fields of source (loading state starts empty).
  // Null after an allocation failure, which leaves the list as it was.
  CLogSource* Add(const CLogSource& source);
  // Adds a local source for each item of a ';'-list that is not already the file
  // text of a source (ignoring case); items already present are skipped. Returns
  // how many were added.
  int AddFiles(const char* paths);
  // Replaces the stored fields of source n; a change of type drops its file list
  // and marks it not loaded.
  void Update(int n, const CLogSource& source);

  void ResetEntryRecords(int n);
  // Drops the records of every source and raises g_logsStale.
  void ResetRecords();
};

// ---------------------------------------------------------------------------
// File-type groups

enum : uint16_t {
  kGroupOther = 0,
  kGroupDownloads = 1,
  kGroupPages = 2,
};

struct CGroup {
  CGroup() = default;
  ~CGroup();
  CGroup(const CGroup&) = delete;
  CGroup& operator=(const CGroup&) = delete;

  char* name = nullptr;
  char* masks = nullptr;  // ';'-separated extensions or wildcard patterns
  uint16_t type = kGroupOther;
};

class CGroupList : public CRecordList<CGroup> {
 public:
  static constexpr int kMaxGroups = 8;

  // Null when the list is full or memory runs out.
  CGroup* AddEmpty();
  // Stores a copy at position (0..Count). Returns 1, or 0 when nothing was
  // stored (full, bad position, no memory).
  int Insert(int position, const char* name, const char* masks, uint16_t type);
  void Set(int n, const char* name, const char* masks, uint16_t type);
  // Swap with the neighbour; return the entry's new index (n when nothing moved).
  int MoveUp(int n);
  int MoveDown(int n);
  void CopyFrom(const CGroupList& list);
};

// A group's mask flattened for the readers.
struct CGroupMask {
  static constexpr int kMaxMaskLen = 38;
  char mask[40];
  uint32_t group;
  uint32_t downloads;  // 1 for a downloads group
  uint32_t not_ext;    // 1 when the mask does not begin with '.'
};

class CGroupMaskList {
 public:
  static constexpr uint32_t kNoGroup = 8;

  // Appends one entry per ';'-piece of masks (each cut to 38 characters); the
  // first pages group seen becomes the folder group. Returns 0 when memory runs out.
  int AddList(const char* masks, uint32_t group, uint16_t type);
  // Clears, then adds every group of the list in order.
  int Build(const CGroupList& groups);
  void Clear();

  int Count() const { return static_cast<int>(entries.size()); }
  const CGroupMask& operator[](int n) const { return entries[n]; }

  std::vector<CGroupMask> entries;
  uint32_t folder_group = kNoGroup;  // pages ending in '/' belong to it
};

// ---------------------------------------------------------------------------
// Filters

enum : uint16_t {
  kFilterIp = 1,            // client address equals ip1
  kFilterIpRange = 2,       // client address in ip1..ip2
  kFilterHost = 4,          // client host name equals text (case counts)
  kFilterPage = 8,          // page matches text as a pattern
  kFilterReferrer = 16,     // referrer does not match text
  kFilterRefDomain = 32,    // referrer's domain equals text
  kFilterStatus = 64,       // status equals status
  kFilterStatusRange = 128, // status in status..status2
  kFilterMethod = 256,      // the line's method bit is set in method
  kFilterSite = 512,        // referrer's site equals text
};
enum : uint16_t {
  kMethodGet = 1,  // GET and any method other than HEAD and POST
  kMethodHead = 2,
  kMethodPost = 4,
};
// The filter types that test (and copy) their text.
bool FilterUsesText(uint16_t type);

struct CFilter {
  CFilter() = default;
  ~CFilter();
  CFilter(const CFilter&) = delete;
  CFilter& operator=(const CFilter&) = delete;

  uint16_t type = 0;
  uint16_t include = 0;  // 0 exclude, else include
  uint32_t ip1 = 0;      // keys p1ip (low 16 bits) and p2ip (high 16 bits)
  uint32_t ip2 = 0;      // keys p1ip2 and p2ip2: upper address of a range
  char* text = nullptr;  // key "quer"
  int16_t status = 0;
  int16_t status2 = 0;
  uint16_t method = 0;
};

class CFilterList : public CRecordList<CFilter> {
 public:
  // Appends a copy (its text only for the text types); null when memory runs out.
  CFilter* Add(const CFilter& filter);
  void Set(int n, const CFilter& filter);
  void CopyFrom(const CFilterList& list);
};

// ---------------------------------------------------------------------------
// Host comments

struct CHostComment {
  CHostComment() = default;
  ~CHostComment();
  CHostComment(const CHostComment&) = delete;
  CHostComment& operator=(const CHostComment&) = delete;

  char* host = nullptr;  // compared ignoring case
  char* comment = nullptr;
};

class CHostCommentList : public CRecordList<CHostComment> {
 public:
  // A null or empty comment removes the host's entry; otherwise the host's entry
  // (ignoring case) takes the comment and this spelling of the host, or a new one
  // is appended.
  void Set(const char* host, const char* comment);
  const char* Find(const char* host) const;
  int IndexOf(const char* host) const;
};

// ---------------------------------------------------------------------------
// Pay-per-click landing pages

struct CAdword {
  CAdword() = default;
  ~CAdword();
  CAdword(const CAdword&) = delete;
  CAdword& operator=(const CAdword&) = delete;

  char* url = nullptr;
  char* name = nullptr;
  uint16_t type = 0;  // 0 the page equals url, else url is a substring of the page
};

class CAdwordList : public CRecordList<CAdword> {
 public:
  // Appends a zeroed entry, set from entry when one is given.
  CAdword* Add(const CAdword* entry);
  // Type and url; the name only when the new one is not empty.
  void Set(int n, const CAdword& entry);
  void CopyFrom(const CAdwordList& list);
};

// ---------------------------------------------------------------------------
// Per-report column choice, kept by the workspace file.

struct CColumnsCfg {
  CColumnsCfg() = default;
  ~CColumnsCfg();
  CColumnsCfg(const CColumnsCfg&) = delete;
  CColumnsCfg& operator=(const CColumnsCfg&) = delete;

  uint16_t type = 0;    // report kind
  char* cfg = nullptr;  // column marks
};
using CColumnsCfgList = CRecordList<CColumnsCfg>;

// ---------------------------------------------------------------------------

// Display and matching options copied in from the workspace before each analysis.
struct CDisplayOptions {
  int16_t dt_format = 0;     // 0 DMY, 1 YMD, 2 MDY
  int16_t dt_separator = 0;  // 0 '/', 1 '-', 2 '.'
  int16_t dt_4year = 0;      // 1 two-digit year
  int16_t dt_fmnth = 0;      // 1 month as number
  int16_t dt_dweek = 0;      // 1 week begins on Monday
  int16_t tm_format = 0;     // 1 12-hour clock
  int16_t zone_server = 0;   // hours
  int16_t zone_report = 0;   // hours
  int16_t not_use_cookie = 0;
  int16_t case_kwd = 1;
  int16_t ignore_argm = 0;
  int16_t case_page = 0;      // 1: page names compare without case
  int16_t host_represnt = 0;  // 0 name, 1 address, 2 name and address, 3 address and name
  std::string language;  // selected report language, empty for the built-in one
};

class CProject {
 public:
  CProject();
  ~CProject();
  CProject(const CProject&) = delete;
  CProject& operator=(const CProject&) = delete;

  // Drops the sources, groups, filters, host comments and the two texts and sets
  // the defaults. Keeps the pay-per-click pages and the ODBC loader.
  void Reset();
  // Frees everything the workspace put in, pay-per-click pages included, then Reset.
  void Clear();

  void SetOdbcLoader(OdbcLoaderFn loader) { m_odbcLoader = loader; }
  OdbcLoaderFn OdbcLoader() const { return m_odbcLoader; }

  CLogSourceList sources;
  CGroupList groups;
  uint32_t first_date = 0;  // packed: day, month, year (high 16 bits)
  uint32_t first_time = 0;  // seconds of the day
  uint32_t last_date = 0;
  uint32_t last_time = 0;
  CFilterList filters;
  CHostCommentList host_comments;
  CAdwordList adwords;
  char* url = nullptr;    // key "URL": the site's own address(es)
  char* index = nullptr;  // key "index": default document names
  uint32_t spare1 = 0;
  uint32_t spare2 = 0;
  uint32_t dns_lookup = 0;
  uint32_t ip_lookup = 0;       // reserve a host-name slot in every record
  uint32_t keep_downloads = 0;  // 0: forget downloaded file lists after each load
  uint32_t pass_flag = 0;
  uint32_t session = 30;  // visit time-out, minutes
  uint32_t int_reff = 1;
  uint32_t reff_se = 1;
  uint32_t send_receive = 0;
  uint32_t subdomain = 0;
  uint32_t counter_groups = 0;  // groups with their own row counters
  uint32_t expand_groups = 1;
  uint32_t options_copied = 0;
  uint32_t from_date = 0;  // packed; 0 open
  uint32_t from_spare = 0;
  uint32_t to_date = 0;  // packed; 0 open
  uint32_t to_spare = 0;
  uint32_t analysis_mode = 0;
  CDisplayOptions display;
  bool period_asked = false;  // the period of the ODBC sources was asked once

  // True when some source is an ODBC table: always with always, else only the
  // first time (period_asked is then set).
  bool NeedPeriodDialog(int always);

 private:
  OdbcLoaderFn m_odbcLoader = nullptr;
};

// Bumped by every load of records; part of every cached result's key.
extern uint32_t g_queryGeneration;
inline void BumpQueryGeneration() { ++g_queryGeneration; }

extern CProject g_project;
