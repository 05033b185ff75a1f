// The display-free rules of the small dialogs: new language names, ports and
// proxies, the ODBC read's period, the host look-up's texts, the log file
// report's lines and the additional-column choice.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CLogFileReportList;

// Text of the language chooser's first line; it stands for the built-in texts.
extern const char* const kDefaultLanguageLine;

// The file name of a new language typed by the user: the answer with ".lng"
// appended unless it already ends so (any case). Refused (false, *error says
// why) when it is empty, holds a path separator or names no plain file.
bool NewLanguageFileName(const std::string& answer, std::string* fileName, std::string* error);
// The base name of a loaded language's path; "" for none.
std::string LanguageNameOfPath(const char* path);

// Digits only, 0 to 65535.
bool ParsePort(const std::string& text, uint16_t* port);
// The longest proxy host the update keeps.
constexpr size_t kMaxProxyHost = 249;

// One end of the ODBC read's period.
struct CPeriodDate {
  uint8_t day = 0;
  uint8_t month = 0;  // 1..12
  uint16_t year = 0;
  bool valid = false;
  // Packed like a hit's date; 0 (open) when not valid.
  uint32_t Packed() const;
};
// The period the ODBC read asks for, kept for the whole run.
extern CPeriodDate g_periodFrom, g_periodTo;

// "%i.%i.%i.%i", first octet in the high byte.
std::string DottedAddress(uint32_t address);
// Exactly four decimal parts of 0..255.
bool ParseDottedAddress(const std::string& text, uint32_t* address);
// A name the forward look-up may be asked: labels of letters, digits, '-' and
// '_' between dots, at most 253 characters.
bool IsLookupHostName(const std::string& name);
// "DNS lookup error! (error# %d: %s)": the resolver's reason number and what
// it means ("unknown error" for a number the resolver does not give).
std::string DnsErrorText(int error);
// The parts of a place that are not empty, in order, joined by ", ".
std::string JoinPlaceParts(const std::vector<std::string>& parts);
// The look-up dialog's geography of an address: the country; region and
// country; city, region and country (from the loaded tables), each without
// the parts the tables leave empty.
struct CHostGeography {
  std::string country, region, city;
};
CHostGeography AddressGeography(uint32_t address);

// One line of the log file report: image 0 a file with lines, 1 one without,
// 2 the total.
struct CLogReportLine {
  std::string name, lines, size;
  int image = 0;
};
// A total line first when there is more than one file, then every file, or
// with showAll false only those that gave no line.
std::vector<CLogReportLine> LogReportLines(const CLogFileReportList& list, bool showAll);

// The additional columns of a report: codes 2..7 (hosts, referrers, keywords,
// search engines, referring sites, countries), at most five, and the line
// selected in the dialog (-1 none).
constexpr int kMaxExtraColumns = 5;
class CColumnChoice {
 public:
  std::vector<int32_t> codes;
  int selected = -1;

  // The codes not chosen yet, in order, at most five.
  std::vector<int32_t> Candidates() const;
  bool CanAdd() const;
  void Add(int32_t code);  // appends and selects it
  void Delete();           // keeps the index, or the one before when it was the last
  void Up();
  void Down();
};
// The list text of a column code: the plural name of its report kind.
std::string ColumnCodeTitle(int32_t code);
