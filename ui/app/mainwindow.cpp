#include "ui/app/mainwindow.h"

#include <wx/calctrl.h>
#include <wx/combo.h>
#include <wx/dateevt.h>
#include <wx/datectrl.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/uilocale.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/msgsink.h"
#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "output/csvexport.h"
#include "output/htmlexport.h"
#include "output/reportrows.h"
#include "output/textexport.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/wx/modalwatch.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "ui/app/analysisstart.h"
#include "ui/app/document.h"
#include "ui/app/mainview.h"
#include "ui/app/programend.h"
#include "ui/app/subreportframe.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/reportcells.h"
#include "ui/core/reportcommands.h"
#include "ui/core/uistate.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/columnprofile.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/navigatortree.h"
#include "ui/panes/reportpanes.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/artwork.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/menus.h"
#include "ui/widgets/opener.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/splitter.h"
#include "ui/widgets/toolbar.h"
#include "ui/widgets/worker.h"

namespace {

CMainFrame* s_mainFrame = nullptr;

constexpr int kNavigatorWidth = 190;
constexpr int kViewHeight = 450;
// The navigator and the subreport frame keep this much when a bar is dragged
// or the window is made small.
constexpr int kNavigatorLeast = 100;
constexpr int kSubreportLeast = 100;

// Historical command number <-> the id the windows use.
int WindowId(int number) {
  switch (number) {
    case command::kFileNew: return wxID_NEW;
    case command::kFileOpen: return wxID_OPEN;
    case command::kFileSave: return wxID_SAVE;
    case command::kFilePrint: return wxID_PRINT;
    case command::kEditCopy: return wxID_COPY;
    default: return Cmd(number);
  }
}

int HistoricalCommand(int id) {
  switch (id) {
    case wxID_NEW: return command::kFileNew;
    case wxID_OPEN: return command::kFileOpen;
    case wxID_SAVE: return command::kFileSave;
    case wxID_PRINT: return command::kFilePrint;
    case wxID_COPY: return command::kEditCopy;
    default: return id - kCommandBase + 32768;
  }
}

uint32_t PackedOf(const wxDateTime& date) {
  return PackDate(static_cast<unsigned>(date.GetDay()), static_cast<unsigned>(date.GetMonth()) + 1,
                  static_cast<unsigned>(date.GetYear()));
}

wxDateTime DateOf(uint32_t packed) {
  return wxDateTime(static_cast<wxDateTime::wxDateTime_t>(packed & 0xFF),
                    static_cast<wxDateTime::Month>(((packed >> 8) & 0xFF) - 1), static_cast<int>(packed >> 16));
}

// The parts of a date picker that the user types in and drops down (GTK has
// no native picker: a combo with a text field and a calendar popup).
wxComboCtrl* PickerCombo(wxDatePickerCtrl* picker) {
  if (!picker) return nullptr;
  for (wxWindow* child : picker->GetChildren())
    if (auto* combo = dynamic_cast<wxComboCtrl*>(child)) return combo;
  return nullptr;
}

wxTextCtrl* PickerText(wxDatePickerCtrl* picker) {
  wxComboCtrl* combo = PickerCombo(picker);
  return combo ? combo->GetTextCtrl() : nullptr;
}

// The format the picker shows its date in: the locale's short date with the century.
wxString PickerFormat() {
  wxString format = wxUILocale::GetCurrent().GetInfo(wxLOCALE_SHORT_DATE_FMT);
  if (format.empty()) format = "%x";
  format.Replace("%y", "%Y");
  return format;
}

int MonthIndex(const wxDateTime& date) {
  return date.IsValid() ? date.GetYear() * 12 + static_cast<int>(date.GetMonth()) : -1;
}

class CLogDropTarget : public wxFileDropTarget {
 public:
  explicit CLogDropTarget(CMainFrame* frame) : m_frame(frame) {}
  bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& paths) override { return m_frame->DropFiles(paths); }

