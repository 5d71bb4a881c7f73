// The trace hook of the common functions.
#include "common.h"

// Every Co_ function reports its entry here, and some report errors; the
// uninstaller keeps no trace, so the hook does nothing.
void CoTrace(LPCSTR text, int level)
{
    (void)text;
    (void)level;
}
