// The program's commands by their historical numbers: 32770 and up for the
// program's own, 576xx for the framework's (new, open, save, print, copy).
// Stored report command tables and the update answers use these numbers;
// ui/widgets/commandids.h maps them to the ids the windows use.
#pragma once

namespace command {

enum : int {
  // File
  kFileNew = 57600,
  kFileOpen = 57601,
  kFileSave = 57603,
  kFilePrint = 57607,
  // Edit
  kEditCopy = 57634,
  kFind = 32806,
  kFindAgain = 32807,
  // View
  kChart = 32805,
  kTable = 32811,
  kChartTable = 32839,  // accelerator only: chart <-> table
  kChartFrame = 32845,
  kSubreportTable = 32841,
  kSubreportChart = 32840,
  kCloseSubreport = 32842,
  kCustomizeColumn = 32847,
  kOptions = 32796,
  // Report
  kExportHtml = 32802,
  kExportText = 32803,
  kExportCsv = 32819,
  kSendMail = 32801,
  kExportAllCsv = 32829,
  kHostLookup = 32816,
  kReload = 32813,
  kFilterHistory = 32800,
  kEnvironmentFilters = 32821,
  kConfirmSpiders = 32823,
  kLogFileReport = 32846,
  kUpdateDatabases = 32817,
  kWorkspaceSettings = 32812,
  // Go
  kPrevious = 32773,
  kNext = 32774,
  kGoPages = 32788,
  kGoHosts = 32784,
  kGoReferrerPages = 32789,
  kGoKeywords = 32791,
  kGoSearchEngines = 32790,
  kGoReferringSites = 32793,
  kGoCountries = 32794,
  kGoOperatingSystems = 32797,
  kGoBrowsers = 32798,
  kGoByHours = 32799,
  kGoDaysOfWeek = 32804,
  kGoVisitors = 32810,
  kGoCities = 32814,
  kGoRegions = 32815,
  kGoUsers = 32849,
  kGoPaths = 32820,
  kGoSpiders = 32822,
  kGoByDays = 32783,
  kGoSubdomains = 32837,
  kChildPages = 32809,  // subreport of the selected page, no menu text
  kGoArguments = 32787,
  kGoTypeReferrers = 32848,
  kGoItems = 32795,
  kOpenInBrowser = 32786,
  kWhois = 32818,
  kHostComment = 32770,  // context menu only
  // Help
  kHelpIndex = 32777,
  kHelpLogFormats = 32808,
  kHelpSupport = 32780,
  kHelpBugReport = 32792,
  // Toolbar slots that hold the date pickers
  kDateFrom = 32775,
  kDateTo = 32776,
};

}  // namespace command
