// Command ids of the menu bar, the report context menu, the accelerators and
// the toolbar. The framework's own commands use wx's stock ids. The program's
// commands are known by historical numbers (ui/core/commandnumbers.h); wx
// wants menu ids below 0x7FFF, so each is moved to Cmd(number), clear of wx's
// stock range. Controls of one dialog keep
// their ids in that dialog.
#pragma once
#include <wx/defs.h>

#include "ui/core/commandnumbers.h"

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
  ID_EDIT_FIND_IN_REPORT = Cmd(command::kFind),
  ID_EDIT_FIND_AGAIN = Cmd(command::kFindAgain),
  // View
  ID_VIEW_CHART = Cmd(command::kChart),
  ID_VIEW_TABLE = Cmd(command::kTable),
  ID_VIEW_CHART_TABLE = Cmd(command::kChartTable),  // accelerator only: chart <-> table
  ID_VIEW_CHART_FRAME = Cmd(command::kChartFrame),
  ID_VIEW_SUBREPORT_TABLE = Cmd(command::kSubreportTable),
  ID_VIEW_SUBREPORT_CHART = Cmd(command::kSubreportChart),
  ID_VIEW_CLOSE_SUBREPORT = Cmd(command::kCloseSubreport),
  ID_VIEW_CUSTOMIZE_COLUMN = Cmd(command::kCustomizeColumn),
  ID_VIEW_OPTIONS = Cmd(command::kOptions),
  // Report
  ID_REPORT_EXPORT_HTML = Cmd(command::kExportHtml),
  ID_REPORT_EXPORT_TEXT = Cmd(command::kExportText),
  ID_REPORT_EXPORT_CSV = Cmd(command::kExportCsv),
  ID_REPORT_SEND_MAIL = Cmd(command::kSendMail),
  ID_REPORT_EXPORT_ALL_CSV = Cmd(command::kExportAllCsv),
  ID_REPORT_HOST_LOOKUP = Cmd(command::kHostLookup),
  ID_REPORT_RELOAD = Cmd(command::kReload),
  ID_REPORT_FILTER_HISTORY = Cmd(command::kFilterHistory),
  ID_REPORT_ENVIRONMENT_FILTERS = Cmd(command::kEnvironmentFilters),
  ID_REPORT_CONFIRM_SPIDERS = Cmd(command::kConfirmSpiders),
  ID_REPORT_LOG_FILE_REPORT = Cmd(command::kLogFileReport),
  ID_REPORT_UPDATE_DATABASES = Cmd(command::kUpdateDatabases),
  ID_REPORT_WORKSPACE_SETTINGS = Cmd(command::kWorkspaceSettings),
  // Go
  ID_GO_PREVIOUS = Cmd(command::kPrevious),
  ID_GO_NEXT = Cmd(command::kNext),
  ID_GO_PAGES = Cmd(command::kGoPages),
  ID_GO_HOSTS = Cmd(command::kGoHosts),
  ID_GO_REFERRER_PAGES = Cmd(command::kGoReferrerPages),
  ID_GO_KEYWORDS = Cmd(command::kGoKeywords),
  ID_GO_SEARCH_ENGINES = Cmd(command::kGoSearchEngines),
  ID_GO_REFERRING_SITES = Cmd(command::kGoReferringSites),
  ID_GO_COUNTRIES = Cmd(command::kGoCountries),
  ID_GO_OPERATING_SYSTEMS = Cmd(command::kGoOperatingSystems),
  ID_GO_BROWSERS = Cmd(command::kGoBrowsers),
  ID_GO_BY_HOURS = Cmd(command::kGoByHours),
  ID_GO_DAYS_OF_WEEK = Cmd(command::kGoDaysOfWeek),
  ID_GO_VISITORS = Cmd(command::kGoVisitors),
  ID_GO_CITIES = Cmd(command::kGoCities),
  ID_GO_REGIONS = Cmd(command::kGoRegions),
  ID_GO_USERS = Cmd(command::kGoUsers),
  ID_GO_PATHS = Cmd(command::kGoPaths),
  ID_GO_SPIDERS = Cmd(command::kGoSpiders),
  ID_GO_BY_DAYS = Cmd(command::kGoByDays),
  ID_GO_SUBDOMAINS = Cmd(command::kGoSubdomains),
  ID_GO_CHILD_PAGES = Cmd(command::kChildPages),  // subreport of the selected page, no menu text
  ID_GO_ARGUMENTS = Cmd(command::kGoArguments),
  ID_GO_TYPE_REFERRERS = Cmd(command::kGoTypeReferrers),
  ID_GO_ITEMS = Cmd(command::kGoItems),
  ID_GO_OPEN_IN_BROWSER = Cmd(command::kOpenInBrowser),
  ID_GO_WHOIS = Cmd(command::kWhois),
  ID_HOST_COMMENT = Cmd(command::kHostComment),  // context menu only
  // Help
  ID_HELP_INDEX = Cmd(command::kHelpIndex),
  ID_HELP_LOG_FORMATS = Cmd(command::kHelpLogFormats),
  ID_HELP_SUPPORT = Cmd(command::kHelpSupport),
  ID_HELP_BUG_REPORT = Cmd(command::kHelpBugReport),
  ID_APP_ABOUT = wxID_ABOUT,
  // Toolbar slots that hold the date pickers (the pickers take these ids).
  ID_DATE_FROM = Cmd(command::kDateFrom),
  ID_DATE_TO = Cmd(command::kDateTo),
};
