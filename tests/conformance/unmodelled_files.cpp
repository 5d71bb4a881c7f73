// Calls of Wine's file tests that the simulated system does not model,
// because the program never makes them. Each fails as a Windows without it
// would, so that the checks that rely on it fail and are listed as such.
#include "unmodelled_files.h"

// File mappings (sections) are not modelled: no mapping holds a file.
HANDLE CreateFileMappingA(HANDLE, LPSECURITY_ATTRIBUTES, DWORD, DWORD, DWORD, LPCSTR)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return NULL;
}

HANDLE CreateFileMappingW(HANDLE, LPSECURITY_ATTRIBUTES, DWORD, DWORD, DWORD, LPCWSTR)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return NULL;
}

// Anonymous pipes are not modelled.
BOOL CreatePipe(PHANDLE, PHANDLE, LPSECURITY_ATTRIBUTES, DWORD)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

// Named pipes are not modelled.
HANDLE CreateNamedPipeW(LPCWSTR, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, LPSECURITY_ATTRIBUTES)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
}

// Mailslots are not modelled.
HANDLE CreateMailslotW(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
}

// Mutexes (and every other synchronisation object) are not modelled.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return NULL;
}

// Files have no times in the simulation, so the query of a file's basic
// information (and every other class of it) is not modelled.
BOOL UnmodelledGetFileInformationByHandleEx(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
