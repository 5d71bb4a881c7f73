// kernel32's file tests: creating, sharing, deleting, moving and finding
// files, hard links, final paths, information set through a handle and
// file types.
#include "conformance.h"
#include "simulated_stdio.h"
#include "unmodelled_files.h"

#include "kernel32_file.inc"

static void run(void)
{
    char temp_path[MAX_PATH];

    conformance_load_pointers();
    // Vista and later have it wherever they have SetFileInformationByHandle.
    if (pSetFileInformationByHandle != NULL)
        pGetFileInformationByHandleEx = UnmodelledGetFileInformationByHandleEx;
    // The file's own start: a free name in the temporary directory.
    GetTempPathA(MAX_PATH, temp_path);
    GetTempFileNameA(temp_path, "tmp", 0, filename);
    DeleteFileA(filename);
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
