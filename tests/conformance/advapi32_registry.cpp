// advapi32's registry tests, in Wine's order, on a key of their own under
// HKEY_CURRENT_USER\Software\Wine\Test.
// conformance-uses: delete_key hkey_main
#include "unmodelled_registry.h"

#include "advapi32_registry.inc"

static void run(void)
{
    conformance_load_pointers();
    CONFORMANCE_RUN(setup_main_key);
    CONFORMANCE_RUN(test_set_value);
    CONFORMANCE_RUN(create_test_entries);
    CONFORMANCE_RUN(test_enum_value);
    CONFORMANCE_RUN(test_reg_open_key);
    CONFORMANCE_RUN(test_reg_create_key);
    CONFORMANCE_RUN(test_reg_delete_key);
    CONFORMANCE_RUN(test_symlinks);
    CONFORMANCE_RUN(test_classesroot);
    CONFORMANCE_RUN(test_delete_value);
    delete_key(hkey_main);
}

CONFORMANCE_FILE("dlls/advapi32/tests/registry.c", run);
