// A text that behaves as a web link: link colours, underlined, a hand cursor
// and a tooltip with its address; a click or the space key opens the address
// through the launcher.
#pragma once
#include <wx/control.h>

#include <functional>
#include <memory>

class CHyperLink : public wxControl {
 public:
  enum LinkStyle {
    kUnderline = 0x01,
    kUseHover = 0x02,
    kFitToText = 0x04,
    kOpenOnButtonDown = 0x08,
    kFocusOnClick = 0x10,
    kNoHandCursor = 0x20,
    kNoPressedColour = 0x40,
    kDefaultStyle = kUnderline | kFitToText | kFocusOnClick,
  };

  static const wxColour kLinkColour, kVisitedColour, kHoverColour, kPressedColour;

  // An empty address takes the text, an empty text shows the address.
  // Fitted to its text, the control keeps its centre with
  // wxALIGN_CENTRE_HORIZONTAL, its right edge with wxALIGN_RIGHT, else its
  // left edge; with wxALIGN_CENTRE_VERTICAL it keeps its height and the text
  // is centred in it, else it takes the text's height.
  CHyperLink(wxWindow* parent, wxWindowID id, const wxString& text, const wxString& address = wxString(),
             int linkStyle = kDefaultStyle, const wxPoint& pos = wxDefaultPosition,
             const wxSize& size = wxDefaultSize, long alignment = 0);
  ~CHyperLink() override;

  void SetLinkText(const wxString& text);
  void SetURL(const wxString& address);
  const wxString& GetURL() const { return m_address; }
  int GetLinkStyle() const { return m_style; }

  // Hands the address to the launcher and returns at once; once the opener
  // has answered, marks the link visited when it opened, else beeps and
  // shows why (visited stays as it was).
  void FollowLink();
  bool IsVisited() const { return m_visited; }
  bool IsOver() const { return m_over; }
  // The colour the text is drawn in now.
  wxColour TextColour() const;

  // "Can't open link:" and the reason for a shell error code.
  static wxString ErrorText(int code);
  // Where the error message goes (a message box unless replaced); returns
  // the one replaced.
  using ErrorSink = std::function<void(const wxString& message)>;
  static ErrorSink SetErrorSink(ErrorSink sink);

  bool AcceptsFocus() const override { return true; }

 protected:
  wxSize DoGetBestSize() const override;

 private:
  // keepAnchor: the present rectangle is the one the alignment refers to.
  void FitToText(bool keepAnchor);
  void OnPaint(wxPaintEvent& event);
  void OnEnter(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnSetFocus(wxFocusEvent& event);
  void OnKillFocus(wxFocusEvent& event);
  void OnKeyDown(wxKeyEvent& event);

  bool m_pressed = false;
  bool m_over = false;
  bool m_visited = false;
  int m_style;
  wxString m_address;
  // Cleared by the destructor; answers that come later look at it.
  std::shared_ptr<bool> m_alive;
};
