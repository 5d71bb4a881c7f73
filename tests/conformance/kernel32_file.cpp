// kernel32's file tests: creating, sharing, deleting, moving and finding
// files, hard links, final paths, information set through a handle and
// file types.
#include "conformance.h"

#include "kernel32_file.inc"

static void run(void)
{
    conformance_load_pointers();
    CONFORMANCE_RUN(test_CreateFileA);
    CONFORMANCE_RUN(test_file_sharing);
    CONFORMANCE_RUN(test_DeleteFileA);
    CONFORMANCE_RUN(test_MoveFileA);
    CONFORMANCE_RUN(test_FindFirstFileA);
    CONFORMANCE_RUN(test_hard_link);
    CONFORMANCE_RUN(test_GetFinalPathNameByHandleA);
    CONFORMANCE_RUN(test_SetFileInformationByHandle);
    CONFORMANCE_RUN(test_GetFileType);
}

CONFORMANCE_FILE("dlls/kernel32/tests/file.c", run);
