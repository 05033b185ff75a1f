// The "Log file" dialog: one log source of any kind entered or edited.
#pragma once
#include <wx/dialog.h>

#include "engine/store/project.h"

class CLogFileDlg : public wxDialog {
 public:
  CLogFileDlg(wxWindow* parent, const CLogSource& source);
  const CLogSource& GetSource() const;  // valid after ShowModal() == wxID_OK

 private:
  CLogSourceList m_source;  // one entry: a copy of the source being edited
};
