// A thin layer over libcurl for FTP and HTTP transfers. One connection is one
// easy handle, reused for every request over it (so an FTP login is made once),
// driven through a multi handle of its own so that a reply's head can be read
// before its body. Credentials go to libcurl as options, never inside a URL,
// and nothing here writes them anywhere.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tv {

// What a connection reports while it works; the numbers are the engine's status codes.
enum NetEvent : int {
  kNetResolving = 10,
  kNetResolved = 11,
  kNetConnecting = 20,
  kNetConnected = 21,
  kNetClosing = 50,
  kNetClosed = 51,
  kNetHandleCreated = 60,
  kNetHandleClosing = 70,
  kNetRequestComplete = 100,
  kNetRedirect = 110,
};

struct NetSettings {
  bool ftp = false;      // else HTTP
  std::string host;      // named in the resolving events
  bool hasUser = false;  // false: FTP logs in as anonymous, HTTP sends no credentials
  std::string user;
  bool hasPassword = false;
  std::string password;
  std::string proxy;     // "host[:port]"; empty means direct access, whatever the environment says
  bool passive = true;   // FTP data connections
  long connectTimeoutMs = 30000;
  long ioTimeoutMs = 30000;  // a reply or data that does not come for this long fails the request
  // Fewer than lowSpeedBytes a second over lowSpeedMs fails the request: a
  // server that trickles a few bytes a second never trips the time-out above.
  long lowSpeedBytes = 1024;
  long lowSpeedMs = 60000;
  // A request still running at this moment fails; the default sets no deadline.
  std::chrono::steady_clock::time_point deadline{};
  std::string userAgent;
  std::vector<std::string> headers;  // extra HTTP request headers, "Name: value"
  std::function<void(int event, const char* info)> onEvent;
  std::function<bool()> shouldStop;  // polled while a request runs
};

struct NetResult {
  bool ok = false;       // the request ran to its end without a transport error
  bool stopped = false;  // ended by shouldStop
  bool loginDenied = false;
  bool connectionLost = false;
  int code = 0;          // libcurl's result code
  std::string error;     // libcurl's message, empty on success
  std::string lastReply; // FTP: the server's last reply line; HTTP: the final status line
  long status = 0;       // the HTTP status or the last FTP reply code
  int64_t length = -1;   // the size the server announced (SIZE, Content-Length), -1 unknown
  int64_t fileTime = -1; // FTP MDTM, seconds since 1970 UTC, -1 unknown
  int64_t received = 0;  // body bytes passed to the sink
  bool bodyPending = false;          // Begin: the body is waiting for Finish
  std::vector<std::string> headers;  // HTTP: the final reply's header lines
};

enum class NetRequest {
  Probe,     // no transfer: logs in (FTP) or reaches the folder of the URL
  Info,      // FTP: size and date of one file (SIZE, MDTM)
  List,      // FTP: the folder listing (LIST)
  NameList,  // FTP: names only (NLST)
  Get,       // the body of the URL
};

// Receives body data; returning false fails the request.
using NetSink = std::function<bool(const char* data, size_t size)>;

class NetConnection {
 public:
  // Null when libcurl cannot give a handle.
  static std::unique_ptr<NetConnection> Open(NetSettings settings);
  ~NetConnection();
  NetConnection(const NetConnection&) = delete;
  NetConnection& operator=(const NetConnection&) = delete;

  void SetTimeouts(long connectMs, long ioMs);

  // Runs one request to its end; body data goes to sink (may be empty for Probe and Info).
  NetResult Perform(const std::string& url, NetRequest kind, const NetSink& sink);
  // Starts a GET and returns once the reply head is in, or the request has ended.
  NetResult Begin(const std::string& url);
  // Streams the body of the request that Begin started into sink.
  NetResult Finish(const NetSink& sink);
  // Drops a started request.
  void Cancel();
  bool Started() const;

  struct Impl;

 private:
  explicit NetConnection(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

// Percent-encodes everything but the unreserved characters (letters, digits, "-._~").
std::string UrlEscape(const std::string& text);

}  // namespace tv
