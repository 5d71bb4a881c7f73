// Calls of Wine's registry tests that the simulated Windows does not model:
// each fails as not implemented, and the checks that rely on it are listed
// in expected_failures.txt. None of them is a call of the program's.
#include "unmodelled_registry.h"

namespace {

BOOL NotImplemented()
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

}  // namespace

// Security identifiers: the simulation has one user and no access lists.
BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                              PSID *sid)
{
    *sid = NULL;
    return NotImplemented();
}

// Gives back nothing: AllocateAndInitializeSid allocates nothing.
PVOID FreeSid(PSID sid)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return sid;
}

// Access lists are not modelled: keys have no security of their own.
DWORD SetEntriesInAclA(ULONG, PEXPLICIT_ACCESSA, PACL, PACL *newAcl)
{
    *newAcl = NULL;
    return ERROR_CALL_NOT_IMPLEMENTED;
}

// Security descriptors are not modelled, for the same reason.
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR, DWORD)
{
    return NotImplemented();
}

// Security descriptors are not modelled.
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL)
{
    return NotImplemented();
}

// A key's security is not modelled.
LSTATUS RegSetKeySecurity(HKEY, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR)
{
    return ERROR_CALL_NOT_IMPLEMENTED;
}

// The local heap is not modelled; only SetEntriesInAclA would fill it.
HANDLE LocalFree(HANDLE memory)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return memory;
}

// The information classes of keys are not modelled; the program reads keys
// through advapi32 alone.
static NTSTATUS WINAPI NtQueryKey(HANDLE, KEY_INFORMATION_CLASS, PVOID, ULONG, PULONG)
{
    return STATUS_NOT_IMPLEMENTED;
}
CONFORMANCE_UNMODELLED(NtQueryKey);

// Enumeration of subkeys by information class: not modelled, as above.
static NTSTATUS WINAPI NtEnumerateKey(HANDLE, ULONG, KEY_INFORMATION_CLASS, void *, DWORD, DWORD *)
{
    return STATUS_NOT_IMPLEMENTED;
}
CONFORMANCE_UNMODELLED(NtEnumerateKey);

// The information classes of values are not modelled; advapi32's value
// calls are.
static NTSTATUS WINAPI NtQueryValueKey(HANDLE, const UNICODE_STRING *, int, void *, DWORD, DWORD *)
{
    return STATUS_NOT_IMPLEMENTED;
}
CONFORMANCE_UNMODELLED(NtQueryValueKey);

// Enumeration of values by information class: not modelled, as above.
static NTSTATUS WINAPI NtEnumerateValueKey(HANDLE, ULONG, int, void *, DWORD, DWORD *)
{
    return STATUS_NOT_IMPLEMENTED;
}
CONFORMANCE_UNMODELLED(NtEnumerateValueKey);

// The object manager's names and counts are not modelled.
static NTSTATUS WINAPI NtQueryObject(HANDLE, OBJECT_INFORMATION_CLASS, void *, ULONG, ULONG *)
{
    return STATUS_NOT_IMPLEMENTED;
}
CONFORMANCE_UNMODELLED(NtQueryObject);
