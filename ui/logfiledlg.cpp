// Placeholder until the dialog with its pages lands: OK hands back the source
// unchanged, Cancel drops it.
#include "ui/logfiledlg.h"

#include <wx/button.h>
#include <wx/sizer.h>

CLogFileDlg::CLogFileDlg(wxWindow* parent, const CLogSource& source) : wxDialog(parent, wxID_ANY, "Log file") {
  m_source.Add(source);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(CreateButtonSizer(wxOK | wxCANCEL), 0, wxALL, 10);
  SetSizerAndFit(sizer);
}

const CLogSource& CLogFileDlg::GetSource() const { return m_source[0]; }
