// The per-user profile: window placement, the last workspace, the last
// report and similar values, kept by name in one file under vendor
// "Brindlecot", application "Trailvane". With TRAILVANE_HOME set the file is
// <TRAILVANE_HOME>/profile.ini, else
// ${XDG_CONFIG_HOME:-~/.config}/Brindlecot/Trailvane/profile.ini.
//
// Values are byte strings and come back exactly as written. Every call opens
// the file afresh and every write reaches the disk at once. Safe from any thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tv {

// The profile file's path.
std::string ProfilePath();

// True and the value when it exists and, with its terminator, fits in size
// bytes; otherwise false and *value is left alone.
bool RegReadString(const char* name, std::string* value, size_t size);
// False when the file cannot be written.
bool RegWriteString(const char* name, const std::string& text);

// True and the number when the value exists and is a 32-bit number (a
// negative one is taken as its two's complement); else false, *value alone.
bool RegReadDword(const char* name, uint32_t* value);
bool RegWriteDword(const char* name, uint32_t value);

}  // namespace tv
