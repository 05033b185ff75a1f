// The NCSA common and combined log reader (ParseCommonLogBlock, declared in
// logread.h), which also reads the WebSTAR and Fasthosts variants and the older
// IIS comma-separated line, and the pieces the custom-format reader shares.
#pragma once
#include <cstddef>

#include "engine/store/hitstore.h"

// The month of the three letters at name: "Jan" 1 ... "Dec" 12, case counts;
// any other three characters give 1. Reads exactly three bytes.
unsigned MonthFromName(const char* name);

// Whether a field behind the user agent is a cookie as a server writes the
// request's Cookie header: one or more name=value pairs separated by ';' (blanks
// after a ';' allowed). A number, a port, "-" or a host name is not one.
bool LooksLikeCookie(const char* text, size_t len);

// The client token at p: the text up to the next blank becomes the line's host
// text, without a ',' that ends it (*comma tells whether one did). Returns the
// blank, or null when a line break or end comes first (no host text then).
char* NextSpaceToken(char* p, char* end, bool* comma);

// "dd/Mon/yyyy:hh:mm:ss " (or a two-digit year, counted from 2000) at p, within
// [p, end): fills the record's date and seconds and returns the blank behind the
// seconds, or null when the text does not fit. The time zone is not read.
const char* ParseClfDate(const char* p, const char* end, CHitRecord* record);

// The page of a request text [p, e) such as "GET /a.html HTTP/1.0": the target
// behind the method, up to the next blank or e, never taken from the protocol.
// A path keeps its last '/' of a leading run ("//x" gives "/x"); for a full URL
// ("GET http://host/a.html ...") the scheme and host are passed over, and a URL
// naming only a host gives "/"; any other target ("*", "host:443") is the page
// as written. A text without a blank is a target only when it begins with '/'.
// False when the request holds no target; nothing outside [p, e) is read.
bool FindRequestPage(char* p, char* e, char** page, size_t* len);
// The page of one request target [t, te) by the rules above; false when empty.
// *path (when given) tells whether the target was a path or a full URL.
bool PageOfTarget(char* t, char* te, char** page, size_t* len, bool* path = nullptr);

// The closing double quote of a quoted field whose text starts at p: the first
// '"' on the line that is not escaped by a backslash (the server writes a quote
// inside a field as \" and a backslash as \\). Null when the line or the
// block ends first.
char* FindClosingQuote(char* p, char* end);
