#include "engine/display/vocab.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"

CLanguageFile g_language;

namespace {
std::atomic<unsigned> g_languageGeneration{0};
void LanguageChanged() { g_languageGeneration.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

unsigned LanguageGeneration() { return g_languageGeneration.load(std::memory_order_relaxed); }

namespace {

struct TermDef {
  const char* key;
  const char* english;
};

constexpr TermDef kTerms[kTermCount] = {
    {"hits", "Hits"},  // 0
    {"x_visitors", "Visitors"},  // 1
    {"x_pages", "Pages"},  // 2
    {"host", "Host"},  // 3
    {"hosts", "Hosts"},  // 4
    {"visitor", "Visitor"},  // 5
    {"visitors", "Visitors"},  // 6
    {"page", "Page"},  // 7
    {"pages", "Pages"},  // 8
    {"refer", "Referrer"},  // 9
    {"refers", "Referrers"},  // 10
    {"argm", "Argument"},  // 11
    {"argms", "Arguments"},  // 12
    {"keyword", "Keyword"},  // 13
    {"keywords", "Keywords"},  // 14
    {"se", "Search Engine"},  // 15
    {"ses", "Search Engines"},  // 16
    {"refer_site", "Referring Site"},  // 17
    {"refer_sites", "Referring Sites"},  // 18
    {"contry", "Country"},  // 19
    {"contrys", "Countries"},  // 20
    {"city", "City"},  // 21
    {"citys", "Cities"},  // 22
    {"region", "Region"},  // 23
    {"regions", "Regions"},  // 24
    {"status", "Response Code"},  // 25
    {"r_codes", "Response Codes"},  // 26
    {"user", "User"},  // 27
    {"users", "Users"},  // 28
    {"user_agent", "User Agent"},  // 29
    {"os", "Operating System"},  // 30
    {"oss", "Operating Systems"},  // 31
    {"browser", "Browser"},  // 32
    {"browsers", "Browsers"},  // 33
    {"hour", "Hour"},  // 34
    {"by_hours", "By Hours"},  // 35
    {"entry", "Entry Point"},  // 36
    {"entrys", "Entry Points"},  // 37
    {"exit", "Exit Point"},  // 38
    {"exits", "Exit Points"},  // 39
    {"day_week", "Day of Week"},  // 40
    {"by_day_wk", "By Day of Week"},  // 41
    {"daily", "Daily"},  // 42
    {"group", "Group"},  // 43
    {"groups", "Groups"},  // 44
    {"top_domain", "Top Level Domain"},  // 45
    {"top_domains", "Top Level Domains"},  // 46
    {"type", "Type"},  // 47
    {"month", "Month"},  // 48
    {"by_month", "By Month"},  // 49
    {"no_refer", "No Referrer"},  // 50
    {"no_usera", "No User Agent"},  // 51
    {"other", "Other"},  // 52
    {"unknow", "Unknown"},  // 53
    {"robot", "Spider"},  // 54
    {"robots", "Spiders"},  // 55
    {"robotss", "Spiders Summary"},  // 56
    {"down_man", "Download Manager"},  // 57
    {"down_mans", "Download Managers"},  // 58
    {"total", "Total"},  // 59
    {"error", "Error"},  // 60
    {"errors", "Errors"},  // 61
    {"dir", "Folder"},  // 62
    {"dirs", "Folders"},  // 63
    {"tp_file", "File Type"},  // 64
    {"tp_files", "File Types"},  // 65
    {"file", "File"},  // 66
    {"files", "Files"},  // 67
    {"pg_fl", "Page(File)"},  // 68
    {"pg_fls", "Pages(Files)"},  // 69
    {"path", "Path"},  // 70
    {"paths", "Paths"},  // 71
    {"subdom", "Subdomain"},  // 72
    {"subdoms", "Subdomains"},  // 73
    {"subfolder", "Subfolder"},  // 74
    {"subfolders", "Subfolders"},  // 75
    {"type_ref", "Referrer Type"},  // 76
    {"type_refs", "Referrer Types"},  // 77
    {"summary_st", "Summary Stats"},  // 78
    {"st_general", "General Stats"},  // 79
    {"st_access", "Access Stats"},  // 80
    {"st_visitor", "Visitor Stats"},  // 81
    {"st_referer", "Referrer Stats"},  // 82
    {"st_ucera", "User Agent Stats"},  // 83
    {"st_activ", "Activity Stats"},  // 84
    {"st_error", "Error Stats"},  // 85
    {"all_reports", "All Reports"},  // 86
    {"value", "Value"},  // 87
    {"items", "Items"},  // 88
    {"detail", "Detail"},  // 89
    {"bandwidth", "Bandwidth"},  // 90
    {"all_other", "All Others"},  // 91
    {"date", "Date"},  // 92
    {"child_page", "Child Pages"},  // 93
    {"cookie", "Cookie"},  // 94
    {"db_cont", "Database Content"},  // 95
    {"date_rep", "Date of this report"},  // 96
    {"num_days", "Total number of days"},  // 97
    {"ttl_hits", "Total hits"},  // 98
    {"hits_pdy", "Hits per day"},  // 99
    {"page_views", "Page views"},  // 100
    {"page_pdy", "Pages per day"},  // 101
    {"ttl_visitr", "Total visitors"},  // 102
    {"visitr_pdy", "Visitors per day"},  // 103
    {"unique_ip", "Unique users (IP)"},  // 104
    {"ttl_bandw", "Total bandwidth"},  // 105
    {"bandw_pdy", "Bandwidth per day"},  // 106
    {"complate", "Complete"},  // 107
    {"send", "Send"},  // 108
    {"receive", "Receive"},  // 109
    {"smonth0", "Jan"},  // 110
    {"smonth1", "Feb"},  // 111
    {"smonth2", "Mar"},  // 112
    {"smonth3", "Apr"},  // 113
    {"smonth4", "May"},  // 114
    {"smonth5", "Jun"},  // 115
    {"smonth6", "Jul"},  // 116
    {"smonth7", "Aug"},  // 117
    {"smonth8", "Sep"},  // 118
    {"smonth9", "Oct"},  // 119
    {"smonth10", "Nov"},  // 120
    {"smonth11", "Dec"},  // 121
    {"lmonth0", "January"},  // 122
    {"lmonth1", "February"},  // 123
    {"lmonth2", "March"},  // 124
    {"lmonth3", "April"},  // 125
    {"lmonth4", "May"},  // 126
    {"lmonth5", "June"},  // 127
    {"lmonth6", "July"},  // 128
    {"lmonth7", "August"},  // 129
    {"lmonth8", "September"},  // 130
    {"lmonth9", "October"},  // 131
    {"lmonth10", "November"},  // 132
    {"lmonth11", "December"},  // 133
    {"wday0", "Sunday"},  // 134
    {"wday1", "Monday"},  // 135
    {"wday2", "Tuesday"},  // 136
    {"wday3", "Wednesday"},  // 137
    {"wday4", "Thursday"},  // 138
    {"wday5", "Friday"},  // 139
    {"wday6", "Saturday"},  // 140
};

// The order in which the "Common" keys are written, between "equiv" and "engl_chart".
constexpr int kKeyOrder[kTermCount] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 90, 91, 9, 10, 92, 11, 12, 13, 14, 15, 16, 87, 17, 18, 19, 20, 21,
    22, 23, 24, 25, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48,
    49, 50, 51, 52, 53, 54, 55, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 78, 88, 89, 93,
    94, 26, 27, 28, 70, 71, 72, 73, 76, 77, 74, 75, 110, 111, 112, 113, 114, 115, 116, 117, 118,
    119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 136, 137,
    138, 139, 140, 95, 96, 97, 98, 99, 100, 101, 102, 103, 104, 105, 106, 79, 80, 81, 82, 83, 84,
    85, 56, 107, 86, 108, 109,
};

template <int N>
char** TermField(void* owner) {
  return &static_cast<CLanguageCommon*>(owner)->terms[N];
}

template <size_t... I>
constexpr std::array<KeyDef, kTermCount + 2> MakeCommonKeys(std::index_sequence<I...>) {
  return {{
      StringKey<&CLanguageCommon::equiv>("equiv"),
      KeyDef{kTerms[kKeyOrder[I]].key, KeyString, &TermField<kKeyOrder[I]>, nullptr, nullptr, nullptr, 0, 0,
             nullptr, 0, false}...,
      ShortKey<&CLanguageCommon::engl_chart>("engl_chart"),
  }};
}

constexpr std::array<KeyDef, kTermCount + 2> kCommonKeys = MakeCommonKeys(std::make_index_sequence<kTermCount>());

constexpr KeyDef kCountryKeys[] = {
    StringKey<&CLanguageCountry::name>("name"),
    StringKey<&CLanguageCountry::domain>("domain"),
};

CLanguageFile& Lang(CSectionFile& f) { return static_cast<CLanguageFile&>(f); }

const RecordAccessor kCountryAccessor = {
    [](CSectionFile& f) -> int32_t { return Lang(f).countries.Count(); },
    [](CSectionFile& f, int32_t i) -> void* { return Lang(f).countries.Get(i); },
    [](CSectionFile& f) -> void* {
      CLanguageCountry* r = Lang(f).countries.AddEmpty();
      if (!r) Lang(f).countries.Clear();  // no memory for a record: the list falls to nothing
      return r;
    },
    [](CSectionFile& f) { Lang(f).countries.Clear(); },
};

const SectionDef kLanguageSections[] = {
    {"Common", kCommonKeys.data(), static_cast<int32_t>(kCommonKeys.size()), nullptr,
     [](CSectionFile& f) -> void* { return &Lang(f).common; }},
    {"Language", kCountryKeys, 2, &kCountryAccessor, nullptr},
};

bool ValidTerm(int id) { return id >= 0 && id < kTermCount; }

// The file-name part of a name from a workspace or the settings, so that it can
// only name a file in our own folders.
std::string BaseName(const char* name) {
  if (!name) return {};
  const char* p = name;
  for (const char* s = name; *s; ++s)
    if (*s == '/' || *s == '\\') p = s + 1;
  std::string base(p);
  if (base == "." || base == "..") base.clear();
  return base;
}

std::vector<std::string> g_languageFiles;

const char* AuxTerm(int term) { return GetTerm(term, 1); }

// The vocabulary is in place from the start, before the start-up code runs.
[[maybe_unused]] const bool g_installed = (InstallVocabulary(), true);

}  // namespace

CLanguageCountry::~CLanguageCountry() {
  free(name);
  free(domain);
}

CLanguageFile::CLanguageFile() : CSectionFile(kLanguageSections, 2, 1.0) {}

CLanguageFile::~CLanguageFile() { FreeTexts(); }

void CLanguageFile::FreeTexts() {
  ResetToDefaults();
  ClearDirty();
  LanguageChanged();
}

bool CLanguageFile::SetCountryName(int countryId, const char* text) {
  if (!text || !*text) return false;
  const char* code = GetCountryRecord(countryId);
  if (!code) return false;
  std::string domain(code);
  const char* old = GetCountryName(countryId);
  bool changed = !old || strcmp(old, text) != 0;
  ::SetCountryName(countryId, text);
  CLanguageCountry* record = nullptr;
  for (int i = 0; i < countries.Count() && !record; ++i) {
    const char* d = countries[i].domain;
    if (d && strcasecmp(d, domain.c_str()) == 0) record = countries.Get(i);
  }
  if (!record) {
    record = countries.AddEmpty();
    if (!record) {
      EngineError("Memory overflou");
      return changed;
    }
    SetString(&record->domain, domain.c_str());
  }
  if (SetString(&record->name, text)) changed = true;
  return changed;
}

const char* GetTerm(int id, int mode) {
  if (!ValidTerm(id)) return "";
  const char* translation = g_language.common.terms[id];
  if (mode == 2) return translation && *translation ? translation : nullptr;
  if (mode == 1 && translation && *translation) return translation;
  return kTerms[id].english;
}

const char* TermKey(int id) { return ValidTerm(id) ? kTerms[id].key : ""; }

char** GetTermSlot(int id) { return ValidTerm(id) ? &g_language.common.terms[id] : nullptr; }

char* CopyTerm(int id, char* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return buffer;
  const char* text = GetTerm(id, 1);
  size_t n = strnlen(text, capacity - 1);
  memcpy(buffer, text, n);
  buffer[n] = 0;
  return StripAccentEntities(buffer);
}

int SetTerm(int id, const char* text) {
  char** slot = GetTermSlot(id);
  if (!slot) return 0;
  if (!text || !*text) {
    if (*slot) g_language.SetDirty();
    free(*slot);
    *slot = nullptr;
    LanguageChanged();
    return 1;
  }
  if (*slot && strcmp(*slot, text) == 0) return 0;
  g_language.SetString(slot, text);
  LanguageChanged();
  return 1;
}

char* StripAccentEntities(char* text) {
  if (!text) return text;
  static const struct {
    const char* entity;
    char letter;
  } kEntities[] = {{"&ocirc", 'o'}, {"&eacute", 'e'}, {"&ucirc", 'u'},
                   {"&auml", 'a'},  {"&aacute", 'a'}, {"&iacute", 'i'}};
  for (const auto& e : kEntities) {
    size_t len = strlen(e.entity);
    for (char* p = strstr(text, e.entity); p; p = strstr(p + 1, e.entity)) {
      *p = e.letter;
      memmove(p + 1, p + len, strlen(p + len) + 1);
    }
  }
  return text;
}

std::string LanguageFilePath(const char* name) {
  std::string base = BaseName(name);
  if (base.empty()) return {};
  std::string data = tv::DataDir() + base;
  if (tv::FileExists(data)) return data;
  return tv::ProgramDir() + base;
}

bool LoadLanguage(const char* fileName) {
  std::string path = LanguageFilePath(fileName);
  if (path.empty()) return false;
  g_language.FreeTexts();
  if (!g_language.Load(path.c_str(), 1)) {
    // Half a language is worse than none: a broken file leaves the English texts.
    g_language.FreeTexts();
    return false;
  }
  std::vector<CountryNameEntry> names;
  names.reserve(static_cast<size_t>(g_language.countries.Count()));
  for (int i = 0; i < g_language.countries.Count(); ++i)
    names.push_back({g_language.countries[i].name, g_language.countries[i].domain});
  ApplyCountryNames(names.data(), static_cast<int>(names.size()));
  LanguageChanged();
  return true;
}

void FreeLanguageTexts() { g_language.FreeTexts(); }

void ApplyReportLanguage(const char* name) {
  if (!name || !*name) FreeLanguageTexts();
  else LoadLanguage(name);
}

void InstallVocabulary() {
  SetLanguageLoader(&ApplyReportLanguage);
  SetAuxTermSource(&AuxTerm);
}

char* AddLngExtension(char* out, size_t size, const char* name) {
  if (!out || size == 0) return out;
  if (!name) name = "";
  size_t len = strlen(name);
  bool has = len >= 4 && strcasecmp(name + len - 4, ".lng") == 0;
  std::string text = has ? std::string(name) : std::string(name) + ".lng";
  size_t n = std::min(text.size(), size - 1);
  memcpy(out, text.data(), n);
  out[n] = 0;
  return out;
}

const std::vector<std::string>& FindLanguageFiles() {
  std::vector<std::string> names;
  try {
    for (const std::string& dir : {tv::ProgramDir(), tv::DataDir()})
      for (const tv::FoundFile& f : tv::FindFiles(dir + "*.lng")) names.push_back(BaseName(f.path.c_str()));
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
  } catch (const std::bad_alloc&) {
    names.clear();
  }
  g_languageFiles.swap(names);
  return g_languageFiles;
}

const std::vector<std::string>& LanguageFiles() { return g_languageFiles; }

bool SaveLanguage(const char* fileName) {
  std::string base = BaseName(fileName);
  if (base.empty()) return false;
  return g_language.SaveAs((tv::DataDir() + base).c_str()) != 0;
}

std::string LanguageCorrection(const char* fileName) {
  if (!SaveLanguage(fileName)) return {};
  return WriteSupportMail(g_language.FileName(), fileName, "Language Correct (Adding)");
}
