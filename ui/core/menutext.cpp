#include "ui/core/menutext.h"


namespace {

struct Fix {
  const char* written;
  const char* meant;
};

// Misspelt modifiers and arrow keys drawn as arrows.
constexpr Fix kFixes[] = {
    {"Altr", "Alt"}, {"Atl", "Alt"}, {"Att", "Alt"}, {"<-", "Left"}, {"->", "Right"},
};

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string FixAccel(const std::string& accel) {
  std::string out;
  size_t at = 0;
  // "+" separates the parts, except a lone "+" key at the end ("Ctrl++").
  while (at <= accel.size()) {
    size_t plus = accel.find('+', at);
    if (plus == at && plus + 1 == accel.size()) plus = std::string::npos;  // the key is "+"
    std::string part = Trim(accel.substr(at, plus == std::string::npos ? std::string::npos : plus - at));
    // "<-" and "->" hold no '+', so a part is a whole token here.
    for (const Fix& f : kFixes) {
      if (part == f.written) {
        part = f.meant;
        break;
      }
    }
    if (!part.empty()) {
      if (!out.empty()) out += '+';
      out += part;
    }
    if (plus == std::string::npos) break;
    at = plus + 1;
  }
  return out;
}

}  // namespace

std::string MenuLabelText(const std::string& text) { return text.substr(0, text.find('\t')); }

std::string MenuAccelText(const std::string& text) {
  size_t tab = text.find('\t');
  if (tab == std::string::npos) return std::string();
  return Trim(text.substr(tab + 1));
}

std::string NormalizeMenuText(const std::string& text) {
  std::string label = MenuLabelText(text);
  std::string accel = FixAccel(MenuAccelText(text));
  return accel.empty() ? label : label + '\t' + accel;
}
