// Text and file helpers shared across the engine.
#pragma once
#include <cstddef>
#include <cstdio>
#include <cstdint>

// Replaces a heap string field by a copy of text; null/empty frees it. Returns 1
// when the field changed, else 0 (also on allocation failure, which is reported).
int SetStr(char** field, const char* text);

bool HasWildcard(const char* path);
bool IsBlank(int c);
bool IsDelimiter(int c);
bool IsSeparatorChar(int c);
bool IsNumberChar(int c);

// Removes each backslash and keeps the character behind it; returns how many.
int UnescapeBackslashes(char* text);
// Skips leading blanks/tabs and cuts trailing ones in place. All blank gives "".
char* TrimSpaces(char* text);
// Appends c when the text (a buffer of `size` bytes) has room; returns false when full.
bool AppendChar(char* text, size_t size, char c);
void LowerCaseInPlace(char* text);
const char* FindLastChar(const char* text, char c);

// The n-th (from 0) ';'-separated item into out (outSize bytes, always terminated,
// cut to fit). Returns 0 when the list is null or has fewer items.
int NthSemicolonItem(char* out, size_t outSize, const char* list, int n);
// The n-th item separated by sep, at most max characters (out holds max + 1 bytes).
int NthMatchingFile(char* out, const char* list, int n, size_t max, char sep);

// First case-insensitive occurrence of pattern in text, or null.
const char* FindNoCase(const char* text, const char* pattern);
// Replaces every case-insensitive occurrence in place, scanning on behind each
// replacement (so a replacement holding the pattern cannot loop). Stops replacing
// when the buffer of `size` bytes would overflow; returns the number replaced.
int ReplaceAllNoCase(char* buffer, size_t size, const char* pattern, const char* replacement);

// Reads a whole file; the caller frees *text with free(). mode 0 silent, 1 error, else message.
int ReadWholeFile(const char* path, char** text, size_t* length, int mode);
int WriteFileChecked(std::FILE* file, const void* data, size_t length);

// Whole-text wildcard match: '*' never crosses '.', a trailing '*' takes the rest.
// exact 0 ignores letter case.
bool MatchPattern(const char* text, const char* pattern, int exact);
bool SameUrlIgnoringScheme(const char* url, const char* pattern);

// Counts the regular files that a path or a mask (wildcards in its last part)
// names and adds their sizes. With total given, stores the sum there and writes
// nothing; otherwise writes "%i files - SIZE" for a mask that matched, the size
// alone for one named file, or "0 files". Returns the count.
int FormatFileMaskInfo(char* out, size_t outSize, const char* mask, uint64_t* total);

// "%1.2lf GB" / "MB" / "KB" from 1,024 bytes on, else the plain count; cut to `size`.
const char* FormatSize(char* out, size_t size, int64_t bytes);
