// ntdll's registry test of NtDeleteKey, under the path Wine's own start
// sets up: the user's key, then \WineTest.
// conformance-uses: winetestpath
#include "unmodelled_registry.h"

#include "ntdll_reg.inc"

static void run(void)
{
    static const WCHAR winetest[] = u"\\WineTest";
    UNICODE_STRING user;
    conformance_load_pointers();
    RtlFormatCurrentUserKeyPath(&user);
    winetestpath.MaximumLength = (USHORT)(user.Length + sizeof(winetest));
    winetestpath.Length = (USHORT)(winetestpath.MaximumLength - sizeof(WCHAR));
    winetestpath.Buffer = (PWSTR)HeapAlloc(GetProcessHeap(), 0, winetestpath.MaximumLength);
    memcpy(winetestpath.Buffer, user.Buffer, user.Length);
    memcpy((char *)winetestpath.Buffer + user.Length, winetest, sizeof(winetest));
    RtlFreeUnicodeString(&user);

    // Wine's test_NtCreateKey, which runs before, leaves the key made.
    HANDLE key;
    OBJECT_ATTRIBUTES attributes = {sizeof(attributes), NULL, &winetestpath, 0, NULL, NULL};
    if (NtCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, NULL, 0, NULL) == STATUS_SUCCESS)
        NtClose(key);
    CONFORMANCE_RUN(test_NtDeleteKey);
    RtlFreeUnicodeString(&winetestpath);
}

CONFORMANCE_FILE("dlls/ntdll/tests/reg.c", run);
