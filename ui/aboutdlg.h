// The "About Trailvane" box: icon, product name and version, and two links:
// the help page shipped beside the program and the support address.
#pragma once
#include <wx/dialog.h>

class CHyperLink;

class CAboutDlg : public wxDialog {
 public:
  explicit CAboutDlg(wxWindow* parent);

  CHyperLink* HelpLink() const { return m_help; }
  CHyperLink* MailLink() const { return m_mail; }

 private:
  CHyperLink* m_help = nullptr;
  CHyperLink* m_mail = nullptr;
};

// The help page the program ships (a file:// address), or the program folder
// when the page is missing.
wxString HelpPageAddress();
