// Times the removal of large registry trees: Co_DeleteRegNode against the
// platform's own RegDeleteTreeA, on identical trees built under a scratch
// key of the current user. Building a tree is not timed; after every
// removal the tree must be gone, or the run fails.
//
//   qwbench [REPETITIONS]
//
// Each of the four trees (wide and deep, 1,000 and 10,000 keys) is built
// and removed REPETITIONS times (default 3) by each function, the two
// taking turns at going first so that a slow patch of the machine does
// not fall on one of them only. Prints every figure in milliseconds, the
// medians and their ratio Co_DeleteRegNode / RegDeleteTreeA. The exit
// code is 0 when every tree was built and removed completely.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "bench_clock.h"
#include "common/common.h"

// Everything the benchmark makes lies below this key of HKEY_CURRENT_USER
// and is gone when it ends.
#define SCRATCH_KEY "Software\\QwBench"

// The deep shape: chains of this many keys, one below the other. Its
// longest path, "Software\QwBench\deep\chain0499\d02\...\d20", has 107
// characters, well within the 259 that Co_DeleteRegNode allows.
#define CHAIN_DEPTH 20

#define DEFAULT_REPETITIONS 3
#define MAX_REPETITIONS 9

typedef LONG(WINAPI *DELETE_TREE)(HKEY, LPCSTR);

// RegDeleteTreeA is newer than the Windows 2000 headers the product builds
// against, so it is looked up at run time.
static DELETE_TREE g_regDeleteTree;

struct TREE_CASE {
    const char *shape;
    int keys;
};

static const TREE_CASE kCases[] = {
    {"wide", 1000},
    {"deep", 1000},
    {"wide", 10000},
    {"deep", 10000},
};

static int IsWide(const TREE_CASE *tree)
{
    return lstrcmpA(tree->shape, "wide") == 0;
}

// Creates (or opens) name below parent; NULL on failure, with a message.
static HKEY CreateKey(HKEY parent, LPCSTR name)
{
    HKEY key = NULL;
    LONG status = RegCreateKeyExA(parent, name, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (status != ERROR_SUCCESS) {
        printf("cannot create key %s (error %ld)\n", name, status);
        return NULL;
    }
    return key;
}

static int SetDword(HKEY key, LPCSTR name, DWORD number)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&number, sizeof(number)) == ERROR_SUCCESS;
}

static int SetText(HKEY key, LPCSTR name, LPCSTR text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)lstrlenA(text) + 1) == ERROR_SUCCESS;
}

// Many subkeys under one key, each with a text and a number.
static int BuildWide(HKEY top, int keys)
{
    char name[MAX_PATH];
    int ok = 1;
    for (int i = 0; ok && i < keys; i++) {
        wsprintfA(name, "key%05d", i);
        HKEY key = CreateKey(top, name);
        if (key == NULL)
            return 0;
        ok = SetText(key, "Name", name) && SetDword(key, "Index", (DWORD)i);
        RegCloseKey(key);
    }
    return ok;
}

// One chain of CHAIN_DEPTH keys, each with a number; every handle on the
// chain is closed before returning.
static int BuildChain(HKEY top, int chain)
{
    char name[MAX_PATH];
    HKEY parent = top;
    int ok = 1;
    for (int level = 1; ok && level <= CHAIN_DEPTH; level++) {
        if (level == 1)
            wsprintfA(name, "chain%04d", chain);
        else
            wsprintfA(name, "d%02d", level);
        HKEY key = CreateKey(parent, name);
        if (parent != top)
            RegCloseKey(parent);
        if (key == NULL)
            return 0;
        ok = SetDword(key, "Level", (DWORD)level);
        parent = key;
    }
    RegCloseKey(parent);
    return ok;
}

static int BuildDeep(HKEY top, int keys)
{
    int ok = 1;
    for (int chain = 0; ok && chain < keys / CHAIN_DEPTH; chain++)
        ok = BuildChain(top, chain);
    return ok;
}