 private:
  CMainFrame* m_frame;
};

}  // namespace

CMainFrame* MainFrame() { return s_mainFrame; }

wxString ChooseExportPath(wxWindow* parent, const wxString& extension) {
  if (CMainFrame::ExportPathChooser()) return CMainFrame::ExportPathChooser()(parent, extension);
  wxFileDialog dialog(parent, "Save As", wxEmptyString, "report." + extension,
                      wxString::Format("%s files (*.%s)|*.%s|All Files (*.*)|*", extension.Upper(), extension, extension),
                      wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  if (dialog.ShowModal() != wxID_OK) return wxString();
  wxFileName name(dialog.GetPath());
  if (!name.HasExt()) name.SetExt(extension);
  return name.GetFullPath();
}

SortCompareFn ReportListComparator(int kind, const CRowTable& table) {
  CSortListCtrl* list = CurrentReportList;
  if (!list || list->reportKind != kind || list->rowTable != &table) return nullptr;
  if (list->sortColumn < 0 || list->sortColumn >= list->columnCount) return nullptr;
  SetReportSortParameters(list->columns[list->sortColumn].type, list->sortAscending != 0, kind, &table);
  return CompareReportRows;
}

CMainFrame::SavePathFn& CMainFrame::ExportPathChooser() {
  static SavePathFn fn;
  return fn;
}

CMainFrame::MessageFn& CMainFrame::FrameMessage() {
  static MessageFn fn;
  return fn;
}

namespace {

int FrameMessageBox(wxWindow* parent, const wxString& text, long style) {
  if (CMainFrame::FrameMessage()) return CMainFrame::FrameMessage()(text, style);
  return wxMessageBox(text, "Trailvane", style, parent);
}

}  // namespace

bool ExportFileCreatable(wxWindow* parent, const std::string& path) {
  // The writers say nothing when the file cannot be made at all.
  const bool existed = wxFileName::FileExists(tv::BytesToWx(path));
  if (FILE* probe = fopen(path.c_str(), "ab")) {
    fclose(probe);
    if (!existed) std::remove(path.c_str());
    return true;
  }
  FrameMessageBox(parent, "Cannot create the file '" + tv::BytesToWx(path) + "'.", wxOK | wxICON_ERROR);
  return false;
}

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
  Detach();
  if (s_mainFrame == this) s_mainFrame = nullptr;
  if (m_cleanup) {
    std::function<void()> cleanup = std::move(m_cleanup);
    m_cleanup = nullptr;
    cleanup();
  }
}

