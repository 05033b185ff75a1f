#include "platform/curltransfer.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>

namespace tv {
namespace {

std::once_flag g_curlInit;

std::string TrimLine(const char* data, size_t size) {
  std::string s(data, size);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

bool StartsWithReplyCode(const std::string& line) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return line.size() >= 3 && digit(line[0]) && digit(line[1]) && digit(line[2]);
}

long Seconds(long ms) { return std::max(1L, (ms + 999) / 1000); }

}  // namespace

struct NetConnection::Impl {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  NetSettings s;
  char errbuf[CURL_ERROR_SIZE] = {};

  // The request in flight.
  bool attached = false;
  bool holdBody = false;    // Begin: pause at the first body byte
  bool bodyWaiting = false;
  bool discard = false;     // Cancel: refuse what is still held
  bool sinkFailed = false;
  bool prereqDone = false;  // sockets opened after this carry data, not the connection
  bool resolving = false;
  bool openedHere = false;  // this request opened its connection rather than reusing one
  const NetSink* sink = nullptr;
  long lastHttpStatus = 0;
  NetResult result;
  // The low-speed window: its start and the body bytes received by then.
  std::chrono::steady_clock::time_point windowStart;
  int64_t windowBytes = 0;
  std::set<curl_socket_t> announced;  // connection sockets whose closing is reported

  ~Impl() {
    if (easy && multi && attached) curl_multi_remove_handle(multi, easy);
    if (multi) curl_multi_cleanup(multi);  // closes the cached connections (FTP says QUIT)
    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(headerList);
  }

  void Event(int code, const char* info = nullptr) {
    if (s.onEvent) s.onEvent(code, info);
  }
  bool StopWanted() const { return s.shouldStop && s.shouldStop(); }

