// The program's main window: toolbar with the two date pickers, the status
// bar, the navigator left of the view and the subreport frame below it, the
// report export commands, dropped log files, the update answers of the
// commands, and the close that stops running work and saves the window state.
#pragma once
#include <wx/frame.h>

#include <cstdint>

class CAuxFrame;
class CHideSplitterWnd;
class CMainToolBar;
class CRMenu;
class CTrailvaneView;
class wxDatePickerCtrl;

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
  // After an analysis: the first and last hit dates (engine day numbers, 0: none).
  void SetDateFilterPickers(uint32_t firstDate, uint32_t lastDate);

  CRMenu* Navigator() const { return m_navigator; }
  CTrailvaneView* View() const { return m_view; }
  CAuxFrame* AuxFrame() const { return m_aux; }
  CMainToolBar* ToolBar() const { return m_toolbar; }
  wxDatePickerCtrl* FromPicker() const { return m_from; }
  wxDatePickerCtrl* ToPicker() const { return m_to; }
  CHideSplitterWnd* InnerSplitter() const { return m_inner; }
  CHideSplitterWnd* OuterSplitter() const { return m_outer; }

 private:
  CMainToolBar* m_toolbar = nullptr;
  wxDatePickerCtrl* m_from = nullptr;
  wxDatePickerCtrl* m_to = nullptr;
  CHideSplitterWnd* m_inner = nullptr;
  CHideSplitterWnd* m_outer = nullptr;
  CRMenu* m_navigator = nullptr;
  CTrailvaneView* m_view = nullptr;
  CAuxFrame* m_aux = nullptr;
};

// The main window, or null.
CMainFrame* MainFrame();
