// Command ids of the menu bar, the report context menu, the accelerators and
// the toolbar. The framework's own commands use wx's stock ids. The program's
// commands are known by historical numbers (32770 and up, as stored in the
// report command table); wx wants menu ids below 0x7FFF, so each is moved
// to Cmd(number), clear of wx's stock range. Controls of one dialog keep
// their ids in that dialog.
#pragma once
#include <wx/defs.h>

constexpr int kCommandBase = 20000;
constexpr int Cmd(int historical) { return kCommandBase + historical - 32768; }

enum CommandId : int {
  // File
  ID_FILE_NEW = wxID_NEW,
  ID_FILE_OPEN = wxID_OPEN,
  ID_FILE_SAVE = wxID_SAVE,
  ID_FILE_PRINT = wxID_PRINT,
  ID_FILE_PRINT_SETUP = wxID_PRINT_SETUP,
  ID_FILE_PRINT_PREVIEW = wxID_PREVIEW,
  ID_APP_EXIT = wxID_EXIT,
  // Edit
  ID_EDIT_COPY = wxID_COPY,
  ID_EDIT_FIND_IN_REPORT = Cmd(32806),
  ID_EDIT_FIND_AGAIN = Cmd(32807),
  // View
  ID_VIEW_CHART = Cmd(32805),
  ID_VIEW_TABLE = Cmd(32811),
  ID_VIEW_CHART_TABLE = Cmd(32839),  // accelerator only: chart <-> table
  ID_VIEW_CHART_FRAME = Cmd(32845),
  ID_VIEW_SUBREPORT_TABLE = Cmd(32841),
  ID_VIEW_SUBREPORT_CHART = Cmd(32840),
  ID_VIEW_CLOSE_SUBREPORT = Cmd(32842),
  ID_VIEW_CUSTOMIZE_COLUMN = Cmd(32847),
  ID_VIEW_OPTIONS = Cmd(32796),
  // Report
  ID_REPORT_EXPORT_HTML = Cmd(32802),
  ID_REPORT_EXPORT_TEXT = Cmd(32803),
  ID_REPORT_EXPORT_CSV = Cmd(32819),
  ID_REPORT_SEND_MAIL = Cmd(32801),
  ID_REPORT_EXPORT_ALL_CSV = Cmd(32829),
  ID_REPORT_HOST_LOOKUP = Cmd(32816),
  ID_REPORT_RELOAD = Cmd(32813),
  ID_REPORT_FILTER_HISTORY = Cmd(32800),
  ID_REPORT_ENVIRONMENT_FILTERS = Cmd(32821),
  ID_REPORT_CONFIRM_SPIDERS = Cmd(32823),
  ID_REPORT_LOG_FILE_REPORT = Cmd(32846),
  ID_REPORT_UPDATE_DATABASES = Cmd(32817),
  ID_REPORT_WORKSPACE_SETTINGS = Cmd(32812),
  // Go
  ID_GO_PREVIOUS = Cmd(32773),
  ID_GO_NEXT = Cmd(32774),
  ID_GO_PAGES = Cmd(32788),
  ID_GO_HOSTS = Cmd(32784),
  ID_GO_REFERRER_PAGES = Cmd(32789),
  ID_GO_KEYWORDS = Cmd(32791),
  ID_GO_SEARCH_ENGINES = Cmd(32790),
  ID_GO_REFERRING_SITES = Cmd(32793),
  ID_GO_COUNTRIES = Cmd(32794),
  ID_GO_OPERATING_SYSTEMS = Cmd(32797),
  ID_GO_BROWSERS = Cmd(32798),
  ID_GO_BY_HOURS = Cmd(32799),
  ID_GO_DAYS_OF_WEEK = Cmd(32804),
  ID_GO_VISITORS = Cmd(32810),
  ID_GO_CITIES = Cmd(32814),
  ID_GO_REGIONS = Cmd(32815),
  ID_GO_USERS = Cmd(32849),
  ID_GO_PATHS = Cmd(32820),
  ID_GO_SPIDERS = Cmd(32822),
  ID_GO_BY_DAYS = Cmd(32783),
  ID_GO_SUBDOMAINS = Cmd(32837),
  ID_GO_CHILD_PAGES = Cmd(32809),  // subreport of the selected page, no menu text
  ID_GO_ARGUMENTS = Cmd(32787),
  ID_GO_TYPE_REFERRERS = Cmd(32848),
  ID_GO_ITEMS = Cmd(32795),
  ID_GO_OPEN_IN_BROWSER = Cmd(32786),
  ID_GO_WHOIS = Cmd(32818),
  ID_HOST_COMMENT = Cmd(32770),  // context menu only
  // Help
  ID_HELP_INDEX = Cmd(32777),
  ID_HELP_LOG_FORMATS = Cmd(32808),
  ID_HELP_SUPPORT = Cmd(32780),
  ID_HELP_BUG_REPORT = Cmd(32792),
  ID_APP_ABOUT = wxID_ABOUT,
  // Toolbar slots that hold the date pickers (the pickers take these ids).
  ID_DATE_FROM = Cmd(32775),
  ID_DATE_TO = Cmd(32776),
};
