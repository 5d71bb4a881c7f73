// ntdll's registry test of NtDeleteKey, under the path Wine's own start
// sets up: the user's key, then \WineTest.
// conformance-uses: winetestpath
#include "conformance.h"

#include "ntdll_reg.inc"

static void run(void)
{
    conformance_load_pointers();
    CONFORMANCE_RUN(test_NtDeleteKey);
}

CONFORMANCE_FILE("dlls/ntdll/tests/reg.c", run);
