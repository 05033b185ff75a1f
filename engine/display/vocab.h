// The report vocabulary: every word a report shows (titles, column headers,
// labels, month and weekday names) is a numbered term with a built-in English
// text. The current language file may translate each term and rename
// countries; its texts are byte strings, kept as read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/config/sectionfile.h"
#include "engine/store/project.h"

constexpr int kTermCount = 141;

// Named after the term's key in the language file.
enum ReportTerm : int {
  kTermHits = 0, kTermXVisitors = 1, kTermXPages = 2, kTermHost = 3, kTermHosts = 4,
  kTermVisitor = 5, kTermVisitors = 6, kTermPage = 7, kTermPages = 8, kTermRefer = 9,
  kTermRefers = 10, kTermArgm = 11, kTermArgms = 12, kTermKeyword = 13, kTermKeywords = 14,
  kTermSe = 15, kTermSes = 16, kTermReferSite = 17, kTermReferSites = 18, kTermContry = 19,
  kTermContrys = 20, kTermCity = 21, kTermCitys = 22, kTermRegion = 23, kTermRegions = 24,
  kTermStatus = 25, kTermRCodes = 26, kTermUser = 27, kTermUsers = 28, kTermUserAgent = 29,
  kTermOs = 30, kTermOss = 31, kTermBrowser = 32, kTermBrowsers = 33, kTermHour = 34,
  kTermByHours = 35, kTermEntry = 36, kTermEntrys = 37, kTermExit = 38, kTermExits = 39,
  kTermDayWeek = 40, kTermByDayWk = 41, kTermDaily = 42, kTermGroup = 43, kTermGroups = 44,
  kTermTopDomain = 45, kTermTopDomains = 46, kTermType = 47, kTermMonth = 48, kTermByMonth = 49,
  kTermNoRefer = 50, kTermNoUsera = 51, kTermOther = 52, kTermUnknow = 53, kTermRobot = 54,
  kTermRobots = 55, kTermRobotss = 56, kTermDownMan = 57, kTermDownMans = 58, kTermTotal = 59,
  kTermError = 60, kTermErrors = 61, kTermDir = 62, kTermDirs = 63, kTermTpFile = 64,
  kTermTpFiles = 65, kTermFile = 66, kTermFiles = 67, kTermPgFl = 68, kTermPgFls = 69,
  kTermPath = 70, kTermPaths = 71, kTermSubdom = 72, kTermSubdoms = 73, kTermSubfolder = 74,
  kTermSubfolders = 75, kTermTypeRef = 76, kTermTypeRefs = 77, kTermSummarySt = 78,
  kTermStGeneral = 79, kTermStAccess = 80, kTermStVisitor = 81, kTermStReferer = 82,
  kTermStUcera = 83, kTermStActiv = 84, kTermStError = 85, kTermAllReports = 86, kTermValue = 87,
  kTermItems = 88, kTermDetail = 89, kTermBandwidth = 90, kTermAllOther = 91, kTermDate = 92,
  kTermChildPage = 93, kTermCookie = 94, kTermDbCont = 95, kTermDateRep = 96, kTermNumDays = 97,
  kTermTtlHits = 98, kTermHitsPdy = 99, kTermPageViews = 100, kTermPagePdy = 101,
  kTermTtlVisitr = 102, kTermVisitrPdy = 103, kTermUniqueIp = 104, kTermTtlBandw = 105,
  kTermBandwPdy = 106, kTermComplate = 107, kTermSend = 108, kTermReceive = 109,
  kTermSmonth0 = 110, kTermSmonth1 = 111, kTermSmonth2 = 112, kTermSmonth3 = 113,
  kTermSmonth4 = 114, kTermSmonth5 = 115, kTermSmonth6 = 116, kTermSmonth7 = 117,
  kTermSmonth8 = 118, kTermSmonth9 = 119, kTermSmonth10 = 120, kTermSmonth11 = 121,
  kTermLmonth0 = 122, kTermLmonth1 = 123, kTermLmonth2 = 124, kTermLmonth3 = 125,
  kTermLmonth4 = 126, kTermLmonth5 = 127, kTermLmonth6 = 128, kTermLmonth7 = 129,
  kTermLmonth8 = 130, kTermLmonth9 = 131, kTermLmonth10 = 132, kTermLmonth11 = 133,
  kTermWday0 = 134, kTermWday1 = 135, kTermWday2 = 136, kTermWday3 = 137, kTermWday4 = 138,
  kTermWday5 = 139, kTermWday6 = 140,
  kTermLast = kTermWday6,
};

