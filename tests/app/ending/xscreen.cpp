#include "tests/app/ending/xscreen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace ending {

namespace {

// A window vanishing between the listing and a question about it is normal.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

bool Property(Display* d, Window w, Atom name, Atom type, std::vector<unsigned char>* data, int* format,
              unsigned long* items) {
  Atom actual = None;
  unsigned long count = 0, after = 0;
  unsigned char* bytes = nullptr;
  if (XGetWindowProperty(d, w, name, 0, 4096, False, type, &actual, format, &count, &after, &bytes) != Success ||
      actual == None) {
    if (bytes) XFree(bytes);
    return false;
  }
  const size_t unit = *format == 32 ? sizeof(long) : static_cast<size_t>(*format / 8);
  data->assign(bytes, bytes + count * unit);
  *items = count;
  XFree(bytes);
  return true;
}

bool CardinalProperty(Display* d, Window w, const char* name, Atom type, unsigned long* value) {
  std::vector<unsigned char> data;
  int format = 0;
  unsigned long items = 0;
  if (!Property(d, w, XInternAtom(d, name, False), type, &data, &format, &items) || format != 32 || items < 1)
    return false;
  long v = 0;
  memcpy(&v, data.data(), sizeof v);
  *value = static_cast<unsigned long>(v);
  return true;
}

std::string Title(Display* d, Window w) {
  std::vector<unsigned char> data;
  int format = 0;
  unsigned long items = 0;
  if (Property(d, w, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), &data, &format,
               &items) ||
      Property(d, w, XA_WM_NAME, AnyPropertyType, &data, &format, &items))
    return std::string(data.begin(), data.end());
  return {};
}

std::string WindowType(Display* d, Window w) {
  unsigned long atom = 0;
  if (!CardinalProperty(d, w, "_NET_WM_WINDOW_TYPE", XA_ATOM, &atom)) return {};
  char* name = XGetAtomName(d, static_cast<Atom>(atom));
  if (!name) return {};
  std::string type = name;
  XFree(name);
  const std::string prefix = "_NET_WM_WINDOW_TYPE_";
  return type.compare(0, prefix.size(), prefix) == 0 ? type.substr(prefix.size()) : type;
}

bool HasState(Display* d, Window w, const char* state) {
  std::vector<unsigned char> data;
  int format = 0;
  unsigned long items = 0;
  if (!Property(d, w, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, &data, &format, &items) || format != 32)
    return false;
  const Atom wanted = XInternAtom(d, state, False);
  for (unsigned long i = 0; i < items; ++i) {
    long atom = 0;
    memcpy(&atom, data.data() + i * sizeof(long), sizeof atom);
    if (static_cast<Atom>(atom) == wanted) return true;
  }
  return false;
}

}  // namespace

XScreen::XScreen() {
  XSetErrorHandler(&IgnoreErrors);
  // The server may refuse a connection for a moment while it resets.
  for (int attempt = 0; attempt < 50 && !m_display; ++attempt) {
    m_display = XOpenDisplay(nullptr);
    if (!m_display) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

XScreen::~XScreen() {
  if (m_display) XCloseDisplay(m_display);
}

void XScreen::Collect(unsigned long window, pid_t pid, int depth, std::vector<ShownWindow>* out) {
  Display* d = m_display;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, window, &root, &parent, &children, &count)) return;
  std::vector<Window> list(children, children + count);
  if (children) XFree(children);
  for (Window w : list) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, w, &attributes) || attributes.map_state != IsViewable) continue;
    unsigned long owner = 0;
    if (CardinalProperty(d, w, "_NET_WM_PID", XA_CARDINAL, &owner)) {
      if (owner != static_cast<unsigned long>(pid)) continue;
      ShownWindow shown;
      shown.id = w;
      shown.title = Title(d, w);
      shown.type = WindowType(d, w);
      shown.overrideRedirect = attributes.override_redirect;
      shown.modal = HasState(d, w, "_NET_WM_STATE_MODAL");
      Window transient = 0;
      if (XGetTransientForHint(d, w, &transient)) shown.transientFor = transient;
      Window child = 0;
      XTranslateCoordinates(d, w, attributes.root, 0, 0, &shown.x, &shown.y, &child);
      shown.width = attributes.width;
      shown.height = attributes.height;
      out->push_back(shown);
    } else if (depth < 2) {
      // A window manager's frame around the client window.
      Collect(w, pid, depth + 1, out);
    }
  }
}

std::vector<ShownWindow> XScreen::Shown(pid_t pid) {
  std::vector<ShownWindow> out;
  if (!m_display) return out;
  XSync(m_display, False);
  Collect(DefaultRootWindow(m_display), pid, 0, &out);
  return out;
}

bool XScreen::SendClose(unsigned long window) {
  if (!m_display) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(m_display, window, False, NoEventMask, &event) != 0;
  XSync(m_display, False);
  return sent;
}

bool XScreen::WindowManagerRunning() {
  if (!m_display) return false;
  unsigned long check = 0;
  Display* d = m_display;
  if (!CardinalProperty(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &check)) return false;
  // One a manager that has gone left behind names a window that is gone.
  unsigned long self = 0;
  return CardinalProperty(d, static_cast<Window>(check), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &self) &&
         self == check;
}

std::string Describe(const std::vector<ShownWindow>& windows) {
  if (windows.empty()) return "no window";
  std::string out;
  for (const ShownWindow& w : windows) {
    char line[512];
    snprintf(line, sizeof line, "'%s' %s%s%s for 0x%lx at %d,%d %dx%d (0x%lx)", w.title.c_str(),
             w.type.empty() ? "?" : w.type.c_str(), w.modal ? " modal" : "", w.overrideRedirect ? " popup" : "",
             w.transientFor, w.x, w.y, w.width, w.height, w.id);
    if (!out.empty()) out += "; ";
    out += line;
  }
  return out;
}

}  // namespace ending
