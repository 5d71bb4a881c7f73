// The few ntdll types and calls of the simulated Windows that the program
// and its conformance tests reach: counted strings, object attributes, the
// native registry calls and the query of an open file's name. Programs find the calls with GetProcAddress
// on ntdll.dll, as on Windows, where no import library offers them.
#pragma once

#include <windows.h>

typedef LONG NTSTATUS;
typedef DWORD ACCESS_MASK;

#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_BUFFER_OVERFLOW ((NTSTATUS)0x80000005L)
#define STATUS_NOT_IMPLEMENTED ((NTSTATUS)0xC0000002L)
#define STATUS_INFO_LENGTH_MISMATCH ((NTSTATUS)0xC0000004L)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035L)
#define STATUS_OBJECT_PATH_SYNTAX_BAD ((NTSTATUS)0xC000003BL)
#define STATUS_CANNOT_DELETE ((NTSTATUS)0xC0000121L)
#define STATUS_KEY_DELETED ((NTSTATUS)0xC000017CL)
#define STATUS_CHILD_MUST_BE_VOLATILE ((NTSTATUS)0xC0000181L)

#define OBJ_CASE_INSENSITIVE 0x00000040L
#define OBJ_OPENLINK 0x00000100L

typedef struct _UNICODE_STRING {
    USHORT Length;         // bytes, without a final NUL
    USHORT MaximumLength;  // bytes of the buffer
    PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING;

typedef struct _OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
} OBJECT_ATTRIBUTES, *POBJECT_ATTRIBUTES;

void RtlInitUnicodeString(PUNICODE_STRING string, PCWSTR text);
// The buffer of a string that ntdll allocated, given back to the heap.
void RtlFreeUnicodeString(PUNICODE_STRING string);
// "\REGISTRY\USER\<the user's SID>", in a buffer from the process heap.
NTSTATUS RtlFormatCurrentUserKeyPath(PUNICODE_STRING path);

NTSTATUS NtOpenKey(PHANDLE key, ACCESS_MASK access, const OBJECT_ATTRIBUTES *attributes);
NTSTATUS NtCreateKey(PHANDLE key, ACCESS_MASK access, const OBJECT_ATTRIBUTES *attributes, ULONG titleIndex,
                     const UNICODE_STRING *className, ULONG options, PULONG disposition);
// Deletes the key behind the handle, a link as the link itself.
NTSTATUS NtDeleteKey(HANDLE key);
NTSTATUS NtSetValueKey(HANDLE key, const UNICODE_STRING *name, ULONG titleIndex, ULONG type, const void *data,
                       ULONG size);
NTSTATUS NtDeleteValueKey(HANDLE key, const UNICODE_STRING *name);
NTSTATUS NtClose(HANDLE handle);

// ntdll's query of what an open file is; only its name (the path from the
// root of its volume) is modelled. Programs reach it through GetProcAddress.
typedef struct _IO_STATUS_BLOCK {
    union {
        NTSTATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
} IO_STATUS_BLOCK, *PIO_STATUS_BLOCK;
typedef enum _FILE_INFORMATION_CLASS { FileNameInformation = 9 } FILE_INFORMATION_CLASS;
typedef struct _FILE_NAME_INFORMATION {
    ULONG FileNameLength;
    WCHAR FileName[1];
} FILE_NAME_INFORMATION;
NTSTATUS NtQueryInformationFile(HANDLE file, PIO_STATUS_BLOCK io, PVOID info, ULONG length,
                                FILE_INFORMATION_CLASS infoClass);
