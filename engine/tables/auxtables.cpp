#include "engine/tables/auxtables.h"

CAuxTables g_auxTables;
