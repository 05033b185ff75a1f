#include "ui/core/helppages.h"

#include "platform/folders.h"

std::string HelpBookPath() { return tv::ProgramDir() + kHelpBookName; }
