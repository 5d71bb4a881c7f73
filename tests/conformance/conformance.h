// Stands in for Wine's wine/test.h, so that Wine's conformance tests run
// against the simulated Windows. Those tests are written to pass on real
// Windows: what they check is what Windows does, and the simulation models
// Windows. So todo_wine (where Wine falls short) marks a plain check, and
// broken(x) (what older Windows did) is accepted, as on Windows.
#pragma once

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>
#include <winternl.h>

void winetest_set_location(const char *file, int line);
void winetest_ok(int condition, const char *format, ...);
void winetest_skip(const char *format, ...);
void winetest_trace(const char *format, ...);
void winetest_push_context(const char *format, ...);
void winetest_pop_context(void);
// The printf of Windows, where long is 32 bits: "%lu" of a DWORD.
const char *wine_dbg_sprintf(const char *format, ...);
const char *wine_dbgstr_an(const char *text, int length);
const char *wine_dbgstr_wn(const WCHAR *text, int length);
static inline const char *wine_dbgstr_a(const char *text)
{
    return wine_dbgstr_an(text, -1);
}
static inline const char *wine_dbgstr_w(const WCHAR *text)
{
    return wine_dbgstr_wn(text, -1);
}

// Wine's shorter names of the same debug strings.
#define debugstr_an wine_dbgstr_an
#define debugstr_wn wine_dbgstr_wn
#define debugstr_a wine_dbgstr_a
#define debugstr_w wine_dbgstr_w
#define DECLSPEC_ALIGN(x) __attribute__((aligned(x)))

// The wide string functions of Windows' C runtime, whose wchar_t is 16
// bits like WCHAR; the host's take 32-bit characters.
static inline WCHAR *wcscpy(WCHAR *to, const WCHAR *from)
{
    WCHAR *at = to;
    while ((*at++ = *from++) != 0) {
    }
    return to;
}
static inline int wcscmp(const WCHAR *a, const WCHAR *b)
{
    while (*a != 0 && *a == *b) {
        a++;
        b++;
    }
    return (int)*a - (int)*b;
}
static inline size_t wcslen(const WCHAR *text)
{
    size_t length = 0;
    while (text[length] != 0)
        length++;
    return length;
}
static inline int wcsncmp(const WCHAR *a, const WCHAR *b, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
        if (a[i] == 0)
            break;
    }
    return 0;
}

// The test program's arguments; its own path, argv[0], names the running
// program's image on the simulated disk.
int winetest_get_mainargs(char ***argv);

// A function of the simulated system by name, from whichever of its
// modules exports it, else one the harness answers for a call the
// simulation does not model; NULL where none does, as on a Windows
// without it.
void *conformance_lookup(const char *name);
struct conformance_unmodelled {
    conformance_unmodelled(const char *name, void *function);
};
#define CONFORMANCE_UNMODELLED(function) \
    static conformance_unmodelled conformance_unmodelled_##function(#function, (void *)&function)

extern int winetest_interactive;
extern int winetest_debug;

#define ok_(file, line) (winetest_set_location(file, line), 0) ? (void)0 : winetest_ok
#define skip_(file, line) (winetest_set_location(file, line), 0) ? (void)0 : winetest_skip
#define trace_(file, line) (winetest_set_location(file, line), 0) ? (void)0 : winetest_trace
#define ok ok_(__FILE__, __LINE__)
#define skip skip_(__FILE__, __LINE__)
#define win_skip skip_(__FILE__, __LINE__)
#define trace trace_(__FILE__, __LINE__)
#define todo_wine
#define todo_wine_if(condition)
#define flaky
#define flaky_wine
#define broken(condition) (condition)

#ifndef ARRAY_SIZE
#define ARRAY_SIZE(x) (sizeof(x) / sizeof((x)[0]))
#endif

// One test function of a Wine file, run in its turn; the harness prints its
// counts. CONFORMANCE_FILE names the file's run, in Wine's own order.
typedef void (*conformance_function)(void);
void conformance_run(const char *name, conformance_function function);
struct conformance_file {
    conformance_file(const char *name, void (*run)(void));
};
#define CONFORMANCE_RUN(function) conformance_run(#function, function)
#define CONFORMANCE_FILE(name, run) static conformance_file conformance_registration(name, run)
