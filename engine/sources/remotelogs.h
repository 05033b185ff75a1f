// Fetching log files over FTP and HTTP: one session with at most one FTP and
// one HTTP connection at a time, a folder listing by mask for FTP, an HTTP GET
// that yields the length and date, and a download to a local file that honours
// the stop flag. Synchronous; runs on the analysis worker thread. Every step
// reports a status text through EngineInfo.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

struct CLogSource;

// One remote file: name, size and last-write date (the day/month/year/seconds
// layout also carries an HTTP reply's Last-Modified date).
struct ServerFileInfo {
  std::string name;
  uint32_t size = 0;
  uint8_t day = 0;
  uint8_t month = 0;  // 1..12, 0 when unknown
  uint16_t year = 0;
  uint32_t seconds = 0;  // since midnight
  // day in bits 0-7, month in 8-15, year in 16-31; 0 when unknown.
  uint32_t PackedDate() const { return day | (uint32_t{month} << 8) | (uint32_t{year} << 16); }
};

class CServerFileList {
 public:
  int32_t Count() const { return static_cast<int32_t>(m_entries.size()); }
  const ServerFileInfo& operator[](int32_t i) const { return m_entries[static_cast<size_t>(i)]; }
  void Add(ServerFileInfo info) { m_entries.push_back(std::move(info)); }
  void Clear() { m_entries.clear(); }

 private:
  std::vector<ServerFileInfo> m_entries;
};

enum : int {
  kTransferFtp = 1,
  kTransferHttp = 2,
};

struct TransferParams {
  const char* user = nullptr;  // null or empty: anonymous FTP, no HTTP credentials
  const char* password = nullptr;
  // FTP
  const char* server = nullptr;
  bool passive = false;
  uint16_t port = 0;  // 0: 21
  bool useFirewall = false;
  const char* firewall = nullptr;
  uint16_t firewallPort = 0;  // 0: 21
  bool passiveFirewall = false;
  // HTTP
  const char* url = nullptr;
  bool useProxy = false;
  const char* proxy = nullptr;
  uint16_t proxyPort = 0;
};

// The parameters of a log source: prop bit 1 firewall, 2 passive, 4 passive
// through the firewall, 8 proxy, 16 anonymous FTP login (no user name).
TransferParams TransferParamsOf(const CLogSource& source);

// The session: turns connection events into status texts.
class CTransferSession {
 public:
  void OnStatusCallback(int status, const char* info);
};

// An HTTP reply whose body has not been read yet.
class CHttpFile;

// Opens a connection of the kind (kTransferFtp, kTransferHttp) after closing
// any that exist; 1 when open, else 0 with "Connection could not be made.".
// An FTP connection logs in at once; an HTTP one only names its server, so a
// server that does not answer shows up in the request.
int ConnectToServer(int kind, const TransferParams& params, int attempts);
// Closes the FTP connection, the HTTP connection and the session. Always 1.
int CloseInternetSessions();
// Lists the files of the FTP folder (the current one when folder is null or
// empty) whose names match the mask (all when null, empty, "*" or "*.*").
// Folders are left out. 1/0.
int getServerFiles(CServerFileList& list, const char* folder, const char* mask);
// Sends a GET for the URL's object over the HTTP connection. Null when the
// request fails or the reply is not a success; size is the Content-Length (0
// when absent) and date the Last-Modified date (zero fields when absent).
CHttpFile* OpenRemoteFile(const char* url, uint32_t* size, ServerFileInfo* date);
void CloseRemoteFile(CHttpFile* file);
// Copies a remote file into localTarget: over FTP the file of that name in the
// current folder, over HTTP the given reply (which is closed afterwards) or,
// when null, a new GET of the name. expectedSize 0 means unknown. True only
// when the whole file arrived; otherwise the target is deleted. maxBytes
// above 0 refuses a file larger than that, before or while it arrives.
bool DownloadRemoteFile(const char* remoteName, uint32_t expectedSize, const char* localTarget, CHttpFile* file,
                        uint64_t maxBytes = 0);

// Connect, send and receive time-out of every connection (30,000 ms); tests shorten it.
void SetTransferTimeout(uint32_t ms);
uint32_t TransferTimeout();
// A transfer slower than bytesPerSecond over ms fails (1,024 bytes over
// 60,000 ms, which no working link falls under); tests shorten it.
void SetTransferLowSpeed(uint32_t bytesPerSecond, uint32_t ms);
// Every connection opened from now on fails its requests after ms (0: no
// deadline). The unattended run sets one, so no server can keep it alive.
void SetTransferDeadline(uint32_t ms);
// Why the last request, connection or download failed ("" when none has
// since ConnectToServer): the text of its last status line.
std::string LastTransferFailure();

// --- FTP folder listings -----------------------------------------------

struct FtpListEntry {
  std::string name;
  uint64_t size = 0;
  char type = '-';  // '-' file, 'd' folder, 'l' link, else another kind of entry
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  uint32_t seconds = 0;
};

enum class FtpLine {
  Entry,    // *entry holds it
  Skip,     // a blank or "total" line
  Unknown,  // no form we know
};

// One line of a LIST reply in the Unix "ls -l" form (either date form) or the
// DOS form. A date without a year takes the year that puts it no later than a
// day after today.
FtpLine ParseFtpListLine(std::string_view line, const tv::CivilDate& today, FtpListEntry* entry);

// Case-insensitive "Last-Modified" style date (RFC 1123, RFC 850 or asctime)
// into day, month, year and seconds; false when it is none of those.
bool ParseHttpDate(std::string_view text, ServerFileInfo* date);