// Builds the tree of the case at path, from nothing.
static int BuildTree(const TREE_CASE *tree, LPCSTR path)
{
    HKEY top = CreateKey(HKEY_CURRENT_USER, path);
    if (top == NULL)
        return 0;
    int ok = IsWide(tree) ? BuildWide(top, tree->keys) : BuildDeep(top, tree->keys);
    RegCloseKey(top);
    if (!ok)
        printf("building %s failed\n", path);
    return ok;
}

// 1 when the key no longer exists.
static int IsGone(LPCSTR path)
{
    HKEY key = NULL;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
        return 0;
    }
    return status == ERROR_FILE_NOT_FOUND;
}

// Builds the tree, then times its removal by one function. Returns the
// time in milliseconds, or a negative number when the removal reported a
// failure or left anything behind.
static double TimeRemoval(const TREE_CASE *tree, int useProduct)
{
    char path[MAX_PATH];
    wsprintfA(path, "%s\\%s", SCRATCH_KEY, tree->shape);
    if (!BuildTree(tree, path))
        return -1.0;

    double started = NowMs();
    int reported = useProduct ? Co_DeleteRegNode(HKEY_CURRENT_USER, path)
                              : g_regDeleteTree(HKEY_CURRENT_USER, path) == ERROR_SUCCESS;
    double elapsed = NowMs() - started;

    const char *name = useProduct ? "Co_DeleteRegNode" : "RegDeleteTreeA";
    if (!reported) {
        printf("%s reported a failure on %s\n", name, path);
        return -1.0;
    }
    if (!IsGone(path)) {
        printf("%s left %s behind\n", name, path);
        return -1.0;
    }
    return elapsed;
}

// Runs one case; prints each repetition and the summary line.
static int RunCase(const TREE_CASE *tree, int repetitions)
{
    double product[MAX_REPETITIONS];
    double platform[MAX_REPETITIONS];

    for (int r = 0; r < repetitions; r++) {
        int productFirst = r % 2 == 0;
        double first = TimeRemoval(tree, productFirst);
        double second = first < 0 ? -1.0 : TimeRemoval(tree, !productFirst);
        if (second < 0)
            return 0;
        product[r] = productFirst ? first : second;
        platform[r] = productFirst ? second : first;
        printf("%s %5d keys  run %d  Co_DeleteRegNode %9.1f ms  RegDeleteTreeA %9.1f ms\n", tree->shape, tree->keys,
               r + 1, product[r], platform[r]);
        fflush(stdout);
    }
    double productMedian = Median(product, repetitions);
    double platformMedian = Median(platform, repetitions);
    printf("RESULT %s %d keys: Co_DeleteRegNode %.1f ms, RegDeleteTreeA %.1f ms, ratio %.2f (median of %d)\n",
           tree->shape, tree->keys, productMedian, platformMedian, productMedian / platformMedian, repetitions);
    fflush(stdout);
    return 1;
}

int main(int argc, char **argv)
{
    int repetitions = argc > 1 ? atoi(argv[1]) : DEFAULT_REPETITIONS;
    if (repetitions < 1 || repetitions > MAX_REPETITIONS) {
        printf("usage: qwbench [REPETITIONS], 1 to %d\n", MAX_REPETITIONS);
        return 2;
    }

    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    g_regDeleteTree = advapi != NULL ? (DELETE_TREE)(void *)GetProcAddress(advapi, "RegDeleteTreeA") : NULL;
    if (g_regDeleteTree == NULL || !StartClock()) {
        printf("RegDeleteTreeA or the performance counter is not available\n");
        return 2;
    }

    // What an interrupted earlier run may have left.
    g_regDeleteTree(HKEY_CURRENT_USER, SCRATCH_KEY);

    int ok = 1;
    for (size_t i = 0; ok && i < sizeof(kCases) / sizeof(kCases[0]); i++)
        ok = RunCase(&kCases[i], repetitions);

    g_regDeleteTree(HKEY_CURRENT_USER, SCRATCH_KEY);
    if (!ok)
        printf("FAILED: a tree was not built or not removed completely\n");
    return ok ? 0 : 1;
}
