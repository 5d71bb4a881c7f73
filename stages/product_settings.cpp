// Third stage: the product's registry trees and values are removed, and two
// system settings that the product changed are set to fixed values.
#include "common/common.h"
#include "common/globals.h"
#include "res/resource.h"
#include "stages/stages.h"

struct RegTree {
    HKEY root;
    LPCSTR path;
};

struct RegValue {
    LPCSTR key;
    LPCSTR name;
};

static const RegTree kSettingsTrees[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\QELVORA\\Power Management"},
    {HKEY_CURRENT_USER, "SOFTWARE\\QELVORA\\Power Management"},
};

// The class registration, as the log names it. HKEY_CLASSES_ROOT shows the
// user's own classes before the machine's, so a copy that the user made
// would hide the machine's registration there: both are deleted where
// they really are.
static const char kClassKey[] = "CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}";
static const RegTree kClassTrees[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}"},
    {HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}"},
};

static const RegTree kUninstallTree = {HKEY_LOCAL_MACHINE,
                                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2"};

// All under HKEY_LOCAL_MACHINE. The empty name is the key's default value.
static const RegValue kProductValues[] = {
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run", "Qwtray"},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\PropertySheetHandlers\\"
     "CPL Extension Sample",
     ""},
    {"SYSTEM\\CurrentControlSet\\Services\\QvHotkey\\Run", "QWFnkey"},
};

static const RegValue kSpinDown = {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg",
                                   "DiskSpinDownMin"};
static const RegValue kFloppyDma = {"SYSTEM\\CurrentControlSet\\Services\\Fdc\\Parameters", "MaskDmaAtWakingUp"};

static void ReportFailure(LPCSTR object, UINT messageId)
{
    g_errorOccurred = 1;
    WriteUninstallLog(object, LoadResText(messageId));
}

// Exact-name lookup, letter case included; the value's type plays no part.
static int ValueExists(const RegValue *value)
{
    char scratch[MAX_PATH];
    return Co_GetRegValueSz(HKEY_LOCAL_MACHINE, value->key, value->name, scratch);
}

static void DeleteProductTree(const RegTree *tree)
{
    if (!Co_DeleteRegNode(tree->root, tree->path))
        ReportFailure(tree->path, IDS_ERR_DELETE_KEY);
}

static void DeleteProductValue(const RegValue *value)
{
    if (!ValueExists(value))
        return;
    if (!Co_DeleteRegValue(HKEY_LOCAL_MACHINE, value->key, value->name))
        ReportFailure(value->name, IDS_ERR_DELETE_VALUE);
}

// The two system settings are reset only where they exist, and silently:
// they belong to Windows, not to the product.
static void ResetSystemSettings(void)
{
    if (ValueExists(&kSpinDown))
        Co_SetValueSz(HKEY_LOCAL_MACHINE, kSpinDown.key, kSpinDown.name, "3");
    if (ValueExists(&kFloppyDma))
        Co_SetValueNum(HKEY_LOCAL_MACHINE, kFloppyDma.key, kFloppyDma.name, 0);
}

// One log line for the registration, whichever copy stayed.
static void DeleteClassRegistration(void)
{
    int deleted = 1;

    for (size_t i = 0; i < ARRAYSIZE(kClassTrees); i++)
        if (!Co_DeleteRegNode(kClassTrees[i].root, kClassTrees[i].path))
            deleted = 0;
    if (!deleted)
        ReportFailure(kClassKey, IDS_ERR_DELETE_KEY);
}

void RemoveProductSettings(void)
{
    for (size_t i = 0; i < ARRAYSIZE(kSettingsTrees); i++)
        DeleteProductTree(&kSettingsTrees[i]);
    DeleteClassRegistration();
    DeleteProductTree(&kUninstallTree);
    for (size_t i = 0; i < ARRAYSIZE(kProductValues); i++)
        DeleteProductValue(&kProductValues[i]);
    ResetSystemSettings();
}