bool CMainFrame::Create(const wxString& title) {
  if (!wxFrame::Create(nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(1000, 720))) return false;
  SetIcons(AppIconBundle());

  m_toolbar = new CMainToolBar(this, wxID_ANY, wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
  m_toolbar->LoadButtons(kToolbarImageSize);
  const long pickerStyle = wxDP_DROPDOWN | wxDP_ALLOWNONE | wxDP_SHOWCENTURY;
  m_from = new wxDatePickerCtrl(m_toolbar, ID_DATE_FROM, wxDefaultDateTime, wxDefaultPosition, wxDefaultSize,
                                pickerStyle);
  m_to = new wxDatePickerCtrl(m_toolbar, ID_DATE_TO, wxDefaultDateTime, wxDefaultPosition, wxDefaultSize, pickerStyle);
  if (!m_toolbar->PlaceControl(ID_DATE_FROM, m_from) || !m_toolbar->PlaceControl(ID_DATE_TO, m_to)) return false;
  m_from->SetToolTip("From (filter on date)");
  m_to->SetToolTip("To (filter on date)");
  m_from->SetValue(wxDefaultDateTime);
  m_to->SetValue(wxDefaultDateTime);
  SetToolBar(m_toolbar);

  wxStatusBar* status = CreateStatusBar(4);
  if (!status) return false;
  const int widths[] = {-1, 48, 48, 48};
  status->SetStatusWidths(4, widths);
  status->SetStatusText("Ready", 0);

  if (!CreateClient()) return false;

  std::vector<wxAcceleratorEntry> keys = CIconMenu::WindowAcceleratorEntries();
  if (!keys.empty()) SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));

  for (int command : FrameUiCommands()) Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCommand, this, WindowId(command));
  Bind(wxEVT_DATE_CHANGED, &CMainFrame::OnDateChanged, this, ID_DATE_FROM);
  Bind(wxEVT_DATE_CHANGED, &CMainFrame::OnDateChanged, this, ID_DATE_TO);
  WatchPicker(true);
  WatchPicker(false);
  for (int id : {ID_REPORT_EXPORT_TEXT, ID_REPORT_EXPORT_HTML, ID_REPORT_EXPORT_CSV, ID_REPORT_SEND_MAIL})
    Bind(wxEVT_MENU, &CMainFrame::OnExport, this, id);
  for (int id : {ID_VIEW_SUBREPORT_TABLE, ID_VIEW_SUBREPORT_CHART, ID_VIEW_CLOSE_SUBREPORT, ID_VIEW_CHART_FRAME})
    Bind(wxEVT_MENU, &CMainFrame::OnSubreport, this, id);
  for (int id : {ID_VIEW_CHART, ID_VIEW_TABLE, ID_VIEW_CHART_TABLE}) Bind(wxEVT_MENU, &CMainFrame::OnView, this, id);
  for (int kind = 1; kind <= kMaxReportKind; ++kind) {
    int id = Cmd(static_cast<int>(ReportCommandOf(kind).commandId));
    // The child pages of a row first check the site address (application command).
    if (ReportCommandOf(kind).commandId != command::kHelpIndex && kind != kReportChildPages)
      Bind(wxEVT_MENU, &CMainFrame::OnGo, this, id);
  }
  Bind(wxEVT_MENU, &CMainFrame::OnGo, this, ID_GO_PREVIOUS);
  Bind(wxEVT_MENU, &CMainFrame::OnGo, this, ID_GO_NEXT);
  Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
  Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
  SetDropTarget(new CLogDropTarget(this));

  s_mainFrame = this;
  // The jobs an earlier window's end refused start again for this one.
  RefuseNewJobs(false);
  SetEngineStatusBar(status);
  SetWorkerView(m_view);
  InstallNavigation(this);
  InstallAnalysisStart();
  SetLevelMovedHook([this] { UpdateChartPane(); });
  g_setDateFilterPickers = [this](uint32_t first, uint32_t last) { SetDateFilterPickers(first, last); };
  UpdateMainTitle();
  UpdateMinSize();
  return true;
}

bool CMainFrame::CreateClient() {
  m_outer = new CHideSplitterWnd;
  if (!m_outer->CreateStatic(this, 1, 2)) return false;
  m_navigator = new CRMenu;
  if (!m_navigator->Create(m_outer)) return false;
  m_navigator->SetMinSize(wxSize(kNavigatorLeast, -1));
  m_outer->CreateView(0, 0, m_navigator, wxSize(std::max(kNavigatorWidth, m_navigator->DefaultWidth()), 0));
  m_inner = new CHideSplitterWnd;
  if (!m_inner->CreateStatic(m_outer, 2, 1)) return false;
  m_outer->CreateView(0, 1, m_inner, wxSize(0, 0));
  m_view = new CTrailvaneView;
  if (!m_view->Create(m_inner)) return false;
  m_inner->CreateView(0, 0, m_view, wxSize(0, kViewHeight));
  m_aux = new CAuxFrame;
  if (!m_aux->Create(m_inner)) return false;
  m_aux->SetMinSize(wxSize(-1, kSubreportLeast));
  m_inner->CreateView(1, 0, m_aux, wxSize(0, 0));
  m_inner->HideRow(1);
  m_subreportShown = false;
  return true;
}

