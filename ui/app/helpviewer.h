// Opening the help book at one of its pages (names in ui/core/helppages.h).
#pragma once

// Shows page (null: the book's start) in the help window, loading the book
// from the program folder the first time. When the book cannot be loaded a
// message box names its path.
void ShowHelpPage(const char* page);

// The help window, when one is open (for tests).
class wxFrame;
wxFrame* HelpWindow();
