// The OK/Cancel row at the foot of a dialog, in the desktop's order.
#pragma once
#include <wx/sizer.h>
#include <wx/string.h>

class wxWindow;

// `ok` carries wxID_OK and `cancel` wxID_CANCEL, so Enter and Esc answer them.
wxSizer* OkCancelButtons(wxWindow* parent, const wxString& ok, const wxString& cancel, bool okDefault = true);