  void ApplyTimeouts() {
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, s.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, s.connectTimeoutMs);
    // Less than a byte a second for the whole time-out counts as a dead transfer.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, Seconds(s.ioTimeoutMs));
    if (s.ftp) curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(s.ioTimeoutMs));
  }

  bool Setup() {
    multi = curl_multi_init();
    easy = curl_easy_init();
    if (!multi || !easy) return false;
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(easy, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
    // Set explicitly, so *_proxy and no_proxy of the environment never apply.
    curl_easy_setopt(easy, CURLOPT_PROXY, s.proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, s.ftp ? "ftp" : "http");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    if (!s.ftp) {
      curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    } else {
      curl_easy_setopt(easy, CURLOPT_FTPPORT, s.passive ? nullptr : "-");
    }
    if (s.hasUser) curl_easy_setopt(easy, CURLOPT_USERNAME, s.user.c_str());
    if (s.hasPassword) curl_easy_setopt(easy, CURLOPT_PASSWORD, s.password.c_str());
    if (!s.userAgent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, s.userAgent.c_str());
    for (const std::string& h : s.headers) {
      curl_slist* grown = curl_slist_append(headerList, h.c_str());
      if (!grown) return false;
      headerList = grown;
    }
    if (headerList) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);
    ApplyTimeouts();

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, &Impl::OnResolverStart);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Impl::OnOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Impl::OnCloseSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Impl::OnPrereq);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    return true;
  }

  // --- libcurl callbacks -------------------------------------------------

  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<Impl*>(user);
    size_t n = size * count;
    std::string line = TrimLine(data, n);
    if (self->s.ftp) {
      // Server replies; libcurl also passes made-up header lines for Info requests.
      if (StartsWithReplyCode(line)) self->result.lastReply = line;
      return n;
    }
    if (line.compare(0, 5, "HTTP/") == 0) {
      long status = 0;
      size_t sp = line.find(' ');
      if (sp != std::string::npos) status = strtol(line.c_str() + sp + 1, nullptr, 10);
      if (self->lastHttpStatus >= 300 && self->lastHttpStatus < 400) self->Event(kNetRedirect);
      self->lastHttpStatus = status;
      self->result.lastReply = line;
      self->result.headers.clear();
    } else if (!line.empty()) {
      self->result.headers.push_back(line);
    }
    return n;
  }

  static size_t OnWrite(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<Impl*>(user);
    size_t n = size * count;
    if (self->discard) return 0;
    if (self->holdBody) {
      self->bodyWaiting = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (self->sink && *self->sink && !(*self->sink)(data, n)) {
      self->sinkFailed = true;
      return 0;
    }
    self->result.received += static_cast<int64_t>(n);
    return n;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Impl*>(user)->StopWanted() ? 1 : 0;
  }

  static int OnResolverStart(void*, void*, void* user) {
    auto* self = static_cast<Impl*>(user);
    if (self->prereqDone) return 0;  // the address of an FTP data connection
    self->resolving = true;
    self->Event(kNetResolving, self->s.host.c_str());
    return 0;
  }

  static curl_socket_t OnOpenSocket(void* user, curlsocktype purpose, curl_sockaddr* addr) {
    auto* self = static_cast<Impl*>(user);
    // Sockets opened once the request is under way carry FTP data; only the
    // connection itself is reported.
    bool report = purpose == CURLSOCKTYPE_IPCXN && !self->prereqDone;
    if (report) {
      if (self->resolving) self->Event(kNetResolved, self->s.host.c_str());
      self->resolving = false;
      self->Event(kNetConnecting);
      self->openedHere = true;
    }
    curl_socket_t fd = socket(addr->family, addr->socktype | SOCK_CLOEXEC, addr->protocol);
    if (fd < 0) return CURL_SOCKET_BAD;
    if (report) self->announced.insert(fd);
    return fd;
  }

  static int OnCloseSocket(void* user, curl_socket_t fd) {
    auto* self = static_cast<Impl*>(user);
    bool report = self->announced.erase(fd) > 0;
    if (report) self->Event(kNetClosing);
    int rc = close(fd);
    if (report) self->Event(kNetClosed);
    return rc;
  }

  static int OnPrereq(void* user, char*, char*, int, int) {
    auto* self = static_cast<Impl*>(user);
    if (!self->prereqDone && self->openedHere) self->Event(kNetConnected);
    self->prereqDone = true;
    return CURL_PREREQFUNC_OK;
  }

  // --- running a request -------------------------------------------------

  bool Start(const std::string& url, NetRequest kind, bool hold, const NetSink* bodySink) {
    if (attached) Cancel();
    result = NetResult();
    errbuf[0] = 0;
    holdBody = hold;
    bodyWaiting = discard = sinkFailed = prereqDone = resolving = openedHere = false;
    lastHttpStatus = 0;
    sink = bodySink;
    RestartWindow();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    bool noBody = kind == NetRequest::Probe || kind == NetRequest::Info;
    curl_easy_setopt(easy, CURLOPT_NOBODY, noBody ? 1L : 0L);
    if (!s.ftp && !noBody) curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_DIRLISTONLY, kind == NetRequest::NameList ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_FILETIME, kind == NetRequest::Info ? 1L : 0L);
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
      result.error = "cannot start the request";
      return false;
    }
    attached = true;
    return true;
  }

  void ReadInfo() {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    result.status = status;
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) result.length = length;
    curl_off_t filetime = -1;
    if (curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &filetime) == CURLE_OK) result.fileTime = filetime;
  }

  void Complete(CURLcode code) {
    curl_multi_remove_handle(multi, easy);
    attached = false;
    ReadInfo();
    result.code = code;
    result.ok = code == CURLE_OK && !sinkFailed;
    result.stopped = code == CURLE_ABORTED_BY_CALLBACK;
    result.loginDenied = code == CURLE_LOGIN_DENIED;
    result.connectionLost = code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING;
    if (code != CURLE_OK) result.error = errbuf[0] ? TrimLine(errbuf, strlen(errbuf)) : curl_easy_strerror(code);
    else if (sinkFailed) result.error = "the data could not be stored";
    result.bodyPending = false;
    if (result.ok && !s.ftp) Event(kNetRequestComplete);
  }

  void Cancel() {
    if (!attached) return;
    // Let go of what a paused transfer holds, then drop it with its connection.
    discard = true;
    holdBody = false;
    if (bodyWaiting) curl_easy_pause(easy, CURLPAUSE_CONT);
    if (attached) curl_multi_remove_handle(multi, easy);
    attached = false;
    bodyWaiting = false;
    result.bodyPending = false;
  }

  void RestartWindow() {
    windowStart = std::chrono::steady_clock::now();
    windowBytes = result.received;
  }

  // Why the request must end now though data may still come, or "".
  std::string LimitReached() {
    auto now = std::chrono::steady_clock::now();
    if (s.deadline != std::chrono::steady_clock::time_point{} && now >= s.deadline)
      return "the time allowed for the transfers ran out";
    if (s.lowSpeedBytes <= 0 || s.lowSpeedMs <= 0) return {};
    auto span = std::chrono::duration_cast<std::chrono::milliseconds>(now - windowStart).count();
    if (span < s.lowSpeedMs) return {};
    int64_t wanted = static_cast<int64_t>(s.lowSpeedBytes) * s.lowSpeedMs / 1000;
    if (result.received - windowBytes < wanted)
      return "the transfer stayed below " + std::to_string(s.lowSpeedBytes) + " bytes a second for " +
             std::to_string(Seconds(s.lowSpeedMs)) + " s";
    RestartWindow();
    return {};
  }

  NetResult Run(bool untilHead) {
    while (attached) {
      int running = 0;
      CURLMcode mc = curl_multi_perform(multi, &running);
      int left = 0;
      while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
        if (m->msg == CURLMSG_DONE && m->easy_handle == easy) Complete(m->data.result);
      }
      if (!attached) break;
      if (mc != CURLM_OK) {
        Cancel();
        result.error = curl_multi_strerror(mc);
        break;
      }
      if (untilHead && bodyWaiting) {
        ReadInfo();
        result.ok = true;
        result.bodyPending = true;
        break;
      }
      if (StopWanted()) {
        Cancel();
        result.ok = false;
        result.stopped = true;
        result.error = "stopped";
        break;
      }
      if (std::string why = LimitReached(); !why.empty()) {
        Cancel();
        result.ok = false;
        result.error = why;
        break;
      }
      curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    return result;
  }
};

