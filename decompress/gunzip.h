// The decompressor's single entry: turns one compressed file into one plain file.
#pragma once

// Decodes the compressed file `in` into `out` (created or truncated): gzip members,
// pack members, one compress (LZW) or lh5 stream, or the single entry of a zip
// archive (stored or deflated). Returns true only when every member was decoded and,
// where the format keeps them, its CRC-32 and length matched; bytes after the last
// member that do not start a member are ignored. On false no output file
// is left behind. An input that is not compressed (also one too short to be, or
// no regular file) fails at once, creates nothing and sends no message, so the
// caller can read the input itself as plain text; a gzip or zip header that is
// refused creates nothing either but is reported. Every other failure is
// reported through the engine's message sink.
// Reentrant: each call keeps its state to itself.
bool GunzipFile(const char* in, const char* out);
// The same, refusing (false, reported, no output left) an input that expands
// to more than maxOut bytes; 0 sets no limit.
bool GunzipFile(const char* in, const char* out, unsigned long long maxOut);

// Whether the file starts as one of the formats above (by its magic number
// alone): what must not be read as plain text when it cannot be decoded.
bool LooksCompressed(const char* in);
