// The widths and sort orders of the report list columns, kept for every
// report kind in one string of entries "\<prefix><kind>@<column>#<value>".
#pragma once
#include <string>

// The string as loaded and as it will be saved; empty when there is none.
const std::string& ListColumnInfo();
void SetListColumnInfoText(const std::string& text);  // what was read at start-up
void ClearListColumnInfo();

// Prefix "Cz" (width, column = column type) or "Or" (sort state, column 0).
void SetListColumnInfo(const char* prefix, int kind, int column, int value);
// True and the value when the entry exists, else false and 0.
bool GetListColumnInfo(const char* prefix, int kind, int column, int* value);
