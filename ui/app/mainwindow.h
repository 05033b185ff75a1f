// The program's main window: toolbar with the two date pickers, the status
// bar, the navigator left of the view and the subreport frame below it, the
// report export commands, dropped log files, the update answers of the
// commands, and the close that stops running work and saves the window state.
#pragma once
#include <wx/frame.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/query/rowtable.h"
#include "ui/core/mainwindowrules.h"

class CAuxFrame;
class CHideSplitterWnd;
class CMainToolBar;
class CRMenu;
class CTrailvaneView;
class wxDatePickerCtrl;
class wxDateEvent;

class CMainFrame : public wxFrame {
 public:
  CMainFrame();
  ~CMainFrame() override;

  // Toolbar, status bar, pickers, splitters, navigator, view, subreport
  // frame; false when a part cannot be made (no window then).
  bool Create(const wxString& title = "Trailvane");
  // The program's menu bar with its images, set on the frame; returned.
  wxMenuBar* LoadIconMenu();

  // Non-zero shows the subreport row; 0 ends the preview and hides it.
  void ShowSubreportPane(int show);
  bool SubreportShown() const;
  // After an analysis: the first and last hit dates (packed dates, 0: none).
  // A picker whose date filter is on keeps its date.
  void SetDateFilterPickers(uint32_t firstDate, uint32_t lastDate);
  // A picker's date (or its "no date") becomes the bound of the date filter,
  // and the report is run again when the filter changed.
  void StorePickerDate(bool from);
  // The picker's text as typed, confirmed (Enter, or the field losing the
  // focus): a readable date is taken, an unreadable one puts back the filter
  // in force, an empty field turns the filter off.
  void ConfirmPickerText(bool from);

  // The profile values of the window: last report, selected row, placement,
  // last workspace, list columns.
  void SaveWindowState();
  // Dropped log files replace the workspace's sources and are analysed.
  // False (nothing changed) while a job runs.
  bool DropFiles(const wxArrayString& paths);
  // Export To Text/HTML/CSV File and Send To E-mail, by command id.
  void ExportReport(int commandId);

  // The view calls it after every job.
  void JobEnded();
  // A close is waiting for the running job or an open box to end.
  bool ClosePending() const { return m_closePending; }
  // The close has run: the window goes at idle time.
  bool Closed() const { return m_closed; }
  // Runs once when the frame is gone (the program's engine clean-up); tests
  // that make several frames set none.
  void SetCleanupHook(std::function<void()> hook) { m_cleanup = std::move(hook); }

  // What the update answers need of the windows.
  FrameUiContext UiContext() const;

  // The save dialog of the exports: a path, or empty when cancelled. Tests
  // replace it; an empty function puts the dialog back.
  using SavePathFn = std::function<wxString(wxWindow* parent, const wxString& extension)>;
  static SavePathFn& ExportPathChooser();
  // Message boxes of the frame (wxOK etc.); tests replace it.
  using MessageFn = std::function<int(const wxString& text, long style)>;
  static MessageFn& FrameMessage();

  CRMenu* Navigator() const { return m_navigator; }
  CTrailvaneView* View() const { return m_view; }
  CAuxFrame* AuxFrame() const { return m_aux; }
  CMainToolBar* ToolBar() const { return m_toolbar; }
  wxDatePickerCtrl* FromPicker() const { return m_from; }
  wxDatePickerCtrl* ToPicker() const { return m_to; }
  CHideSplitterWnd* InnerSplitter() const { return m_inner; }
  CHideSplitterWnd* OuterSplitter() const { return m_outer; }

 private:
  bool CreateClient();
  void Detach();
  void OnClose(wxCloseEvent& event);
  void OnUpdateCommand(wxUpdateUIEvent& event);
  void OnDateChanged(wxDateEvent& event);
  void WatchPicker(bool from);
  // The user is still choosing: the calendar is open or the field is typed in.
  bool PickerBeingEdited(bool from) const;
  void OnExport(wxCommandEvent& event);
  void OnSubreport(wxCommandEvent& event);
  void OnView(wxCommandEvent& event);
  void OnGo(wxCommandEvent& event);
  void OnIdle(wxIdleEvent& event);
  void UpdateMinSize();
  void UpdateChartPane();

  CMainToolBar* m_toolbar = nullptr;
  wxDatePickerCtrl* m_from = nullptr;
  wxDatePickerCtrl* m_to = nullptr;
  CHideSplitterWnd* m_inner = nullptr;
  CHideSplitterWnd* m_outer = nullptr;
  CRMenu* m_navigator = nullptr;
  CTrailvaneView* m_view = nullptr;
  CAuxFrame* m_aux = nullptr;
  bool m_subreportShown = false;
  bool m_closePending = false;
  bool m_closed = false;
  bool m_settingPickers = false;
  // Per picker (0 "From", 1 "To"): a key is being handled in its calendar,
  // and the month the calendar shows (year * 12 + month).
  bool m_calendarKey[2] = {false, false};
  int m_calendarMonth[2] = {-1, -1};
  // The user typed in the field or chose in the calendar since the last store:
  // only then does a close or a confirmation change the filter (a picker
  // shows the analysed span while its filter is off).
  bool m_pickerEdited[2] = {false, false};
  bool m_detached = false;
  std::function<void()> m_cleanup;
};

// The main window, or null.
CMainFrame* MainFrame();

// The save dialog of the exports proposing "report.<extension>" (or the
// test's chooser); the chosen path with the extension, empty when cancelled.
wxString ChooseExportPath(wxWindow* parent, const wxString& extension);
// False, after saying so in the frame's message box, when the export file
// cannot be created (an existing file is left as it was).
bool ExportFileCreatable(wxWindow* parent, const std::string& path);
// The order of the list on show, for an export or a copy to keep; null (the
// kind's own order) when no list of this report is current or it is unsorted.
SortCompareFn ReportListComparator(int kind, const CRowTable& table);