wxMenuBar* CMainFrame::LoadIconMenu() {
  CIconMenu::flatLookXp = true;
  CIconMenu::flatLookOther = true;
  wxMenuBar* bar = CIconMenu::CreateMenuBar();
  if (bar) SetMenuBar(bar);
  UpdateMinSize();
  return bar;
}

// ---------------------------------------------------------------------------
// Subreport row

void CMainFrame::ShowSubreportPane(int show) {
  if (!m_inner) return;
  if (show) {
    if (!m_subreportShown) m_inner->ShowRow(1);
    m_subreportShown = true;
    return;
  }
  PushLevelFrame(nullptr, 0, -1);
  if (m_aux) m_aux->ForgetChartFrame();
  if (m_subreportShown) m_inner->HideRow(1);
  m_subreportShown = false;
}

bool CMainFrame::SubreportShown() const { return m_subreportShown; }

void CMainFrame::UpdateChartPane() {
  if (!m_subreportShown) return;
  if (m_aux && m_aux->ChartFrameInUse() && CanShowChart() && !g_nav.chartMode) {
    m_aux->UpdateChartFrame();
    return;
  }
  ShowSubreportPane(0);
}

void CMainFrame::OnSubreport(wxCommandEvent& event) {
  const int kind = GetCurrentReportType();
  const bool allowed = kind != 0 && kind != kReportSpiderTree && kind != kReportSummary && !g_nav.chartMode;
  switch (event.GetId()) {
    case ID_VIEW_SUBREPORT_TABLE:
    case ID_VIEW_SUBREPORT_CHART:
      if (!allowed || IsWorkerBusy()) return;
      ShowSubreportPane(1);
      m_aux->OpenSubreport(kind, event.GetId() == ID_VIEW_SUBREPORT_TABLE ? CAuxFrame::kTableMode : CAuxFrame::kChartMode,
                           -1);
      break;
    case ID_VIEW_CLOSE_SUBREPORT: ShowSubreportPane(0); break;
    case ID_VIEW_CHART_FRAME:
      if (g_nav.chartMode || !CanShowChart() || g_runPending) return;
      ShowSubreportPane(0);
      if (m_aux->ShowChartFrame()) ShowSubreportPane(1);
      break;
    default: break;
  }
}

void CMainFrame::OnView(wxCommandEvent& event) {
  if (IsWorkerBusy() || g_runPending) return;
  int chart = event.GetId() == ID_VIEW_CHART ? 1 : event.GetId() == ID_VIEW_TABLE ? 0 : (g_nav.chartMode ? 0 : 1);
  if (chart && (g_nav.chartMode || !CanShowChart())) return;
  if (!chart && !g_nav.chartMode) return;
  ShowSubreportPane(0);
  ShowPane(chart);
}