// mode 1: the translation when there is a non-empty one, else the English text;
// mode 2: the translation, or null when there is none; any other mode: English.
// An id outside 0..140 gives "". The text belongs to the vocabulary.
const char* GetTerm(int id, int mode = 1);
// The key of a term in the language file's "Common" section; "" for a bad id.
const char* TermKey(int id);
// Where the current language keeps a term's translation; null for a bad id.
char** GetTermSlot(int id);
// GetTerm(id, 1) into buffer (capacity bytes, always terminated when capacity > 0,
// cut to fit), then StripAccentEntities.
char* CopyTerm(int id, char* buffer, size_t capacity);
// A null or empty text removes the translation (result 1); otherwise the
// translation becomes a copy of text, and the result tells whether it differs
// from the former one. 0 for a bad id.
int SetTerm(int id, const char* text);
// In place, in this order: "&ocirc", "&eacute", "&ucirc", "&auml", "&aacute" and
// "&iacute" become o, e, u, a, a and i; a ';' behind stays.
char* StripAccentEntities(char* text);

// A translated country name of the language file.
struct CLanguageCountry {
  CLanguageCountry() = default;
  ~CLanguageCountry();
  CLanguageCountry(const CLanguageCountry&) = delete;
  CLanguageCountry& operator=(const CLanguageCountry&) = delete;

  char* name = nullptr;
  char* domain = nullptr;  // the country's top-level-domain code
};

struct CLanguageCommon {
  char* equiv = nullptr;  // kept with the file, no meaning to the engine
  char* terms[kTermCount] = {};
  int16_t engl_chart = 0;  // charts keep the English terms
};

// The current language: a section file with the fixed section "Common" (the
// translations) and the record section "Language" (translated country names).
class CLanguageFile : public CSectionFile {
 public:
  CLanguageFile();
  ~CLanguageFile() override;

  // Frees every translation and country record and forgets the file name.
  void FreeTexts();

  // Nothing (false) for a null or empty text or an unknown country. Otherwise the
  // country table's name of that country becomes the text, and the record of its
  // domain takes a copy (a new record is appended when there is none). True when
  // the name or the record changed.
  bool SetCountryName(int countryId, const char* text);

  CLanguageCommon common;
  CRecordList<CLanguageCountry> countries;
};

extern CLanguageFile g_language;

// Nothing for a null or empty name. Otherwise frees the translations, reads the
// language file of that name (only its file-name part counts) and renames the
// countries it translates. A file that cannot be read leaves the English texts.
// True when the file was read and applied.
bool LoadLanguage(const char* fileName);
void FreeLanguageTexts();
// Changes whenever the texts of the report language may have changed (a
// language loaded or dropped, a term edited), so windows that show terms
// know when to relabel.
unsigned LanguageGeneration();
// The report language of the settings and the workspace: an empty name means the
// built-in English texts, any other is loaded.
void ApplyReportLanguage(const char* name);
// Installs ApplyReportLanguage as the settings' language loader and the terms as
// the auxiliary tables' words. Done at start-up; call again after replacing them.
void InstallVocabulary();

// Where a language file of that name is read: the data folder when it holds one,
// else the program folder. Only the name's file-name part is used; "" when it has none.
std::string LanguageFilePath(const char* name);
// Copies name into out (cut to fit) and appends ".lng" unless it already ends in
// that extension, in any case. Returns out.
char* AddLngExtension(char* out, size_t size, const char* name);
// Rebuilds and returns the list of language files: the names of the "*.lng"
// files of the program folder and the data folder, sorted, each once.
const std::vector<std::string>& FindLanguageFiles();
const std::vector<std::string>& LanguageFiles();

// Saves the current language under that name (its file-name part) in the data
// folder, where edited languages are kept. True when written.
bool SaveLanguage(const char* fileName);
// SaveLanguage, then the mail that sends the saved file to support. Returns the
// mail's path, "" when either failed.
std::string LanguageCorrection(const char* fileName);
