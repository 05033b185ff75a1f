// Menu item texts: "<label>\t<accelerator>". The historical menu tables wrote
// some accelerators with slips ("Altr+P", "Alt+<-", a doubled tab); these
// helpers turn them into the keys they mean, in the form wx parses.
#pragma once
#include <string>

// The text with one tab before the accelerator and the accelerator's
// modifiers and key spelt out ("&Pages\tAlt+P", "&Back\tAlt+Left").
std::string NormalizeMenuText(const std::string& text);

// The part after the tab ("" when there is none) and the part before it.
std::string MenuAccelText(const std::string& text);
std::string MenuLabelText(const std::string& text);
