// The program's command line: the two unattended modes and a workspace file.
#pragma once
#include <string>
#include <vector>

enum CommandLineMode : int {
  kModeInteractive = 0,
  kModeDownload = 1,  // read the last workspace's logs again, stamp, save, quit
  kModeUpdate = 2,    // update the auxiliary databases, quit
};

// The mode of this run; falls back to interactive when the user stops an
// unattended run.
extern int g_commandLineMode;

struct CommandLine {
  int mode = kModeInteractive;
  std::string file;  // the first word that is not a switch; "" for none
};

// The words after the program's name. "-download", "/download", "-update" and
// "/update" in any case set the mode, the last one winning. Other words that
// start with '-' are ignored; a word starting with '/' is an absolute path.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
