// Text helpers shared by the report writers: an output file that notices write
// errors, export texts in UTF-8, HTML escaping and links, and quoted-printable
// encoding.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// A file written through a buffer. Every write error (a full disk) is kept, so
// Close tells whether the whole file reached the disk.
class COutFile {
 public:
  COutFile() = default;
  ~COutFile();
  COutFile(const COutFile&) = delete;
  COutFile& operator=(const COutFile&) = delete;

  // Creates or truncates the file. With crlf every "\n" written becomes "\r\n".
  bool Open(const char* path, bool crlf = false);
  bool IsOpen() const { return m_file != nullptr; }
  void Put(const std::string& text) { Put(text.data(), text.size()); }
  void Put(const char* text);
  void Put(const char* text, size_t len);
  void PutF(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Flushes and closes; false when any write failed.
  bool Close();

 private:
  void Flush();
  FILE* m_file = nullptr;
  bool m_crlf = false;
  bool m_failed = false;
  std::string m_buffer;
};

// printf into a std::string (appends).
void AppendF(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends a log or language text as it goes into an export: in UTF-8 (see
// tv::AppendUtf8), with every control character (CR, LF, tab, the C1 range)
// and the Unicode line and paragraph separators shown as a blank, so no text can break a table row, a CSV record or a mail
// line. A null text appends nothing.
void AppendPlainText(std::string& out, const char* text);
std::string PlainText(const char* text);
// The characters of a UTF-8 text: the room it takes in a text column.
int TextWidth(const std::string& text);
// text, then blanks up to width characters; with right the blanks go first.
void AppendPadded(std::string& out, const std::string& text, int width, bool right = false);

// True for the only addresses an export links to: "http:" or "https:" in any
// case, after leading blanks. Anything else ("javascript:", "data:") is text.
bool IsWebAddress(const char* address);

// Appends text (as AppendPlainText) with '&', '<', '>' and '"' as HTML
// entities: for texts taken from logs. A null text appends nothing.
void AppendHtmlEscaped(std::string& out, const char* text);
// As AppendHtmlEscaped, but an entity already in the text ("&eacute;", "&#233;")
// stays: for texts that may come from the report vocabulary.
void AppendHtmlKeepEntities(std::string& out, const char* text);

// Quoted-printable body of a text with "\n" line ends: '=', control bytes and
// bytes of 0x80 and above as "=XX", a blank before a line end as "=20" or "=09",
// and soft line breaks ("=\n") so that no line is longer than 76 characters.
std::string EncodeQuotedPrintable(const std::string& text);
// A mail header value: ASCII as it is, else one UTF-8 encoded word ("=?UTF-8?Q?...?=").
std::string EncodeHeaderText(const std::string& text);
