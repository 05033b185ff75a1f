// Readers of the formats whose line parsers are not written yet (the common
// and combined log, the custom "format=" log, MS Proxy 2 and Squid). Each one
// reads nothing and lets the file go on; replace an entry when its reader lands.
#include "engine/logread.h"

int ParseCommonLogBlock(CHitStore*, char*, char*, const CGroupMaskList&, const CIndexNames&, const char*) { return 1; }
int ReadNetscapeLog(CHitStore*, char*, char*, const CGroupMaskList&, const CIndexNames&) { return 1; }
int ReadMsProxyLog(CHitStore*, char*, char*, const CGroupMaskList&, const CIndexNames&) { return 1; }
int ReadSquidLog(CHitStore*, char*, char*, const CGroupMaskList&, const CIndexNames&) { return 1; }
void InitNetscapeReader() {}
void FreeNetscapeReader() {}
