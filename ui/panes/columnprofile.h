// The list column settings in the profile: read at start-up, written back
// when the main window closes.
#pragma once

// Reads "ListColumnInfo", keeping its well-formed entries (a value over 1 MB
// is not read); no settings when it cannot be read.
void LoadListColumnInfo();
// Writes the settings, when there are any, to "ListColumnInfo" and drops them.
void SaveListColumnInfo();