void CMainFrame::OnGo(wxCommandEvent& event) {
  const int id = event.GetId();
  if (id == ID_GO_PREVIOUS) {
    GoBackToLevel(-1);
    return;
  }
  if (id == ID_GO_NEXT) {
    GoForwardLevel();
    return;
  }
  const int command = HistoricalCommand(id);
  for (int kind = 1; kind <= kMaxReportKind; ++kind) {
    if (static_cast<int>(ReportCommandOf(kind).commandId) == command) {
      GoToReport(kind, 1);
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Update answers

FrameUiContext CMainFrame::UiContext() const {
  FrameUiContext context;
  context.subreportShown = m_subreportShown;
  context.reportListCurrent = CurrentReportList != nullptr;
  return context;
}

void CMainFrame::OnUpdateCommand(wxUpdateUIEvent& event) {
  CommandUiAnswer answer;
  if (!FrameCommandUi(HistoricalCommand(event.GetId()), UiContext(), &answer)) {
    event.Skip();
    return;
  }
  event.Enable(answer.enabled);
  if (answer.checked >= 0) event.Check(answer.checked != 0);
}

void CMainFrame::UpdateMinSize() {
  // Below the panes' least sizes they would cover each other: the window
  // stops shrinking there (the bars, menu, toolbar and status bar added).
  if (!m_outer) return;
  // Set before the window is shown: a window manager given new hints on a
  // mapped window may resize and move it. The subreport row counts as shown.
  wxSize inner = m_outer->GetMinSize();
  if (!m_subreportShown && m_aux) inner.y += CHideSplitterWnd::kBarSize + m_aux->GetMinSize().y;
  const wxSize least = ClientToWindowSize(inner);
  if (least != GetMinSize()) SetMinSize(least);
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
  event.Skip();
  // Options, a workspace or the language dialogs may have changed the report
  // language; the tree speaks the one the reports speak.
  if (m_navigator) m_navigator->RelabelTree();
  wxStatusBar* status = GetStatusBar();
  // Other display servers tell the state of the modifiers only.
  if (!status || status->GetFieldsCount() < 4 || wxGetDisplayInfo().type != wxDisplayX11) return;
  const wxKeyCode keys[] = {WXK_CAPITAL, WXK_NUMLOCK, WXK_SCROLL};
  const char* texts[] = {"CAP", "NUM", "SCRL"};
  for (int i = 0; i < 3; ++i) {
    wxString text = wxGetKeyState(keys[i]) ? texts[i] : "";
    if (status->GetStatusText(i + 1) != text) status->SetStatusText(text, i + 1);
  }
}

// ---------------------------------------------------------------------------
// Date pickers

void CMainFrame::SetDateFilterPickers(uint32_t firstDate, uint32_t lastDate) {
  if (!m_from || !m_to) return;
  m_settingPickers = true;
  uint32_t first = PickerDate(firstDate), last = PickerDate(lastDate);
  if (!first || !last) {
    tv::CivilDate today = tv::Today();
    first = last = PackDate(static_cast<unsigned>(today.day), static_cast<unsigned>(today.month),
                            static_cast<unsigned>(today.year));
  }
  // A picker whose filter is on is the user's choice: the update stops there.
  if (!g_uiQuery.dateFromOn) {
    m_from->SetValue(DateOf(first));
    if (!g_uiQuery.dateToOn) m_to->SetValue(DateOf(last));
  }
  m_settingPickers = false;
}

void CMainFrame::StorePickerDate(bool from) {
  wxDatePickerCtrl* picker = from ? m_from : m_to;
  if (!picker || m_detached) return;
  const wxDateTime value = picker->GetValue();
  uint32_t& on = from ? g_uiQuery.dateFromOn : g_uiQuery.dateToOn;
  uint32_t& date = from ? g_uiQuery.dateFrom : g_uiQuery.dateTo;
  const uint32_t newOn = value.IsValid() ? 1 : 0;
  const uint32_t newDate = value.IsValid() ? PackedOf(value) : date;
  if (newOn == on && newDate == date) return;
  // A range that ends before it starts would empty every report: refused,
  // and the picker shows again the filter in force.
  const uint32_t otherOn = from ? g_uiQuery.dateToOn : g_uiQuery.dateFromOn;
  const uint32_t otherDate = from ? g_uiQuery.dateTo : g_uiQuery.dateFrom;
  const uint32_t first = from ? newDate : otherDate, last = from ? otherDate : newDate;
  if (newOn && otherOn && PickerDate(first) > PickerDate(last)) {
    m_settingPickers = true;
    picker->SetValue(on ? DateOf(date) : wxDefaultDateTime);
    m_settingPickers = false;
    FrameMessageBox(this, "The \"From\" date is later than the \"To\" date; the date filter stays as it was.",
                    wxOK | wxICON_EXCLAMATION);
    return;
  }
  // Only one job runs at a time; the date goes back to what the report shows.
  if (IsWorkerBusy()) {
    m_settingPickers = true;
    picker->SetValue(on ? DateOf(date) : wxDefaultDateTime);
    m_settingPickers = false;
    return;
  }
  on = newOn;
  date = newDate;
  RerunAllOnWorker(nullptr);
}

void CMainFrame::ConfirmPickerText(bool from) {
  wxDatePickerCtrl* picker = from ? m_from : m_to;
  wxTextCtrl* text = PickerText(picker);
  if (!picker || !text || m_detached) return;
  const wxString typed = wxString(text->GetValue()).Trim(true).Trim(false);
  if (!typed.empty()) {
    wxDateTime parsed;
    wxString::const_iterator end;
    m_settingPickers = true;
    if (parsed.ParseFormat(typed, PickerFormat(), &end) && end == typed.end() && parsed.IsValid()) {
      picker->SetValue(parsed);
    } else {
      const uint32_t on = from ? g_uiQuery.dateFromOn : g_uiQuery.dateToOn;
      picker->SetValue(on ? DateOf(from ? g_uiQuery.dateFrom : g_uiQuery.dateTo) : wxDefaultDateTime);
      m_settingPickers = false;
      return;
    }
    m_settingPickers = false;
  }
  StorePickerDate(from);
}

bool CMainFrame::PickerBeingEdited(bool from) const {
  wxDatePickerCtrl* picker = from ? m_from : m_to;
  wxComboCtrl* combo = PickerCombo(picker);
  if (!combo) return false;
  if (combo->IsPopupShown()) return true;
  // The picker is one window to the focus: its field's focus is the picker's.
  for (wxWindow* w = wxWindow::FindFocus(); w; w = w->GetParent())
    if (w == picker) return true;
  return false;
}

void CMainFrame::WatchPicker(bool from) {
  wxDatePickerCtrl* picker = from ? m_from : m_to;
  wxComboCtrl* combo = PickerCombo(picker);
  if (!combo) return;
  const int slot = from ? 0 : 1;
  // The calendar closed: what it shows is the choice.
  combo->Bind(wxEVT_COMBOBOX_CLOSEUP, [this, from, slot](wxCommandEvent& event) {
    event.Skip();
    CallAfter([this, from, slot] {
      if (!m_pickerEdited[slot]) return;
      m_pickerEdited[slot] = false;
      StorePickerDate(from);
    });
  });
  combo->Bind(wxEVT_COMBOBOX_DROPDOWN, [this, slot, picker](wxCommandEvent& event) {
    event.Skip();
    m_calendarKey[slot] = false;
    m_calendarMonth[slot] = picker->GetCalendar() ? MonthIndex(picker->GetCalendar()->GetDate()) : -1;
  });
  if (wxTextCtrl* text = combo->GetTextCtrl()) {
    // Typed dates count once confirmed; every keystroke would run the report
    // at the first prefix that reads as a date ("03/01/2" is the year 2).
    auto confirm = [this, from, slot] {
      if (!m_pickerEdited[slot]) return;
      m_pickerEdited[slot] = false;
      ConfirmPickerText(from);
    };
    text->Bind(wxEVT_KEY_DOWN, [this, confirm](wxKeyEvent& event) {
      event.Skip();
      if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) CallAfter(confirm);
    });
    text->Bind(wxEVT_KILL_FOCUS, [this, confirm](wxFocusEvent& event) {
      event.Skip();
      CallAfter(confirm);
    });
    // An emptied field is "no date": the filter goes off at once. Looked at
    // after the key's events, so replacing a selection is not taken for it.
    text->Bind(wxEVT_TEXT, [this, from, slot, text](wxCommandEvent& event) {
      event.Skip();
      if (m_settingPickers) return;
      m_pickerEdited[slot] = true;
      if (!text->IsEmpty()) return;
      CallAfter([this, from, slot] {
        wxTextCtrl* now = PickerText(from ? m_from : m_to);
        if (!now || !now->IsEmpty() || m_settingPickers) return;
        m_pickerEdited[slot] = false;
        StorePickerDate(from);
      });
    });
  }
  if (wxCalendarCtrl* calendar = picker->GetCalendar()) {
    // Keys move the day in the calendar without choosing it.
    calendar->Bind(wxEVT_KEY_DOWN, [this, slot](wxKeyEvent& event) {
      event.Skip();
      m_calendarKey[slot] = true;
      CallAfter([this, slot] { m_calendarKey[slot] = false; });
    });
    // A click on a day of the month shown is the pick: the calendar closes.
    // The month's arrows change the month and keep it open.
    calendar->Bind(wxEVT_CALENDAR_SEL_CHANGED, [this, slot, combo](wxCalendarEvent& event) {
      event.Skip();
      if (!m_settingPickers) m_pickerEdited[slot] = true;
      const int month = MonthIndex(event.GetDate());
      const bool picked = !m_calendarKey[slot] && month == m_calendarMonth[slot];
      m_calendarMonth[slot] = month;
      if (picked) {
        CallAfter([combo] {
          if (combo->IsPopupShown()) combo->Dismiss();
        });
      }
    });
  }
}

void CMainFrame::OnDateChanged(wxDateEvent& event) {
  if (m_settingPickers) return;
  const bool from = event.GetId() == ID_DATE_FROM;
  // Taken when the calendar closes or the typing is confirmed.
  if (PickerBeingEdited(from)) return;
  StorePickerDate(from);
}

// ---------------------------------------------------------------------------
// Exports

void CMainFrame::OnExport(wxCommandEvent& event) { ExportReport(event.GetId()); }

void CMainFrame::ExportReport(int commandId) {
  const int kind = GetCurrentReportType();
  if (kind == 0 || kind == kReportSpiderTree || g_runPending || IsWorkerBusy()) return;
  std::string path;
  if (commandId == ID_REPORT_SEND_MAIL) {
    path = MailMessagePath();
    if (path.empty()) {
      FrameMessageBox(this, "There is no private temporary folder for the message.", wxOK | wxICON_ERROR);
      return;
    }
  } else {
    const char* extension = commandId == ID_REPORT_EXPORT_TEXT   ? "txt"
                            : commandId == ID_REPORT_EXPORT_HTML ? "html"
                            : commandId == ID_REPORT_EXPORT_CSV  ? "csv"
                                                                 : nullptr;
    if (!extension) return;
    wxString chosen = ChooseExportPath(this, extension);
    if (chosen.empty()) return;
    path = tv::WxToBytes(chosen);
  }
  if (!ExportFileCreatable(this, path)) return;
  wxBusyCursor wait;
  CRowTable& table = GetCurrentQueryState();
  SortCompareFn compare = ReportListComparator(kind, table);
  int ok = 0;
  switch (commandId) {
    case ID_REPORT_SEND_MAIL: ok = ExportReportToMail(path.c_str(), kind, table, g_uiQuery, compare); break;
    case ID_REPORT_EXPORT_TEXT: ok = ExportReportToText(path.c_str(), kind, table, g_uiQuery, compare); break;
    case ID_REPORT_EXPORT_HTML:
      ok = ExportReportToHtml(path.c_str(), kind, table, nullptr, g_uiQuery, compare) ? 1 : 0;
      break;
    default: ok = ExportReportToCsv(path.c_str(), kind, table, g_uiQuery, compare); break;
  }
  if (ok && commandId == ID_REPORT_SEND_MAIL) {
    OpenOrReport(path, [](const wxString& failed) { FrameMessageBox(nullptr, failed, wxOK | wxICON_EXCLAMATION); });
  }
}

// ---------------------------------------------------------------------------
// Dropped files

bool CMainFrame::DropFiles(const wxArrayString& paths) {
  // The worker reads the sources while a job runs.
  if (paths.empty() || IsWorkerBusy()) return false;
  g_project.sources.Clear();
  for (const wxString& path : paths) g_project.sources.AddFiles(tv::WxToBytes(path).c_str());
  g_workspace.SetDirty();
  if (CWorkspaceDlg* pane = WorkspacePane()) pane->FillLogSourceList(0);
  ResetNavigation(1);
  RerunAllOnWorker(nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// Closing

void CMainFrame::SaveWindowState() {
  if (g_topReportKind != kNoTopReportKind) tv::RegWriteDword("WinAMenu", g_topReportKind);
  std::string selected;
  if (CurrentReportList) selected = CurrentReportList->SaveColumnState();
  tv::RegWriteString("ActiveListItem", selected);
  const bool maximised = IsMaximized();
  tv::RegWriteDword("MaxWin", maximised ? 1 : 0);
  // A minimised window's rectangle is not where it will come back.
  if (!maximised && !IsIconized()) {
    const wxRect r = GetRect();
    tv::RegWriteDword("WinTop", static_cast<uint32_t>(r.GetTop()));
    tv::RegWriteDword("WinBotton", static_cast<uint32_t>(r.GetTop() + r.GetHeight()));
    tv::RegWriteDword("WinLeft", static_cast<uint32_t>(r.GetLeft()));
    tv::RegWriteDword("WinRight", static_cast<uint32_t>(r.GetLeft() + r.GetWidth()));
  }
  if (CTrailvaneDoc* doc = TheDocument()) tv::RegWriteString("LastWorkspace", doc->GetPathName());
  SaveListColumnInfo();
}

void CMainFrame::OnClose(wxCloseEvent& event) {
  // Closed already: the window goes at idle time.
  if (m_closed) return;
  // A job or a modal box could still touch the windows: the end path stops
  // the job, answers the boxes, and closes again once they are over. Waiting
  // here instead would block the thread the job may be waiting on.
  auto handedOver = [&](bool quiet) {
    if (!IsWorkerBusy() && tv::OpenModalDialogs() == 0) return false;
    m_closePending = true;
    RequestProgramEnd(quiet);
    if (event.CanVeto()) event.Veto();
    return true;
  };
  if (handedOver(!event.CanVeto())) return;
  m_closePending = false;
  if (event.CanVeto()) {
    if (CTrailvaneDoc* doc = TheDocument(); doc && !doc->CanCloseFrame()) {
      event.Veto();
      return;
    }
  }
  // The save question may have let a job start or a box open; it has been
  // answered, so the end asks nothing more.
  if (handedOver(true)) return;
  m_closed = true;
  RequestStop();
  SaveWindowState();
  ClearEngineCallbacks();
  Detach();
  Destroy();
}

void CMainFrame::JobEnded() {
  // Chart panes kept their background while the worker wrote their rows.
  if (CChartDlg* chart = ChartPane(); chart && chart->IsShownOnScreen()) chart->Refresh();
  if (m_aux && m_subreportShown) {
    m_aux->SubreportChart()->Refresh();
    m_aux->ChartFramePane()->Refresh();
  }
  // The buttons' look follows the answers now, not at the next idle time
  // that the display may not bring until the pointer moves.
  if (m_toolbar) m_toolbar->UpdateWindowUI(wxUPDATE_UI_RECURSE);
}

void CMainFrame::Detach() {
  if (m_detached) return;
  m_detached = true;
  // Windows go only once no job can touch them. The close never gets here
  // with a job running; a window destroyed without its close (tests) waits.
  if (IsWorkerBusy()) FinishRunningJob();
  if (g_setDateFilterPickers) g_setDateFilterPickers = nullptr;
  SetLevelMovedHook(nullptr);
  UninstallNavigation();
  ReportPaneHooks().runAnalysis = nullptr;
  SetWorkerView(nullptr);
  SetEngineStatusBar(nullptr);
  CurrentReportList = nullptr;
  SetDropTarget(nullptr);
}
