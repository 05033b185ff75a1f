// The Host Lookup tool: the address of a name or the name of an address, and
// the address's country, region and city. Look-ups run on their own thread
// through the replaceable resolver, so the window never waits for the network.
#pragma once
#include <wx/dialog.h>

#include <cstdint>
#include <memory>
#include <string>

class wxCheckBox;
class wxTextCtrl;
namespace tv {
class Resolver;
}

class CHostLookupDlg : public wxDialog {
 public:
  enum {
    ID_HOST = 1015, ID_REVERSE = 1020, ID_RESULT = 1019, ID_COUNTRY = 1016, ID_REGION = 1017,
    ID_CITY = 1018, ID_LOOKUP = 1043,
  };
  // The error number shown for a name that is not well formed (h_errno's
  // HOST_NOT_FOUND); a failed look-up shows the resolver's own.
  static constexpr int kHostNotFound = 1;

  // Asks the engine's DNS resolver unless another is given.
  explicit CHostLookupDlg(wxWindow* parent, tv::Resolver* resolver = nullptr);
  ~CHostLookupDlg() override;

  std::string m_host;       // the name or dotted address to look up
  bool m_reverse = true;    // look up the name of an address
  std::string m_result, m_country, m_region, m_city;

  // Starts a look-up of the host field, as the button does.
  void StartLookup();
  bool Busy() const { return m_busy; }
  // Look-ups finished since the dialog opened.
  int Finished() const { return m_finished; }

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  struct Answer {
    bool reverse = false;  // the input was an address
    bool found = false;
    int error = 0;  // why a forward look-up failed
    uint32_t address = 0;
    std::string name;
  };
  struct Link;
  void OnLookup(wxCommandEvent& event);
  void OnUpdateLookup(wxUpdateUIEvent& event);
  void Done(const Answer& answer);
  void Fail(int error);
  void ShowGeography(uint32_t address);
  void ShowFields();

  tv::Resolver* m_resolver;
  std::shared_ptr<Link> m_link;  // lets a look-up outlive the window
  bool m_busy = false;
  int m_finished = 0;
  wxTextCtrl* m_hostEdit = nullptr;
  wxCheckBox* m_reverseBox = nullptr;
  wxTextCtrl* m_fields[4] = {};
  wxDECLARE_EVENT_TABLE();
};
