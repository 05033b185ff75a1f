#include "ui/widgets/dialogbuttons.h"

#include <wx/button.h>

wxSizer* OkCancelButtons(wxWindow* parent, const wxString& ok, const wxString& cancel, bool okDefault) {
  auto* buttons = new wxStdDialogButtonSizer;
  auto* button = new wxButton(parent, wxID_OK, ok);
  if (okDefault) button->SetDefault();
  buttons->AddButton(button);
  buttons->AddButton(new wxButton(parent, wxID_CANCEL, cancel));
  buttons->Realize();
  return buttons;
}
