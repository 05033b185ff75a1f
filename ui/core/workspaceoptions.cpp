#include "ui/core/workspaceoptions.h"

#include "base/textutil.h"
#include "engine/analysis/analysis.h"
#include "engine/config/settings.h"

namespace {

std::string Text(const char* s) { return s ? s : ""; }

}  // namespace

void LoadDocumentOptions(const CWorkspaceFile& workspace, CProject& project) {
  const WorkspaceCommon& c = workspace.common;
  SettingsBlock& s = g_settings;
  s.add_contry = c.add_countr;
  s.no_refer = c.sh_no_refer;
  s.add_day_week = c.add_day_week;
  s.dt_format = c.dt_format;
  s.dt_separator = c.dt_separator;
  s.dt_4year = c.dt_4year;
  s.dt_fmnth = c.dt_fmnth;
  s.dt_dweek = c.dt_dweek;
  s.tm_format = c.tm_format;
  s.zone_server = c.zone_server;
  s.zone_report = c.zone_report;

  // The display code reads its date options from the project as well.
  CDisplayOptions& d = project.display;
  d.dt_format = c.dt_format;
  d.dt_separator = c.dt_separator;
  d.dt_4year = c.dt_4year;
  d.dt_fmnth = c.dt_fmnth;
  d.dt_dweek = c.dt_dweek;
  d.tm_format = c.tm_format;
  d.zone_server = c.zone_server;
  d.zone_report = c.zone_report;
  d.ignore_argm = c.ignore_argm;
  d.case_page = c.case_page;
  d.not_use_cookie = c.not_use_cookie;
  d.case_kwd = c.case_kwd;
  d.host_represnt = c.host_represnt;
  g_analysisOptions.auto_robot = c.auto_robot;
  g_analysisOptions.save_a_robot = c.save_a_robot;
  g_analysisOptions.confirmation_robot = c.confirmation_robot;

  project.int_reff = static_cast<uint32_t>(c.int_reff);
  project.reff_se = static_cast<uint32_t>(c.reff_se);
  project.dns_lookup = static_cast<uint32_t>(c.dns_lookup);
  project.ip_lookup = static_cast<uint32_t>(c.ip_lookup);
  project.session = static_cast<uint32_t>(c.session);
  project.send_receive = static_cast<uint32_t>(c.send_receive);
  project.expand_groups = static_cast<uint32_t>(c.expand_groups);
  project.subdomain = static_cast<uint32_t>(c.subdomain);
  SetStr(&project.url, c.URL);
  SetStr(&project.index, c.index);
  project.options_copied = 1;
  project.groups.CopyFrom(workspace.groups);
}

void LoadDocumentOptions() { LoadDocumentOptions(g_workspace, g_project); }

std::string LogSourceLine(const CLogSource& source) {
  switch (source.type) {
    case kSourceOdbc: return "ODBC (DNS='" + Text(source.db_dns) + "', Table='" + Text(source.db_table) + "')";
    case kSourceFtp: return "FTP (Server='" + Text(source.server) + "')";
    case kSourceHttp: return "HTTP (URL='" + Text(source.url) + "')";
    default: return source.file && *source.file ? source.file : "-";
  }
}

std::string GroupLine(const CGroup& group) { return group.name && *group.name ? group.name : "-"; }
