// Program-wide report options kept in "Trailvane.cfg" in the writable data
// folder: key=value lines, no sections, no version line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kMaxLanguageName = 305;

struct SettingsBlock {
  int32_t add_contry = 1;  // add the country to IP addresses
  int32_t add_proc_h = 1;  // percentage after hits
  int32_t add_proc_b = 1;  // percentage after bandwidth
  int32_t add_proc_u = 1;  // percentage after visitors
  int32_t no_refer = 1;    // show the "No Referrer" row
  int32_t no_user_a = 1;   // show the "No User Agent" row
  int32_t add_day_week = 1;
  int32_t add_proc_p = 1;  // percentage after pages
  // Display options copied in from the workspace; not stored in the file.
  int16_t dt_format = 0;
  int16_t dt_separator = 0;
  int16_t dt_4year = 0;
  int16_t dt_fmnth = 0;
  int16_t dt_dweek = 0;
  int16_t tm_format = 0;
  int16_t zone_server = 0;
  int16_t zone_report = 0;
  char Language[kMaxLanguageName + 1] = {};  // empty: the built-in language
  int32_t days_dns_cache = 15;
};

extern SettingsBlock g_settings;      // the live block the engine and exports read
extern SettingsBlock g_settingsWork;  // the copy the Options dialog edits

std::string SettingsFilePath();

// Sets days_dns_cache to 15 and reads the file when there is one (a missing file
// is not reported); then the working copy equals the live block. Loads the
// named report language. 1 when the file was read without error.
int LoadConfig();
// Copies the working flags, display options and language over the live block,
// writes the file and loads the named language. 1 when written.
int SaveConfig();

// The report-language loader, installed by the vocabulary module; until then
// language changes load nothing.
using LanguageLoaderFn = void (*)(const char* name);
void SetLanguageLoader(LanguageLoaderFn loader);
void LoadReportLanguage(const char* name);

// Tokens of the keyword formats (this file and the older workspace format).
class KeywordTokenizer {
 public:
  enum Kind { End, Bad, Name, Number, String, Equals, Comma, LBrace, RBrace, Stray };
  struct Token {
    Kind kind = End;
    const char* text = nullptr;
    size_t length = 0;
    bool Is(const char* name, bool ignoreCase) const;
    std::string Text() const { return std::string(text, length); }
  };
  KeywordTokenizer(const char* text, size_t length) : m_p(text), m_end(text + length) {}
  // Bad, then End, when the text breaks off inside a comment or string or holds a
  // stray "*/".
  Token Next();

 private:
  const char* m_p;
  const char* m_end;
};
