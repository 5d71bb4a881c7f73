// The process-wide state that the controller owns.
#include "../common/globals.h"

int g_errorOccurred = 0;
char g_systemRoot[MAX_PATH];
char g_systemDir[MAX_PATH];
HINSTANCE g_hInstance = nullptr;
int g_dllSearchLimited = 0;
HCURSOR g_hSavedCursor = nullptr;
INT_PTR g_dialogResult = 0;
