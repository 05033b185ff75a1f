// What a process shows on the test display, read through Xlib as a window
// manager or a desktop tool sees it, and the close a window manager sends.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

struct _XDisplay;

namespace ending {

struct ShownWindow {
  unsigned long id = 0;
  std::string title;
  unsigned long transientFor = 0;  // 0: none
  std::string type;                // _NET_WM_WINDOW_TYPE without its prefix ("NORMAL", "DIALOG", ...)
  int x = 0, y = 0, width = 0, height = 0;  // the client area on the root window
  bool overrideRedirect = false;            // menus and tooltips
  bool modal = false;                       // _NET_WM_STATE_MODAL: it holds the program's input

  bool IsDialog() const { return !overrideRedirect && (transientFor != 0 || type == "DIALOG"); }
  bool IsMain() const { return !overrideRedirect && transientFor == 0 && type != "DIALOG"; }
};

class XScreen {
 public:
  // Opens the display named by DISPLAY.
  XScreen();
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;
  bool Open() const { return m_display != nullptr; }

  // The viewable top-level windows that name pid as their owner (_NET_WM_PID),
  // frames of a window manager looked through.
  std::vector<ShownWindow> Shown(pid_t pid);
  // WM_DELETE_WINDOW, as a window manager sends it for its close box.
  bool SendClose(unsigned long window);
  // A window manager that has announced itself on the root window is running.
  bool WindowManagerRunning();

 private:
  void Collect(unsigned long window, pid_t pid, int depth, std::vector<ShownWindow>* out);
  _XDisplay* m_display = nullptr;
};

// One line per window: "'Trailvane' DIALOG for 0x400011 at 10,20 300x200".
std::string Describe(const std::vector<ShownWindow>& windows);

}  // namespace ending
