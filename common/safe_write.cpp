// The program runs with administrator rights, but two of the places it
// writes belong to the user who started it: the log goes into the user's
// temporary directory, and the user's settings live in HKEY_CURRENT_USER.
// Any program of that user can plant a link there (a hard link or a
// symbolic link at the log's name, a registry link inside the user's tree)
// so that a write or a delete meant for the user's place lands on a file or
// key of the machine. So the log is opened without following a link at its
// name and accepted only as a plain file at its own path, and registry keys
// are opened and deleted as the links they may be, never through them.
#include "common.h"

// Newer than the headers this program is built with.
#define OPEN_LINK_OPTION 0x00000008         // REG_OPTION_OPEN_LINK
#define NO_FOLLOW_FLAG 0x00200000           // FILE_FLAG_OPEN_REPARSE_POINT
#define REPARSE_POINT_ATTRIBUTE 0x00000400  // FILE_ATTRIBUTE_REPARSE_POINT
#define FILE_DISPOSITION_CLASS 4            // FileDispositionInfo
#define REDIRECTION_TRUST_POLICY 16         // ProcessRedirectionTrustPolicy
#define ENFORCE_REDIRECTION_TRUST 0x1

#define LOG_ACCESS (GENERIC_READ | GENERIC_WRITE | DELETE)

typedef DWORD(WINAPI *GetFinalPathNameProc)(HANDLE file, LPSTR path, DWORD size, DWORD flags);
typedef BOOL(WINAPI *SetFileInformationProc)(HANDLE file, int infoClass, LPVOID info, DWORD size);
typedef BOOL(WINAPI *SetMitigationPolicyProc)(int policy, LPVOID buffer, SIZE_T size);
typedef LONG(WINAPI *NtDeleteKeyProc)(HANDLE key);

typedef struct DELETE_DISPOSITION {
    BOOLEAN deleteFile;
} DELETE_DISPOSITION;

enum LogFileKind { LOG_PLAIN, LOG_LINK, LOG_OTHER };

FARPROC FindLibraryFunction(HMODULE module, LPCSTR name)
{
    if (module == NULL)
        return NULL;
    return GetProcAddress(module, name);
}

// Calls that only newer systems have, looked up where they live. ntdll is
// in every process from its start, so it is never searched for.
static FARPROC SystemFunction(LPCSTR module, LPCSTR name)
{
    return FindLibraryFunction(GetModuleHandleA(module), name);
}

// Windows 10 and 11 (22H2 and later) can refuse, for this process, every
// junction or symbolic link that a less trusted user created. Older
// systems lack the call, and a refusal changes nothing.
void TrustNoRedirection(void)
{
    SetMitigationPolicyProc setPolicy =
        (SetMitigationPolicyProc)(void *)SystemFunction("kernel32.dll", "SetProcessMitigationPolicy");
    DWORD flags = ENFORCE_REDIRECTION_TRUST;

    if (setPolicy != NULL)
        setPolicy(REDIRECTION_TRUST_POLICY, &flags, sizeof(flags));
}

// A plain file has one name, is on a disk and is no reparse point; a name
// with more links, or that is a reparse point itself, is a link.
static int KindOfLogFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info;

    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info))
        return LOG_OTHER;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return LOG_OTHER;
    if ((info.dwFileAttributes & REPARSE_POINT_ATTRIBUTE) || info.nNumberOfLinks != 1)
        return LOG_LINK;
    return LOG_PLAIN;
}

// The final path of an open file names where it really is, past every
// junction on the way. It is compared with the long form of the path it was
// opened by, so a temporary directory given in 8.3 form still matches.
// Windows 2000 and XP cannot tell; there the file counts as where it was
// asked for.
static int IsAtOwnPath(HANDLE file, LPCSTR path)
{
    GetFinalPathNameProc getFinalPath =
        (GetFinalPathNameProc)(void *)SystemFunction("kernel32.dll", "GetFinalPathNameByHandleA");
    char finalPath[MAX_PATH + 8];
    char longPath[MAX_PATH];
    DWORD length;

    if (getFinalPath == NULL)
        return 1;
    length = getFinalPath(file, finalPath, sizeof(finalPath), 0);
    if (length == 0 || length >= sizeof(finalPath))
        return 0;
    length = GetLongPathNameA(path, longPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    // "\\?\UNC\server\share" stands for "\\server\share", "\\?\C:\" for "C:\".
    if (TextStartsWith(finalPath, "\\\\?\\UNC\\"))
        return TextStartsWith(longPath, "\\\\") && TextEqualsNoCase(finalPath + 8, longPath + 2);
    if (TextStartsWith(finalPath, "\\\\?\\"))
        return TextEqualsNoCase(finalPath + 4, longPath);
    return TextEqualsNoCase(finalPath, longPath);
}

// Deleting through the handle removes the name that this handle opened,
// wherever a link points; a delete by path could be redirected again.
// Windows 2000 and XP lack the call, and the name stays.
static int RemoveNameOf(HANDLE file)
{
    SetFileInformationProc setInformation =
        (SetFileInformationProc)(void *)SystemFunction("kernel32.dll", "SetFileInformationByHandle");
    DELETE_DISPOSITION disposition;

    if (setInformation == NULL)
        return 0;
    disposition.deleteFile = TRUE;
    return setInformation(file, FILE_DISPOSITION_CLASS, &disposition, sizeof(disposition)) ? 1 : 0;
}

// Opens the file at path for the log, created when the name is free and
// emptied when it already holds a plain file there. A link at the name is
// removed (the name, not what it points to) and the log created afresh,
// once. A handle that reached some other file is closed untouched; the log
// is then unavailable (INVALID_HANDLE_VALUE).
HANDLE OpenLogFileSafely(LPCSTR path)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        int created = 1;
        HANDLE file =
            CreateFileA(path, LOG_ACCESS, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | NO_FOLLOW_FLAG, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_FILE_EXISTS)
                return INVALID_HANDLE_VALUE;
            created = 0;
            file = CreateFileA(path, LOG_ACCESS, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | NO_FOLLOW_FLAG,
                               NULL);
            if (file == INVALID_HANDLE_VALUE)
                return INVALID_HANDLE_VALUE;
        }

        int kind = KindOfLogFile(file);
        if (kind == LOG_PLAIN && IsAtOwnPath(file, path)) {
            if (created || SetEndOfFile(file))
                return file;
        } else if (kind == LOG_LINK && !created && attempt == 0 && RemoveNameOf(file)) {
            CloseHandle(file);
            continue;
        } else if (created) {
            RemoveNameOf(file);
        }
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

// Opens the key itself even when it is a link, so that nothing done
// through the handle reaches the link's target.
LONG OpenKeyNoFollow(HKEY root, LPCSTR path, REGSAM access, PHKEY key)
{
    return RegOpenKeyExA(root, path, OPEN_LINK_OPTION, access, key);
}

// Deletes the key behind the handle, a link as a link. The registry calls
// of advapi32 delete by name, which would follow a link at that name.
int DeleteOpenKey(HKEY key)
{
    NtDeleteKeyProc deleteKey = (NtDeleteKeyProc)(void *)SystemFunction("ntdll.dll", "NtDeleteKey");

    return deleteKey != NULL && deleteKey(key) == 0 ? 1 : 0;
}
