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
#define LOG_FLAGS (FILE_ATTRIBUTE_NORMAL | NO_FOLLOW_FLAG | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION)

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
// junction and object-manager link on the way. It is compared with the
// long form of the path it was opened by, so a temporary directory given
// in 8.3 form or in another letter case still matches. The log's path is
// always on a local drive, which the final path writes as "\\?\X:\...".
// Windows 2000 and XP cannot tell; there the file counts as where it was
// asked for.
static int IsAtOwnPath(HANDLE file, LPCSTR path)
{
    GetFinalPathNameProc getFinalPath =
        (GetFinalPathNameProc)(void *)SystemFunction("kernel32.dll", "GetFinalPathNameByHandleA");
    char finalPath[MAX_PATH + 8];
    char longPath[MAX_PATH];
    char ownPath[MAX_PATH + 8];
    DWORD length;

    if (getFinalPath == NULL)
        return 1;
    length = getFinalPath(file, finalPath, sizeof(finalPath), 0);
    if (length == 0 || length >= sizeof(finalPath))
        return 0;
    length = GetLongPathNameA(path, longPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    FormatText(ownPath, sizeof(ownPath), "\\\\?\\%s", longPath);
    return TextEqualsNoCase(finalPath, ownPath);
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

// The log's name, never through a link at it; whatever answers there (a
// pipe's server, say) may identify the program but not act as it.
static HANDLE OpenLogName(LPCSTR path, DWORD disposition)
{
    return CreateFileA(path, LOG_ACCESS, 0, NULL, disposition, LOG_FLAGS, NULL);
}

// Opens the file at path for the log, created when the name is free and
// emptied when it already holds a plain file there. A name at the log's
// own path that is a link, or an old log that cannot be emptied, is
// removed when mayRemove allows (the name, not what a link points to;
// *removed is then 1). A handle that reached some other place is closed
// untouched. INVALID_HANDLE_VALUE when no log was had.
static HANDLE TryOpenLog(LPCSTR path, int mayRemove, int *removed)
{
    int created = 1;
    HANDLE file = OpenLogName(path, CREATE_NEW);

    *removed = 0;
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_EXISTS)
            return INVALID_HANDLE_VALUE;
        created = 0;
        file = OpenLogName(path, OPEN_EXISTING);
        if (file == INVALID_HANDLE_VALUE)
            return INVALID_HANDLE_VALUE;
    }

    int kind = KindOfLogFile(file);
    if (kind != LOG_OTHER && IsAtOwnPath(file, path)) {
        if (kind == LOG_PLAIN && (created || SetEndOfFile(file)))
            return file;
        *removed = !created && mayRemove && RemoveNameOf(file);
    } else if (created) {
        // Made in the wrong place: the new file goes again.
        RemoveNameOf(file);
    }
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

// The log is made afresh once after a name at its path was removed; a
// name that comes back is left for the run.
HANDLE OpenLogFileSafely(LPCSTR path)
{
    int removed;
    HANDLE file = TryOpenLog(path, 1, &removed);

    if (removed)
        file = TryOpenLog(path, 0, &removed);
    return file;
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
