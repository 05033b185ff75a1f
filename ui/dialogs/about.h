// The "About Trailvane" box: icon, product name and version, the sizes of the
// search-engine and spider tables, and two links:
// the help page shipped beside the program and the support address.
#pragma once
#include <wx/dialog.h>

class CHyperLink;
class wxStaticText;

class CAboutDlg : public wxDialog {
 public:
  explicit CAboutDlg(wxWindow* parent);

  CHyperLink* HelpLink() const { return m_help; }
  CHyperLink* MailLink() const { return m_mail; }
  wxStaticText* SupportsLine() const { return m_supports; }

 private:
  CHyperLink* m_help = nullptr;
  CHyperLink* m_mail = nullptr;
  wxStaticText* m_supports = nullptr;
};

// The line with the sizes of the loaded search-engine and spider tables.
wxString SupportsText();

// The help page the program ships (a file:// address), or the program folder
// when the page is missing.
wxString HelpPageAddress();
