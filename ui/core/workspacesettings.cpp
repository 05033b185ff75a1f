#include "ui/core/workspacesettings.h"

#include <cctype>
#include <cstdio>

std::string ZoneEntryText(int index) {
  int hours = IndexToHourOffset(index);
  if (hours == 0) return "GMT 0";
  char text[24];
  snprintf(text, sizeof text, "GMT %c%02d:00", hours < 0 ? '-' : '+', hours < 0 ? -hours : hours);
  return text;
}

WorkspaceSettings WorkspaceSettingsOf(const WorkspaceCommon& c) {
  WorkspaceSettings s;
  s.URL = c.URL ? c.URL : "";
  s.index = c.index ? c.index : "";
  s.whois_url = c.whois_url ? c.whois_url : "";
  s.language = c.language ? c.language : "";
  s.dt_format = c.dt_format;
  s.dt_separator = c.dt_separator;
  s.dt_4year = c.dt_4year;
  s.dt_fmnth = c.dt_fmnth;
  s.dt_dweek = c.dt_dweek;
  s.tm_format = c.tm_format;
  s.zone_server = c.zone_server;
  s.zone_report = c.zone_report;
  // Switches go to the check boxes as 0/1.
  auto flag = [](int16_t v) -> int16_t { return v ? 1 : 0; };
  s.add_countr = flag(c.add_countr);
  s.sh_no_refer = flag(c.sh_no_refer);
  s.add_day_week = flag(c.add_day_week);
  s.ignore_argm = flag(c.ignore_argm);
  s.send_receive = c.send_receive;
  s.session = c.session;
  s.int_reff = flag(c.int_reff);
  s.reff_se = flag(c.reff_se);
  s.dns_lookup = flag(c.dns_lookup);
  s.ip_lookup = flag(c.ip_lookup);
  s.case_page = c.case_page;
  s.auto_robot = flag(c.auto_robot);
  s.save_a_robot = flag(c.save_a_robot);
  s.confirmation_robot = flag(c.confirmation_robot);
  s.not_use_cookie = flag(c.not_use_cookie);
  s.expand_groups = flag(c.expand_groups);
  s.subdomain = flag(c.subdomain);
  s.display_bad_file = c.display_bad_file;
  s.case_kwd = flag(c.case_kwd);
  s.host_represnt = c.host_represnt;
  return s;
}

bool ParseIntInRange(const std::string& text, int32_t lo, int32_t hi, int32_t* value) {
  size_t i = 0, n = text.size();
  while (i < n && isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  size_t digits = i;
  int64_t v = 0;
  while (i < n && isdigit(static_cast<unsigned char>(text[i]))) {
    v = v * 10 + (text[i++] - '0');
    if (v > int64_t{1} << 40) return false;
  }
  if (i == digits) return false;
  while (i < n && isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i != n) return false;
  if (negative) v = -v;
  if (v < lo || v > hi) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

std::string IntegerRangeMessage(int32_t lo, int32_t hi) {
  char text[96];
  snprintf(text, sizeof text, "Please enter an integer between %d and %d.", static_cast<int>(lo), static_cast<int>(hi));
  return text;
}
