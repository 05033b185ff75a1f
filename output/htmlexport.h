// HTML pages from a user-editable template of named sections ("[TableRow]")
// whose %Variables% are filled while the page is written.
#pragma once
#include <cstdio>
#include <string>

struct TemplateVariable {
  const char* name;
  std::string value;
};

enum TemplateVariableId {
  kVarPageTitle, kVarFirstFile, kVarTags, kVarMenuName, kVarLink, kVarProjectName, kVarHead1, kVarHead2,
  kVarHead3, kVarLabel, kVarReportName, kVarWidth, kVarHeight, kVarParameters, kVarText, kTemplateVariableCount
};
extern TemplateVariable g_templateVariables[kTemplateVariableCount];

// Write modes of WriteTemplateSection.
constexpr int kSectionWrite = 0;
constexpr int kSectionAppendCell = 1;
constexpr int kSectionWrapCells = 2;

// Loads "Template1.r_tmpl" from folder (default: the program's "Resource/"),
// else "dTempl.r_tmpl"; false when neither can be read (every section is then
// empty). Line ends are kept as LF.
bool LoadHtmlTemplate(const char* folder = nullptr);
void FreeHtmlTemplate();
const std::string& LoadedHtmlTemplate();

// The body of section name ("[TableRow]") of tmpl, put into buffer (mode 0) or
// appended to it (mode 1); returns the buffer. A missing section adds nothing.
const std::string& GetTemplateSection(const char* name, const std::string& tmpl, std::string& buffer, int mode);
// Replaces every occurrence of the variable's name (any letter case) in buffer;
// stops after an insertion whose value holds the name itself.
void ReplaceTemplateVariable(const TemplateVariable& variable, std::string& buffer);
// Writes, appends or wraps a section (see the write modes); wrapVariable is the
// name replaced by the assembled cells in mode 2. False when the write failed.
bool WriteTemplateSection(const char* name, const std::string& tmpl, std::string& buffer, FILE* file, int mode,
                          const char* wrapVariable = nullptr);
// The same on the loaded template and the shared cells buffer.
bool OutputTemplateSection(const char* name, FILE* file, int mode, const char* wrapVariable = nullptr);
void ClearTemplateOutput();

// " rowspan=n colspan=n class=\"c\" valign=center", each part only when it applies.
std::string FormatCellAttributes(int rowSpan, int colSpan, const char* className, bool valignCenter);
// One value cell with the attributes as they stand, wrapped in a row of className.
bool WriteHtmlRow(FILE* file, std::string& attributes, const std::string& text, const char* className);

// Appends text (escaped for HTML) with blanks where long addresses may wrap.
void AppendWrappableText(std::string& dest, const char* text);
// A link to the page on the project's site, or the page text when no site is set.
void WriteHtmlLink(std::string& dest, const char* page);
// A link whose address and text are the text itself.
void AppendSelfLink(std::string& dest, const char* text);

struct CSummaryStats;
struct CQueryParams;
class CRowTable;
using SortCompareFn = int (*)(const void* a, const void* b);

// The period of a summary ("start - end", or "-") and its number of days (at least 1).
int FormatReportPeriod(std::string& out, const CSummaryStats& stats);

// Writes the report as an HTML page at path, with the kind's chart picture
// beside it, from the template of templateFolder (default: the program's).
// False when no template can be read (reported; no file is made), when the page
// cannot be written completely, or when the export was stopped.
bool ExportReportToHtml(const char* path, int kind, const CRowTable& table, const char* secondTitle,
                        const CQueryParams& params, SortCompareFn compare, const char* templateFolder = nullptr);
