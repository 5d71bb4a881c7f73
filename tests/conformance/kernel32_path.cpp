// kernel32's path tests of the two calls the program makes on the
// temporary directory's path.
#include "conformance.h"

#include "kernel32_path.inc"

static void run(void)
{
    conformance_load_pointers();
    CONFORMANCE_RUN(test_GetTempPath);
    CONFORMANCE_RUN(test_GetLongPathNameA);
}

CONFORMANCE_FILE("dlls/kernel32/tests/path.c", run);
