// Report kinds: one number per report, shared by the query engine, the level
// filters, the display formatting, the report output and the user interface.
#pragma once

enum ReportKind : int {
  kReportNone = 0,  // the log files, no report
  kReportPage = 1,
  kReportHost = 2,
  kReportReferrer = 3,
  kReportKeyword = 4,
  kReportSearchEngine = 5,
  kReportReferringSite = 6,
  kReportCountry = 7,
  kReportOs = 8,
  kReportBrowser = 9,
  kReportHour = 10,
  kReportEntry = 11,
  kReportExit = 12,
  kReportWeekday = 13,
  kReportGroup = 14,
  kReportFileType = 15,
  kReportFolder = 16,
  kReportTopDomain = 17,
  kReportMonth = 18,
  kReportVisitor = 19,
  kReportCity = 20,
  kReportRegion = 21,
  kReportUser = 22,
  kReportStatus = 23,
  kReportPath = 24,
  kReportSpiderTree = 25,  // one row per spider hit
  kReportSpider = 26,
  kReportDate = 27,
  kReportSubdomain = 28,
  kReportChildPages = 29,
  kReportArgument = 30,
  kReportSummary = 31,
  kReportReferrerType = 32,
  kReportSubfolder = 33,  // titles and columns only
  kReportPageName = 34,   // titles and columns only
  kReportFile = 35,       // titles and columns only
  kReportError = 36,
  kReportSpiderAgent = 37,  // spiders by browser text and agent
  kReportErrorCode = 38,
  kReportDownloadManager = 39,
  kReportVisits = 41,  // engine only: builds the visitor paths, no rows
  kReportItems = 43,   // one row per counted hit
  kMaxReportKind = 43,
};
