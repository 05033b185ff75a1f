#include "ui/dialogs/reportdialogs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/imaglist.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "engine/analysis/analysis.h"
#include "platform/wx/wxtext.h"
#include "ui/widgets/dialogbuttons.h"
#include "ui/widgets/reportlistctrl.h"

// Confirmation of new spiders

CConfirmSpidersDlg::CConfirmSpidersDlg(wxWindow* parent, std::vector<AuxSpiderRow>* candidates)
    : wxDialog(parent, wxID_ANY, "Confirmation new spiders", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_candidates(candidates) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(new wxStaticText(this, wxID_ANY, "Robots:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  m_tree = new wxTreeListCtrl(this, ID_TREE, wxDefaultPosition, FromDIP(wxSize(500, 300)),
                              wxTL_SINGLE | wxTL_CHECKBOX | wxTL_NO_HEADER);
  m_tree->AppendColumn(wxString(), FromDIP(1200));
  for (size_t i = 0; i < m_candidates->size(); ++i) {
    const AuxSpiderRow& row = (*m_candidates)[i];
    if (row.Confirmed()) continue;
    std::string who = row.Address() ? DottedAddress(row.Address()) : std::string(row.Host());
    wxTreeListItem item =
        m_tree->AppendItem(m_tree->GetRootItem(), tv::BytesToWx(who + " - " + row.Agent()));
    m_tree->CheckItem(item, wxCHK_CHECKED);
    m_listed.emplace_back(item, i);
  }
  top->Add(m_tree, 1, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&Apply", "&Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

bool CConfirmSpidersDlg::TransferDataFromWindow() {
  for (const auto& [item, index] : m_listed)
    (*m_candidates)[index].bytes[0] = m_tree->GetCheckedState(item) == wxCHK_CHECKED ? 1 : 0;
  return true;
}

// Log file report

namespace {

// The dialog's three images, taken from the report strip: a file that gave
// lines (a page), one that gave none or could not be read (the page struck
// out) and the total (the sum sign the report totals carry).
constexpr int kLogReportArtwork[3] = {2, 8, 1};
constexpr int kLogReportImageSize = 16;
// Room beside an image in a cell, as the list draws it.
constexpr int kImageGap = 6;
// Rows shown without scrolling, at most.
constexpr int kMostRowsShown = 15;

}  // namespace

CLogFileReportDlg::CLogFileReportDlg(wxWindow* parent, const CLogFileReportList& files, bool showAll)
    : wxDialog(parent, wxID_ANY, "Log file report", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_list = new wxListCtrl(this, ID_LIST, wxDefaultPosition, wxDefaultSize,
                          wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_SORT_HEADER | wxLC_HRULES | wxLC_VRULES);
  auto* images = new wxImageList(kLogReportImageSize, kLogReportImageSize, false, 3);
  for (int art : kLogReportArtwork) images->Add(ReportImages()->GetBitmap(art));
  m_list->AssignImageList(images, wxIMAGE_LIST_SMALL);

  // Every column holds its title and its longest cell whole, in the list's
  // own font; the widths the dialog was drawn for are the least.
  const char* const titles[3] = {"Log file", "Lines", "File size"};
  const wxListColumnFormat formats[3] = {wxLIST_FORMAT_LEFT, wxLIST_FORMAT_RIGHT, wxLIST_FORMAT_RIGHT};
  const int least[3] = {270, 70, 70};
  const int margin = CSortListCtrl::kCellMargin;
  const std::vector<CLogReportLine> lines = LogReportLines(files, showAll);
  int widths[3];
  for (int c = 0; c < 3; ++c) {
    widths[c] = std::max(FromDIP(least[c]), m_list->GetTextExtent(titles[c]).GetWidth() + margin);
    m_list->AppendColumn(titles[c], formats[c]);
  }
  long n = 0;
  for (const CLogReportLine& line : lines) {
    const wxString cells[3] = {tv::BytesToWx(line.name), tv::BytesToWx(line.lines), tv::BytesToWx(line.size)};
    long item = m_list->InsertItem(n++, cells[0], line.image);
    m_list->SetItem(item, 1, cells[1]);
    m_list->SetItem(item, 2, cells[2]);
    const int imageRoom = kLogReportImageSize + kImageGap;
    widths[0] = std::max(widths[0], m_list->GetTextExtent(cells[0]).GetWidth() + margin + imageRoom);
    for (int c = 1; c < 3; ++c) widths[c] = std::max(widths[c], m_list->GetTextExtent(cells[c]).GetWidth() + margin);
  }
  for (int c = 0; c < 3; ++c) m_list->SetColumnWidth(c, widths[c]);

  // Wide enough for every column and high enough for the rows, within the
  // screen: a very long file name scrolls rather than making the dialog
  // wider than the display.
  const int scrollWidth = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, m_list);
  const int scrollHeight = wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y, m_list);
  const wxRect screen = wxDisplay(static_cast<const wxWindow*>(parent ? parent : this)).GetClientArea();
  const int room = screen.GetWidth() * 9 / 10 - FromDIP(40);
  int wanted = widths[0] + widths[1] + widths[2] + std::max(scrollWidth, 0);
  bool scrolls = wanted > room;
  int rowHeight = m_list->GetCharHeight() + FromDIP(8);
  wxRect first;
  if (n > 0 && m_list->GetItemRect(0, first) && first.height > 0) rowHeight = first.height;
  const int header = wxRendererNative::Get().GetHeaderButtonHeight(m_list);
  int height = header + static_cast<int>(std::min<long>(n, kMostRowsShown)) * rowHeight + FromDIP(4);
  if (scrolls) height += std::max(scrollHeight, 0);
  m_list->SetMinClientSize(wxSize(std::max(std::min(wanted, room), FromDIP(430)), std::max(height, FromDIP(240))));

  top->Add(m_list, 1, wxALL | wxEXPAND, 10);
  auto* ok = new wxButton(this, wxID_OK, "OK");
  ok->SetDefault();
  top->Add(ok, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

// Search

CSearchDlg::CSearchDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Search") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, "Search for:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  m_edit = new wxTextCtrl(this, ID_TEXT, wxString(), wxDefaultPosition, FromDIP(wxSize(220, -1)));
  row->Add(m_edit, 1, wxEXPAND);
  top->Add(row, 0, wxALL | wxEXPAND, 10);
  m_caseBox = new wxCheckBox(this, ID_CASE, "&Case sensitive");
  top->Add(m_caseBox, 0, wxLEFT | wxRIGHT, 10);
  top->Add(OkCancelButtons(this, "&Search", "&Cancel"), 0, wxALL | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
  m_edit->SetFocus();
}

bool CSearchDlg::TransferDataToWindow() {
  m_edit->ChangeValue(m_text);
  m_caseBox->SetValue(m_caseSensitive);
  return true;
}

bool CSearchDlg::TransferDataFromWindow() {
  m_text = m_edit->GetValue();
  m_caseSensitive = m_caseBox->GetValue();
  return true;
}

// Choose column

wxBEGIN_EVENT_TABLE(CChooseColumnDlg, wxDialog)
  EVT_BUTTON(wxID_OK, CChooseColumnDlg::OnAdd)
  EVT_UPDATE_UI(wxID_OK, CChooseColumnDlg::OnUpdateAdd)
  EVT_LISTBOX_DCLICK(CChooseColumnDlg::ID_LIST, CChooseColumnDlg::OnDoubleClick)
wxEND_EVENT_TABLE()

CChooseColumnDlg::CChooseColumnDlg(wxWindow* parent, const std::vector<int32_t>& candidates)
    : wxDialog(parent, wxID_ANY, "Chose column"), m_candidates(candidates) {
  if (m_candidates.size() > kMaxExtraColumns) m_candidates.resize(kMaxExtraColumns);
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_list = new wxListBox(this, ID_LIST, wxDefaultPosition, FromDIP(wxSize(220, 150)), 0, nullptr, wxLB_SINGLE);
  for (int32_t code : m_candidates) m_list->Append(tv::BytesToWx(ColumnCodeTitle(code)));
  top->Add(m_list, 1, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&Add", "Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

void CChooseColumnDlg::OnUpdateAdd(wxUpdateUIEvent& event) { event.Enable(m_list->GetSelection() != wxNOT_FOUND); }

void CChooseColumnDlg::OnAdd(wxCommandEvent&) {
  int n = m_list->GetSelection();
  if (n == wxNOT_FOUND) return;
  m_chosen = m_candidates[static_cast<size_t>(n)];
  EndDialog(wxID_OK);
}

void CChooseColumnDlg::OnDoubleClick(wxCommandEvent& event) { OnAdd(event); }

// Customize column

wxBEGIN_EVENT_TABLE(CCustomizeColumnDlg, wxDialog)
  EVT_BUTTON(CCustomizeColumnDlg::ID_ADD, CCustomizeColumnDlg::OnAdd)
  EVT_BUTTON(CCustomizeColumnDlg::ID_DELETE, CCustomizeColumnDlg::OnDelete)
  EVT_BUTTON(CCustomizeColumnDlg::ID_UP, CCustomizeColumnDlg::OnUp)
  EVT_BUTTON(CCustomizeColumnDlg::ID_DOWN, CCustomizeColumnDlg::OnDown)
  EVT_LISTBOX(CCustomizeColumnDlg::ID_LIST, CCustomizeColumnDlg::OnSelect)
wxEND_EVENT_TABLE()

CCustomizeColumnDlg::CCustomizeColumnDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Customize Column") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(new wxStaticText(this, wxID_ANY, "Additional Column:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  m_list = new wxListBox(this, ID_LIST, wxDefaultPosition, FromDIP(wxSize(200, 170)), 0, nullptr, wxLB_SINGLE);
  row->Add(m_list, 1, wxEXPAND | wxRIGHT, 8);
  auto* side = new wxBoxSizer(wxVERTICAL);
  const struct {
    int id;
    const char* text;
  } kButtons[] = {{ID_ADD, "&Add"}, {ID_DELETE, "&Delete"}, {ID_UP, "&Up"}, {ID_DOWN, "&Down"}};
  for (const auto& b : kButtons) side->Add(new wxButton(this, b.id, b.text), 0, wxEXPAND | wxBOTTOM, 5);
  row->Add(side, 0);
  top->Add(row, 1, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&OK", "&Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

bool CCustomizeColumnDlg::TransferDataToWindow() {
  if (m_choice.codes.size() > kMaxExtraColumns) m_choice.codes.resize(kMaxExtraColumns);
  m_choice.selected = m_choice.codes.empty() ? -1 : 0;
  Fill();
  return true;
}

void CCustomizeColumnDlg::Fill() {
  m_list->Clear();
  for (int32_t code : m_choice.codes) m_list->Append(tv::BytesToWx(ColumnCodeTitle(code)));
  if (m_choice.selected >= 0 && m_choice.selected < static_cast<int>(m_list->GetCount()))
    m_list->SetSelection(m_choice.selected);
}

void CCustomizeColumnDlg::OnSelect(wxCommandEvent&) {
  int n = m_list->GetSelection();
  m_choice.selected = n == wxNOT_FOUND ? -1 : n;
}

void CCustomizeColumnDlg::OnAdd(wxCommandEvent&) {
  if (!m_choice.CanAdd()) return;
  CChooseColumnDlg chooser(this, m_choice.Candidates());
  if (chooser.ShowModal() != wxID_OK) return;
  m_choice.Add(chooser.m_chosen);
  Fill();
}

void CCustomizeColumnDlg::OnDelete(wxCommandEvent&) {
  m_choice.Delete();
  Fill();
}

void CCustomizeColumnDlg::OnUp(wxCommandEvent&) {
  m_choice.Up();
  Fill();
}

void CCustomizeColumnDlg::OnDown(wxCommandEvent&) {
  m_choice.Down();
  Fill();
}
