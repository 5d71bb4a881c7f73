// The test machine of the windows build: the real one. Only the variables
// that decide the temporary directory are put back as they were.
#include "machine.h"

namespace {

const char *const kTempVariables[] = {"TMP", "TEMP", "USERPROFILE"};

struct SavedVariable {
    bool set;
    char value[MAX_PATH];
};

SavedVariable g_saved[3];
bool g_haveSaved = false;

}  // namespace

void ResetTestMachine(bool japanese)
{
    if (japanese)
        ADD_FAILURE() << "a Japanese machine exists only in the native build";
    for (int i = 0; i < 3; i++) {
        if (!g_haveSaved) {
            DWORD length = GetEnvironmentVariableA(kTempVariables[i], g_saved[i].value, MAX_PATH);
            g_saved[i].set = length > 0 && length < MAX_PATH;
        } else {
            SetEnvironmentVariableA(kTempVariables[i], g_saved[i].set ? g_saved[i].value : NULL);
        }
    }
    g_haveSaved = true;
}
