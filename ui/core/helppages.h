// The help book: its place in the program folder and the names of its pages.
#pragma once
#include <string>

inline constexpr char kHelpBookName[] = "trailvane.htb";

inline constexpr char kHelpStart[] = "index.html";
inline constexpr char kHelpWorkspaces[] = "workspaces.html";
inline constexpr char kHelpReports[] = "reports.html";
inline constexpr char kHelpDrillDown[] = "drilldown.html";
inline constexpr char kHelpFilters[] = "filters.html";
inline constexpr char kHelpExports[] = "exports.html";
inline constexpr char kHelpLogFormats[] = "logfile.html";
inline constexpr char kHelpCommandLine[] = "commandline.html";
inline constexpr char kHelpSupport[] = "support.html";

// Every page above, for callers that check the book holds them.
inline constexpr const char* kHelpPages[] = {kHelpStart,   kHelpWorkspaces, kHelpReports,
                                             kHelpDrillDown, kHelpFilters,  kHelpExports,
                                             kHelpLogFormats, kHelpCommandLine, kHelpSupport};

// The book file in the program folder.
std::string HelpBookPath();
