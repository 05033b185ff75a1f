#include "ui/dialogs/about.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "base/msgsink.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/wx/wxtext.h"
#include "ui/widgets/artwork.h"
#include "ui/widgets/hyperlink.h"

wxString SupportsText() {
  return wxString::Format("Supports - %i search engines, %i spiders/robots",
                          static_cast<int>(g_auxDatabases.searchEngines.size()),
                          static_cast<int>(g_auxDatabases.robots.size()));
}

wxString HelpPageAddress() {
  std::string page = tv::ProgramDir() + "README.md";
  if (!tv::FileExists(page)) page = tv::ProgramDir();
  return tv::BytesToWx("file://" + page);
}

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Trailvane") {
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(new wxStaticBitmap(this, wxID_ANY, ImageBundle(kImgApp, 32)), 0, wxALL, 12);

  auto* column = new wxBoxSizer(wxVERTICAL);
  auto* name = new wxStaticText(this, wxID_ANY, kProductName);
  auto* version = new wxStaticText(this, wxID_ANY, wxString("Version ") + kProductVersion);
  wxFont bold = GetFont().Bold();
  name->SetFont(bold);
  version->SetFont(bold);
  column->Add(name, 0, wxTOP, 12);
  column->Add(version, 0, wxTOP, 4);
  m_supports = new wxStaticText(this, wxID_ANY, SupportsText());
  column->Add(m_supports, 0, wxTOP, 12);
  m_help = new CHyperLink(this, wxID_ANY, "Help and usage", HelpPageAddress());
  column->Add(m_help, 0, wxTOP, 12);
  m_mail = new CHyperLink(this, wxID_ANY, kSupportAddress, wxString("mailto:") + kSupportAddress);
  column->Add(m_mail, 0, wxTOP, 4);
  auto* ok = new wxButton(this, wxID_OK, "OK");
  ok->SetDefault();
  column->Add(ok, 0, wxTOP | wxBOTTOM | wxALIGN_RIGHT, 12);
  top->Add(column, 1, wxRIGHT | wxEXPAND, 12);
  SetSizerAndFit(top);
  ok->SetFocus();
}
