// The widths and sort orders of the report list columns, kept for every
// report kind in one string of entries "\<prefix><kind>@<column>#<value>".
#pragma once
#include <string>

// The string as loaded and as it will be saved; empty when there is none.
const std::string& ListColumnInfo();
// What was read at start-up; entries that are not well formed (cut, with
// extra fields, numbers out of range, over 40 characters) and repeats of a
// key already seen are left out one by one.
void SetListColumnInfoText(const std::string& text);
// The well-formed entries of text, in order, first of each key only.
std::string CleanListColumnInfo(const std::string& text);
void ClearListColumnInfo();

// Prefix "Cz" (width, column = column type) or "Or" (sort state, column 0).
void SetListColumnInfo(const char* prefix, int kind, int column, int value);
// True and the value when the entry exists, else false and 0.
bool GetListColumnInfo(const char* prefix, int kind, int column, int* value);
