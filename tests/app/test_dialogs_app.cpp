// The About box's links and the "Group" dialog's fields and type radios.
#include <gtest/gtest.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <string>
#include <vector>

#include "engine/config/workspace.h"
#include "platform/folders.h"
#include "platform/launcher.h"
#include "platform/wx/wxtext.h"
#include "tests/ui/wxtest.h"
#include "ui/app/application.h"
#include "ui/app/document.h"
#include "ui/dialogs/about.h"
#include "ui/dialogs/filetypegroup.h"
#include "ui/widgets/hyperlink.h"

TEST(AppDialogs, AboutLinksOpenTheShippedHelpAndTheSupportAddress) {
  std::vector<std::string> launched;
  tv::SetLauncher([&](const std::string& target) {
    launched.push_back(target);
    return true;
  });
  {
    CAboutDlg dlg(nullptr);
    EXPECT_EQ(dlg.GetTitle(), "About Trailvane");
    dlg.HelpLink()->FollowLink();
    dlg.MailLink()->FollowLink();
  }
  tv::SetLauncher(nullptr);
  ASSERT_EQ(launched.size(), 2u);
  EXPECT_EQ(launched[0].rfind("file://" + tv::ProgramDir(), 0), 0u) << launched[0];
  EXPECT_EQ(launched[1].rfind("mailto:", 0), 0u) << launched[1];
}

TEST(AppDialogs, GroupDialogExchangesNameMasksAndTypeInRadioOrder) {
  CGroupDlg dlg(nullptr);
  EXPECT_EQ(dlg.GetTitle(), "Group");
  EXPECT_EQ(dlg.TypeRadio(0)->GetLabel(), "&Other");
  EXPECT_EQ(dlg.TypeRadio(1)->GetLabel(), "&Downloads");
  EXPECT_EQ(dlg.TypeRadio(2)->GetLabel(), "&Pages");
  dlg.m_name = "Pages";
  dlg.m_masks = ".html;.htm";
  dlg.m_type = 1;
  dlg.TransferDataToWindow();
  EXPECT_EQ(dlg.NameEdit()->GetValue(), "Pages");
  EXPECT_TRUE(dlg.TypeRadio(1)->GetValue());
  dlg.MasksEdit()->ChangeValue(".php");
  dlg.TypeRadio(2)->SetValue(true);
  dlg.TransferDataFromWindow();
  EXPECT_EQ(dlg.m_masks, ".php");
  EXPECT_EQ(dlg.m_type, 2);
}

TEST(AppDialogs, ChangedWorkspaceMarksTheDocumentBeforeACommand) {
  CTrailvaneDoc doc;
  SetTheDocument(&doc);
  g_workspace.ClearDirty();
  wxCommandEvent menu(wxEVT_MENU, wxID_SAVE);
  MarkModifiedBeforeCommand(menu);
  EXPECT_FALSE(doc.IsModified());
  g_workspace.SetDirty();
  MarkModifiedBeforeCommand(wxCommandEvent(wxEVT_BUTTON, 1));
  EXPECT_FALSE(doc.IsModified());
  MarkModifiedBeforeCommand(menu);
  EXPECT_TRUE(doc.IsModified());
  g_workspace.ClearDirty();
  SetTheDocument(nullptr);
}
