// The reader of logs whose layout is declared in the log itself by a "format="
// line of %field% tokens with literal text between them (ReadNetscapeLog,
// InitNetscapeReader and FreeNetscapeReader are declared in logread.h).
#pragma once

// What one layout can hold: more fields are not read, longer literal texts
// between fields are cut to their first 49 characters.
constexpr int kNetscapeMaxFields = 50;
constexpr int kNetscapeMaxTerminator = 49;

// Declares the layout from the "format=" line [line, lineEnd). Does nothing when
// the reader is not prepared.
void ParseNetscapeFormat(const char* line, const char* lineEnd);
// Fields of the current layout (trailing unknown fields not counted).
int NetscapeFieldCount();
