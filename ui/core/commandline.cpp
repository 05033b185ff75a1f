#include "ui/core/commandline.h"

#include <strings.h>

int g_commandLineMode = kModeInteractive;

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (const std::string& word : args) {
    if (word.size() > 1 && (word[0] == '-' || word[0] == '/')) {
      const char* name = word.c_str() + 1;
      if (strcasecmp(name, "download") == 0) line.mode = kModeDownload;
      else if (strcasecmp(name, "update") == 0) line.mode = kModeUpdate;
      // A path starting with '/' is a file, not a switch, unless it is one of ours.
      else if (word[0] == '/' && line.file.empty()) line.file = word;
      continue;
    }
    if (line.file.empty() && !word.empty()) line.file = word;
  }
  return line;
}
