#include "engine/config/settings.h"

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/config/sectionfile.h"
#include "platform/files.h"
#include "platform/folders.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

SettingsBlock g_settings;
SettingsBlock g_settingsWork;

namespace {

constexpr size_t kMaxKeywordToken = 280;

LanguageLoaderFn g_languageLoader = nullptr;

struct FlagKey {
  const char* name;
  int32_t SettingsBlock::*field;
};
constexpr FlagKey kFlagKeys[] = {
    {"add_contry", &SettingsBlock::add_contry}, {"add_proc_h", &SettingsBlock::add_proc_h},
    {"add_proc_b", &SettingsBlock::add_proc_b}, {"add_proc_u", &SettingsBlock::add_proc_u},
    {"no_refer", &SettingsBlock::no_refer},     {"no_user_a", &SettingsBlock::no_user_a},
    {"add_day_week", &SettingsBlock::add_day_week}, {"add_proc_p", &SettingsBlock::add_proc_p},
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendPaddedLine(std::string& out, const char* text, size_t width, const char* closer) {
  out += text;
  size_t used = strlen(text) + strlen(closer);
  if (used < width) out.append(width - used, ' ');
  out += closer;
  out += '\n';
}

}  // namespace

bool KeywordTokenizer::Token::Is(const char* name, bool ignoreCase) const {
  if (kind != Name || strlen(name) != length) return false;
  return ignoreCase ? strncasecmp(name, text, length) == 0 : strncmp(name, text, length) == 0;
}

KeywordTokenizer::Token KeywordTokenizer::Next() {
  Token t;
  auto bad = [&] {
    m_p = m_end;
    t.kind = Bad;
    return t;
  };
  if (!SkipSettingsComments(&m_p, m_end)) return bad();
  if (m_p >= m_end) return t;
  const char* s = m_p;
  const char* p = s + 1;
  char c = *s;
  if (IsDigit(c) || c == '-') {
    t.kind = Number;
    while (p < m_end && IsDigit(*p) && static_cast<size_t>(p - s) < kMaxKeywordToken) ++p;
  } else if (IsAsciiLetter(c)) {
    t.kind = Name;
    while (p < m_end && *p && !IsDelimiter(*p) && static_cast<size_t>(p - s) < kMaxKeywordToken) ++p;
  } else if (c == '"') {
    while (p < m_end && *p != '"') p += (*p == '\\' && p + 1 < m_end) ? 2 : 1;
    if (p >= m_end) return bad();
    t.kind = String;
    t.text = s + 1;
    t.length = static_cast<size_t>(p - s - 1);
    m_p = p + 1;
    return t;
  } else {
    t.kind = c == '=' ? Equals : c == ',' ? Comma : c == '{' ? LBrace : c == '}' ? RBrace : Stray;
  }
  t.text = s;
  t.length = static_cast<size_t>(p - s);
  m_p = p;
  return t;
}

void SetLanguageLoader(LanguageLoaderFn loader) { g_languageLoader = loader; }

void LoadReportLanguage(const char* name) {
  if (g_languageLoader) g_languageLoader(name ? name : "");
}

std::string SettingsFilePath() { return tv::DataDir() + "Trailvane.cfg"; }

int LoadConfig() {
  g_settings.days_dns_cache = 15;
  std::string path = SettingsFilePath();
  char* text = nullptr;
  size_t length = 0;
  int ok = 1;
  if (ReadWholeFile(path.c_str(), &text, &length, 0)) {
    KeywordTokenizer tk(text, length);
    for (;;) {
      KeywordTokenizer::Token t = tk.Next();
      if (t.kind == KeywordTokenizer::End) break;
      if (t.kind != KeywordTokenizer::Name) {
        EngineErrorF("'%s' bad config file", path.c_str());
        ok = 0;
        break;
      }
      int32_t* number = nullptr;
      for (const FlagKey& k : kFlagKeys)
        if (t.Is(k.name, false)) number = &(g_settings.*k.field);
      if (t.Is("days_dns_cache", false)) number = &g_settings.days_dns_cache;
      bool language = t.Is("Language", false);
      if (!number && !language) continue;  // unknown names are skipped
      KeywordTokenizer::Token eq = tk.Next();
      KeywordTokenizer::Token v = eq.kind == KeywordTokenizer::Equals ? tk.Next() : eq;
      if (v.kind == KeywordTokenizer::Bad) {
        EngineErrorF("'%s' bad config file", path.c_str());
        ok = 0;
        break;
      }
      if (eq.kind != KeywordTokenizer::Equals) continue;
      if (number && v.kind == KeywordTokenizer::Number) {
        *number = ParseDecimalToken(v.text, v.length);
      } else if (language && v.kind == KeywordTokenizer::String) {
        size_t n = v.length < kMaxLanguageName ? v.length : kMaxLanguageName;
        memcpy(g_settings.Language, v.text, n);
        g_settings.Language[n] = 0;
      }
    }
    free(text);
  }
  g_settingsWork = g_settings;
  if (g_settings.Language[0]) LoadReportLanguage(g_settings.Language);
  return ok;
}

int SaveConfig() {
  SettingsBlock& live = g_settings;
  const SettingsBlock& work = g_settingsWork;
  for (const FlagKey& k : kFlagKeys) live.*k.field = work.*k.field;
  live.dt_format = work.dt_format;
  live.dt_separator = work.dt_separator;
  live.dt_4year = work.dt_4year;
  live.dt_fmnth = work.dt_fmnth;
  live.dt_dweek = work.dt_dweek;
  live.tm_format = work.tm_format;
  live.zone_server = work.zone_server;
  live.zone_report = work.zone_report;
  memcpy(live.Language, work.Language, sizeof live.Language);
  live.Language[kMaxLanguageName] = 0;

  std::string out;
  AppendPaddedLine(out, "/** Trailvane configuration file", 78, "**");
  AppendPaddedLine(out, " ** DO NOT EDIT THIS FILE", 79, "**/");
  auto line = [&out](const char* key, int32_t value) {
    out += key;
    out += '=';
    out += std::to_string(value);
    out += '\n';
  };
  for (const FlagKey& k : kFlagKeys) line(k.name, live.*k.field);
  out += "Language=\"";
  out += live.Language;
  out += "\"\n";
  line("days_dns_cache", live.days_dns_cache);

  std::string path = SettingsFilePath();
  // Written beside the old file and renamed over it, so a failed write keeps it.
  int ok = tv::WriteFileReplacing(path, out.data(), out.size()) ? 1 : 0;
  if (!ok) EngineMessageF("can't write the settings file '%s'", path.c_str());
  if (live.Language[0]) LoadReportLanguage(live.Language);
  return ok;
}
