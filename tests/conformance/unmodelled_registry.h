// Calls of Wine's registry tests that the simulated Windows does not model,
// with the types they take. unmodelled_registry.cpp answers each as a
// Windows without it would; the checks that then fail are listed in
// expected_failures.txt with the call named.
#pragma once

#include "conformance.h"

// Security descriptors and access lists. The tests reach them only on a
// system that has IsWow64Process, which the simulation does not export.
typedef PVOID PSID;
typedef struct _SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;
#define SECURITY_WORLD_SID_AUTHORITY \
    {                                \
        0, 0, 0, 0, 0, 1             \
    }
#define SECURITY_WORLD_RID 0x00000000L
typedef struct _ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
} ACL, *PACL;
typedef struct _SECURITY_DESCRIPTOR {
    BYTE Revision;
    BYTE Sbz1;
    WORD Control;
    PSID Owner;
    PSID Group;
    PACL Sacl;
    PACL Dacl;
} SECURITY_DESCRIPTOR, *PSECURITY_DESCRIPTOR;
#define SECURITY_DESCRIPTOR_MIN_LENGTH sizeof(SECURITY_DESCRIPTOR)
#define SECURITY_DESCRIPTOR_REVISION 1
#define DACL_SECURITY_INFORMATION 0x00000004L
typedef DWORD SECURITY_INFORMATION;
typedef enum { NOT_USED_ACCESS, GRANT_ACCESS, SET_ACCESS, DENY_ACCESS, REVOKE_ACCESS } ACCESS_MODE;
#define SUB_CONTAINERS_AND_OBJECTS_INHERIT 0x3
typedef enum { NO_MULTIPLE_TRUSTEE, TRUSTEE_IS_IMPERSONATE } MULTIPLE_TRUSTEE_OPERATION;
typedef enum { TRUSTEE_IS_SID, TRUSTEE_IS_NAME } TRUSTEE_FORM;
typedef enum {
    TRUSTEE_IS_UNKNOWN,
    TRUSTEE_IS_USER,
    TRUSTEE_IS_GROUP,
    TRUSTEE_IS_DOMAIN,
    TRUSTEE_IS_ALIAS,
    TRUSTEE_IS_WELL_KNOWN_GROUP
} TRUSTEE_TYPE;
typedef struct _TRUSTEE_A {
    struct _TRUSTEE_A *pMultipleTrustee;
    MULTIPLE_TRUSTEE_OPERATION MultipleTrusteeOperation;
    TRUSTEE_FORM TrusteeForm;
    TRUSTEE_TYPE TrusteeType;
    LPSTR ptstrName;
} TRUSTEE_A;
typedef struct _EXPLICIT_ACCESS_A {
    DWORD grfAccessPermissions;
    ACCESS_MODE grfAccessMode;
    DWORD grfInheritance;
    TRUSTEE_A Trustee;
} EXPLICIT_ACCESSA, *PEXPLICIT_ACCESSA;

BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD sub0, DWORD sub1, DWORD sub2,
                              DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7, PSID *sid);
PVOID FreeSid(PSID sid);
DWORD SetEntriesInAclA(ULONG count, PEXPLICIT_ACCESSA entries, PACL oldAcl, PACL *newAcl);
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL dacl, BOOL defaulted);
LSTATUS RegSetKeySecurity(HKEY key, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor);
HANDLE LocalFree(HANDLE memory);

// ntdll's queries of keys, values and objects, which only Wine's check of
// a deleted key reaches.
typedef enum _KEY_INFORMATION_CLASS {
    KeyBasicInformation,
    KeyNodeInformation,
    KeyFullInformation,
    KeyNameInformation
} KEY_INFORMATION_CLASS;
typedef enum _OBJECT_INFORMATION_CLASS { ObjectBasicInformation, ObjectNameInformation } OBJECT_INFORMATION_CLASS;
typedef struct _OBJECT_BASIC_INFORMATION {
    ULONG Attributes;
    ACCESS_MASK GrantedAccess;
    ULONG HandleCount;
    ULONG PointerCount;
    ULONG Reserved[10];
} OBJECT_BASIC_INFORMATION;
