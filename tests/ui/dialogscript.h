// Driving modal dialogs in window tests: a script answers each dialog that
// opens, either at once (a message box's Yes) or by acting on it inside its
// own modal loop; plus synthetic clicks and checks.
#pragma once
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/wx/wxtext.h"

namespace wxtest {

class DialogScript : public wxModalDialogHook {
 public:
  using Step = std::function<int(wxDialog*)>;

  DialogScript() { Register(); }
  ~DialogScript() override {
    Unregister();
    EXPECT_TRUE(m_steps.empty()) << m_steps.size() << " dialog(s) expected but never opened";
  }

  // The next dialog closes at once with that id (it is never shown).
  void Answer(int id) {
    m_steps.push_back([id](wxDialog*) { return id; });
  }
  // The next dialog is shown and fn runs inside its modal loop; fn closes it.
  void Inside(std::function<void(wxDialog*)> fn) {
    m_steps.push_back([fn](wxDialog* d) {
      d->CallAfter([fn, d] { fn(d); });
      return wxID_NONE;
    });
  }

  std::vector<std::string> titles;    // of every dialog that opened
  std::vector<std::string> messages;  // of the message boxes among them

 protected:
  int Enter(wxDialog* d) override {
    titles.push_back(tv::WxToBytes(d->GetTitle()));
    if (auto* box = dynamic_cast<wxMessageDialogBase*>(d)) messages.push_back(tv::WxToBytes(box->GetMessage()));
    if (m_steps.empty()) {
      ADD_FAILURE() << "unexpected dialog \"" << titles.back() << "\"";
      return wxID_CANCEL;
    }
    Step step = m_steps.front();
    m_steps.pop_front();
    return step(d);
  }
  void Exit(wxDialog*) override {}

 private:
  std::deque<Step> m_steps;
};

template <typename T>
T* Control(wxWindow* parent, int id) {
  T* w = dynamic_cast<T*>(parent->FindWindow(id));
  EXPECT_NE(w, nullptr) << "no control " << id;
  return w;
}

inline void Click(wxWindow* parent, int id) {
  wxWindow* w = parent->FindWindow(id);
  ASSERT_NE(w, nullptr) << "no button " << id;
  wxCommandEvent e(wxEVT_BUTTON, id);
  e.SetEventObject(w);
  w->GetEventHandler()->ProcessEvent(e);
}

inline void SetCheck(wxWindow* parent, int id, bool on) {
  auto* box = Control<wxCheckBox>(parent, id);
  ASSERT_NE(box, nullptr);
  box->SetValue(on);
  wxCommandEvent e(wxEVT_CHECKBOX, id);
  e.SetEventObject(box);
  e.SetInt(on ? 1 : 0);
  box->GetEventHandler()->ProcessEvent(e);
}

inline void SetText(wxWindow* parent, int id, const std::string& text) {
  auto* edit = Control<wxTextCtrl>(parent, id);
  ASSERT_NE(edit, nullptr);
  edit->SetValue(tv::BytesToWx(text));
}

inline std::string Text(wxWindow* parent, int id) {
  auto* edit = Control<wxTextCtrl>(parent, id);
  return edit ? tv::WxToBytes(edit->GetValue()) : std::string("<none>");
}

// Selects a line of a list box as a click does (-1 clears the selection).
inline void SelectLine(wxWindow* parent, int id, int line, bool doubleClick = false) {
  auto* list = Control<wxListBox>(parent, id);
  ASSERT_NE(list, nullptr);
  if (line < 0) list->SetSelection(wxNOT_FOUND);
  else list->SetSelection(line);
  wxCommandEvent e(doubleClick ? wxEVT_LISTBOX_DCLICK : wxEVT_LISTBOX, id);
  e.SetEventObject(list);
  e.SetInt(line);
  list->GetEventHandler()->ProcessEvent(e);
}

// Whether the control is enabled after the update handlers ran.
inline bool Enabled(wxWindow* parent, int id) {
  parent->UpdateWindowUI(wxUPDATE_UI_RECURSE);
  wxWindow* w = parent->FindWindow(id);
  return w && w->IsEnabled();
}

}  // namespace wxtest