NetConnection::NetConnection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

NetConnection::~NetConnection() {
  m_impl->Event(kNetHandleClosing);
  m_impl.reset();
}

std::unique_ptr<NetConnection> NetConnection::Open(NetSettings settings) {
  std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  auto impl = std::make_unique<Impl>();
  impl->s = std::move(settings);
  if (!impl->Setup()) return nullptr;
  impl->Event(kNetHandleCreated);
  return std::unique_ptr<NetConnection>(new NetConnection(std::move(impl)));
}

void NetConnection::SetTimeouts(long connectMs, long ioMs) {
  m_impl->s.connectTimeoutMs = connectMs;
  m_impl->s.ioTimeoutMs = ioMs;
  m_impl->ApplyTimeouts();
}

NetResult NetConnection::Perform(const std::string& url, NetRequest kind, const NetSink& sink) {
  if (!m_impl->Start(url, kind, false, &sink)) return m_impl->result;
  return m_impl->Run(false);
}

NetResult NetConnection::Begin(const std::string& url) {
  if (!m_impl->Start(url, NetRequest::Get, true, nullptr)) return m_impl->result;
  return m_impl->Run(true);
}

NetResult NetConnection::Finish(const NetSink& sink) {
  Impl& im = *m_impl;
  if (!im.attached) return im.result;  // the request ended with its head
  im.sink = &sink;
  im.holdBody = false;
  im.bodyWaiting = false;
  im.result.bodyPending = false;
  im.RestartWindow();  // the time the body waited for us is not the server's
  curl_easy_pause(im.easy, CURLPAUSE_CONT);  // may hand over the held data at once
  return im.Run(false);
}

void NetConnection::Cancel() { m_impl->Cancel(); }

bool NetConnection::Started() const { return m_impl->attached; }

std::string UrlEscape(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace tv
