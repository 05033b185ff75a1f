// The workspace file (*.tv): log sources, groups, filters, pay-per-click
// entries, per-report column choices, host comments and the per-site settings.
// One global object; the section form is read and written, the older keyword
// form only read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/config/sectionfile.h"
#include "engine/store/project.h"

extern const char* const kDefaultWhoisUrl;

// The [Common] values. Texts are owned, null when empty.
struct WorkspaceCommon {
  char* URL = nullptr;        // site address(es), ';'-separated
  char* index = nullptr;      // index page names, ';'-separated
  char* whois_url = nullptr;  // "[URL]" stands for the host
  char* language = nullptr;   // report language; empty for the built-in one
  char* download_dt = nullptr;  // date and time of the last unattended download run
  int16_t dt_format = 0;
  int16_t dt_separator = 0;
  int16_t dt_4year = 0;
  int16_t dt_fmnth = 0;
  int16_t dt_dweek = 0;
  int16_t tm_format = 0;
  int16_t zone_server = 0;
  int16_t zone_report = 0;
  int16_t add_countr = 0;
  int16_t sh_no_refer = 0;
  int16_t add_day_week = 0;
  int16_t ignore_argm = 0;
  int16_t send_receive = 0;
  int16_t session = 0;
  int16_t int_reff = 0;
  int16_t reff_se = 0;
  int16_t dns_lookup = 0;
  int16_t ip_lookup = 0;
  int16_t case_page = 0;
  int16_t auto_robot = 0;
  int16_t save_a_robot = 0;
  int16_t confirmation_robot = 0;
  int16_t not_use_cookie = 0;
  int16_t expand_groups = 0;
  int16_t subdomain = 0;
  int16_t display_bad_file = 0;
  int16_t case_kwd = 0;
  int16_t host_represnt = 0;
  int16_t memory = 0;
};

// What the workspace settings dialog hands back, in its order.
struct WorkspaceSettings {
  std::string URL, index, whois_url, language;
  int16_t dt_format = 0, dt_separator = 0, dt_4year = 0, dt_fmnth = 0, dt_dweek = 0, tm_format = 0;
  int16_t zone_server = 0, zone_report = 0, add_countr = 0, sh_no_refer = 0, add_day_week = 0;
  int16_t ignore_argm = 0, send_receive = 0, session = 0, int_reff = 0, reff_se = 0, dns_lookup = 0;
  int16_t ip_lookup = 0, case_page = 0, auto_robot = 0, save_a_robot = 0, confirmation_robot = 0;
  int16_t not_use_cookie = 0, expand_groups = 0, subdomain = 0, display_bad_file = 0, case_kwd = 0;
  int16_t host_represnt = 0;
};

// The log-source, filter, pay-per-click and host-comment sections fill the
// lists of g_project; groups and column choices are kept here.
class CWorkspaceFile : public CSectionFile {
 public:
  CWorkspaceFile();
  ~CWorkspaceFile() override;

  // Stores the dialog's values through the setters (so the dirty flag tracks real
  // changes), then loads the chosen report language.
  void ApplyWorkspaceSettings(const WorkspaceSettings& settings);

  // The column marks of the first columns record of that report kind, or null.
  const char* GetColumnsCfg(uint16_t kind) const;
  // Replaces them, appending a record when there is none. 1 when they changed.
  int SetColumnsCfg(uint16_t kind, const char* text);

  // "Pages" and "Downloads".
  void AddDefaultGroups();

  WorkspaceCommon common;
  CGroupList groups;
  CColumnsCfgList columns;

 private:
  friend CWorkspaceFile* LoadWorkspace(const char* fileName);
};

extern CWorkspaceFile g_workspace;

// Always gives the workspace: a file that cannot be read, a broken section file
// and a broken old-format file all leave the defaults. A good file's folder
// becomes the current directory.
CWorkspaceFile* LoadWorkspace(const char* fileName);
// Saves in the section form under that name; the result of the save is in *ok.
CWorkspaceFile* SaveWorkspace(const char* fileName, int* ok = nullptr);
// Defaults, the default groups, and the (built-in) language.
CWorkspaceFile* SetWorkspaceDefaults();

// Reads an old keyword-format workspace into g_project. 0 on failure, reported
// as "'<file>' bad workspace".
int ReadOldWorkspace(const char* fileName);

// Column marks: "+C%03i=" per chosen optional column (2..7).
// Writes n marks into buffer (size bytes, always terminated when size > 0);
// returns how many fitted.
int BuildColumnMarks(char* buffer, size_t size, const int* values, int n);
// Reads at most five valid marks into slots (the rest 0); returns the count.
int ParseColumnMarks(const char* text, int slots[5]);
