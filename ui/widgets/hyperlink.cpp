#include "ui/widgets/hyperlink.h"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <algorithm>

#include "platform/launcher.h"
#include "ui/widgets/opener.h"

const wxColour CHyperLink::kLinkColour(0, 0, 255);
const wxColour CHyperLink::kVisitedColour(128, 0, 128);
const wxColour CHyperLink::kHoverColour(255, 0, 0);
const wxColour CHyperLink::kPressedColour(0, 128, 128);

namespace {

CHyperLink::ErrorSink& Sink() {
  static CHyperLink::ErrorSink sink;
  return sink;
}

}  // namespace

CHyperLink::CHyperLink(wxWindow* parent, wxWindowID id, const wxString& text, const wxString& address,
                       int linkStyle, const wxPoint& pos, const wxSize& size, long alignment)
    : wxControl(parent, id, pos, size,
                wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE |
                    (alignment & (wxALIGN_CENTRE_HORIZONTAL | wxALIGN_RIGHT | wxALIGN_CENTRE_VERTICAL))),
      m_style(linkStyle),
      m_alive(std::make_shared<bool>(true)) {
  m_address = address.empty() ? text : address;
  SetLabel(text.empty() ? m_address : text);
  wxFont font = GetFont();
  if (font.IsOk()) {
    font.SetUnderlined((m_style & kUnderline) != 0);
    SetFont(font);
  } else {
    m_style &= ~kFitToText;
  }
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  if (!(m_style & kNoHandCursor)) SetCursor(wxCursor(wxCURSOR_HAND));
  SetToolTip(m_address);
  FitToText(size != wxDefaultSize);
  Bind(wxEVT_PAINT, &CHyperLink::OnPaint, this);
  Bind(wxEVT_ENTER_WINDOW, &CHyperLink::OnEnter, this);
  Bind(wxEVT_LEAVE_WINDOW, &CHyperLink::OnLeave, this);
  Bind(wxEVT_LEFT_DOWN, &CHyperLink::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &CHyperLink::OnLeftUp, this);
  Bind(wxEVT_SET_FOCUS, &CHyperLink::OnSetFocus, this);
  Bind(wxEVT_KILL_FOCUS, &CHyperLink::OnKillFocus, this);
  Bind(wxEVT_KEY_DOWN, &CHyperLink::OnKeyDown, this);
}

CHyperLink::~CHyperLink() { *m_alive = false; }

void CHyperLink::SetLinkText(const wxString& text) {
  SetLabel(text);
  FitToText(true);
  Refresh();
}

void CHyperLink::SetURL(const wxString& address) {
  m_address = address;
  SetToolTip(m_address);
}

wxSize CHyperLink::DoGetBestSize() const {
  wxClientDC dc(const_cast<CHyperLink*>(this));
  dc.SetFont(GetFont());
  wxSize text = dc.GetTextExtent(GetLabel());
  return wxSize(text.x + 2, text.y + 2);
}

void CHyperLink::FitToText(bool keepAnchor) {
  if (!(m_style & kFitToText)) return;
  // A size given at creation became the least size: the text decides now.
  SetMinSize(wxDefaultSize);
  InvalidateBestSize();
  const wxSize text = GetBestSize();
  const wxRect now = GetRect();
  wxRect fit(now.GetPosition(), text);
  if (!keepAnchor) {
    // No rectangle was given: nothing to keep.
  } else if (HasFlag(wxALIGN_CENTRE_HORIZONTAL)) fit.x = now.x + (now.width - text.x) / 2;
  else if (HasFlag(wxALIGN_RIGHT)) fit.x = now.x + now.width - text.x;
  if (keepAnchor && HasFlag(wxALIGN_CENTRE_VERTICAL)) fit.height = std::max(now.height, text.y);
  SetSize(fit);
  SetMinSize(fit.GetSize());
}

wxColour CHyperLink::TextColour() const {
  if (m_over && (m_style & kUseHover)) return kHoverColour;
  if (m_style & kNoPressedColour) return m_visited ? kVisitedColour : kLinkColour;
  if (m_pressed) return kPressedColour;
  return m_visited ? kVisitedColour : kLinkColour;
}

void CHyperLink::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  dc.SetFont(GetFont());
  dc.SetTextForeground(TextColour());
  wxSize text = dc.GetTextExtent(GetLabel());
  dc.DrawText(GetLabel(), 1, (GetClientSize().y - text.y) / 2);
}

void CHyperLink::OnEnter(wxMouseEvent& event) {
  m_over = true;
  Refresh();
  event.Skip();
}

void CHyperLink::OnLeave(wxMouseEvent& event) {
  m_over = false;
  Refresh();
  event.Skip();
}

void CHyperLink::OnLeftDown(wxMouseEvent& event) {
  if (m_style & kFocusOnClick) SetFocus();
  if (m_style & kOpenOnButtonDown) FollowLink();
  m_pressed = true;
  event.Skip();
}

void CHyperLink::OnLeftUp(wxMouseEvent& event) {
  if (m_pressed && !(m_style & kOpenOnButtonDown)) FollowLink();
  event.Skip();
}

void CHyperLink::OnSetFocus(wxFocusEvent& event) {
  m_pressed = true;
  Refresh();
  event.Skip();
}

void CHyperLink::OnKillFocus(wxFocusEvent& event) {
  m_over = m_pressed = false;
  Refresh();
  event.Skip();
}

void CHyperLink::OnKeyDown(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_SPACE) FollowLink();
  else event.Skip();
}

void CHyperLink::FollowLink() {
  // The opener answers later, maybe after the link is gone: the flag tells.
  std::shared_ptr<bool> alive = m_alive;
  CHyperLink* self = this;
  OpenFromUi(m_address.ToStdString(wxConvUTF8), [alive, self](int status) {
    if (status == tv::kLaunchOpened) {
      if (!*alive) return;
      self->m_visited = true;
      self->Refresh();
      return;
    }
    wxBell();
    wxString message = OpenFailureText(status);
    if (Sink()) Sink()(message);
    else wxMessageBox(message, wxTheApp ? wxTheApp->GetAppDisplayName() : wxString(), wxOK | wxICON_EXCLAMATION,
                      *alive ? self : nullptr);
  });
}

wxString CHyperLink::ErrorText(int code) {
  static const struct {
    int code;
    const char* text;
  } kTexts[] = {
      {0, "The operating system is out\nof memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "The operating system denied\naccess to the specified file."},
      {8, "There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred. "},
      {27, "The filename association is\nincomplete or invalid."},
      {28, "The DDE transaction could not\nbe completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
  };
  wxString reason = wxString::Format("Unknown Error (%d) occurred.", code);
  for (const auto& t : kTexts)
    if (t.code == code) reason = t.text;
  return "Can't open link:\n\n" + reason;
}

CHyperLink::ErrorSink CHyperLink::SetErrorSink(ErrorSink sink) {
  ErrorSink old = std::move(Sink());
  Sink() = std::move(sink);
  return old;
}
