#include "engine/auxtables.h"

CAuxTables g_auxTables;
