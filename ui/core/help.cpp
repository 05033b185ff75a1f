#include "ui/core/help.h"

#include "platform/folders.h"

std::string HelpBookPath() { return tv::ProgramDir() + kHelpBookName; }
