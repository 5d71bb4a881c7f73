// Runs the chosen functions of Wine's conformance tests against the
// simulated Windows and counts their checks. A check that fails must be on
// the list of expected failures (file, function, line, reason); one that is
// not fails the run, and so does a listed line that no longer fails.
//
//   conformance EXPECTED-FAILURES
//
// Prints one line per function, "conformance: NAME N checks, F failed, E
// expected", each skip with its place, and last "N passed, M failed".
#include "conformance.h"

#include <winsim.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

int winetest_interactive = 0;
int winetest_debug = 1;

namespace {

typedef std::tuple<std::string, std::string, int> Place;  // file, function, line

struct Expected {
    std::string reason;
    bool failed = false;
};

struct Counts {
    int checks = 0;
    int failed = 0;
    int expected = 0;
    int skipped = 0;
};

std::vector<std::pair<const char *, void (*)(void)>> &Files()
{
    static std::vector<std::pair<const char *, void (*)(void)>> files;
    return files;
}

std::map<std::string, void *> &Unmodelled()
{
    static std::map<std::string, void *> calls;
    return calls;
}

std::map<Place, Expected> g_expected;
const char *g_file = "";
int g_line = 0;
std::string g_function = "(outside a test function)";
std::vector<std::string> g_context;
Counts g_counts, g_total;

// Windows' long is 32 bits, and its printf knows I64: "%lu" and "%I64x" of
// these tests become what the host's printf reads from the same arguments.
std::string HostFormat(const char *format)
{
    std::string out;
    for (const char *p = format; *p != '\0'; p++) {
        out += *p;
        if (*p != '%')
            continue;
        p++;
        while (*p != '\0' && strchr("-+ #0123456789.*", *p) != nullptr)
            out += *p++;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            out += "ll";
            p += 3;
        } else if (p[0] == 'l' && p[1] != 'l' && p[1] != 's' && p[1] != 'c') {
            p++;
        }
        if (*p == '\0')
            break;
        out += *p;
    }
    return out;
}

std::string Formatted(const char *format, va_list args)
{
    char text[2048];
    vsnprintf(text, sizeof(text), HostFormat(format).c_str(), args);
    return text;
}

std::string Where()
{
    std::string where = std::string(g_file) + ":" + std::to_string(g_line) + ": ";
    for (const std::string &context : g_context)
        where += context + ": ";
    return where;
}

// Ten buffers in turn, as Wine's debug strings are short-lived too.
char *DebugBuffer()
{
    static char buffers[10][1024];
    static int next = 0;
    next = (next + 1) % 10;
    return buffers[next];
}

void LoadExpected(const char *path)
{
    FILE *list = fopen(path, "r");
    if (list == nullptr) {
        fprintf(stderr, "conformance: cannot read %s\n", path);
        exit(2);
    }
    char line[1024];
    while (fgets(line, sizeof(line), list) != nullptr) {
        char file[256], function[128];
        int number, used = 0;
        if (line[0] == '#' || line[0] == '\n')
            continue;
        if (sscanf(line, "%255s %127s %d %n", file, function, &number, &used) != 3) {
            fprintf(stderr, "conformance: %s: not \"file function line reason\": %s", path, line);
            exit(2);
        }
        std::string reason = line + used;
        if (!reason.empty() && reason.back() == '\n')
            reason.pop_back();
        g_expected[Place(file, function, number)].reason = reason;
    }
    fclose(list);
}

}  // namespace

void winetest_set_location(const char *file, int line)
{
    g_file = file;
    g_line = line;
}

void winetest_ok(int condition, const char *format, ...)
{
    g_counts.checks++;
    if (condition)
        return;
    auto listed = g_expected.find(Place(g_file, g_function, g_line));
    if (listed != g_expected.end()) {
        listed->second.failed = true;
        g_counts.expected++;
        return;
    }
    va_list args;
    va_start(args, format);
    printf("%sTest failed: %s", Where().c_str(), Formatted(format, args).c_str());
    va_end(args);
    g_counts.failed++;
}

void winetest_skip(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    printf("conformance: %s skipped at %s%s", g_function.c_str(), Where().c_str(), Formatted(format, args).c_str());
    va_end(args);
    g_counts.skipped++;
}

void winetest_trace(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    printf("%s%s", Where().c_str(), Formatted(format, args).c_str());
    va_end(args);
}

void winetest_push_context(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    g_context.push_back(Formatted(format, args));
    va_end(args);
}

void winetest_pop_context(void)
{
    if (!g_context.empty())
        g_context.pop_back();
}

const char *wine_dbg_sprintf(const char *format, ...)
{
    char *buffer = DebugBuffer();
    va_list args;
    va_start(args, format);
    snprintf(buffer, 1024, "%s", Formatted(format, args).c_str());
    va_end(args);
    return buffer;
}

// Quoted, with what is not printable escaped; "(null)" for no text.
template <typename Char>
static const char *DebugString(const Char *text, int length)
{
    if (text == nullptr)
        return "(null)";
    char *buffer = DebugBuffer();
    int used = 0;
    buffer[used++] = '"';
    for (int i = 0; (length < 0 ? text[i] != 0 : i < length) && used < 1000; i++) {
        unsigned value = (unsigned)text[i] & (sizeof(Char) == 1 ? 0xffu : 0xffffu);
        if (value >= 0x20 && value < 0x7f && value != '"' && value != '\\')
            buffer[used++] = (char)value;
        else
            used += snprintf(buffer + used, 1024 - used, value < 0x100 ? "\\x%02x" : "\\u%04x", value);
    }
    buffer[used++] = '"';
    buffer[used] = '\0';
    return buffer;
}

const char *wine_dbgstr_an(const char *text, int length)
{
    return DebugString(text, length);
}

const char *wine_dbgstr_wn(const WCHAR *text, int length)
{
    return DebugString(text, length);
}

int winetest_get_mainargs(char ***argv)
{
    static char path[MAX_PATH];
    static char *arguments[] = {path, nullptr};
    GetModuleFileNameA(NULL, path, sizeof(path));
    if (!wsim::FileExists(path))
        wsim::PutFile(path, "MZ");
    *argv = arguments;
    return 1;
}

void *conformance_lookup(const char *name)
{
    static const char *const modules[] = {"kernel32.dll", "advapi32.dll", "ntdll.dll"};
    for (const char *module : modules) {
        FARPROC function = GetProcAddress(GetModuleHandleA(module), name);
        if (function != NULL)
            return (void *)function;
    }
    auto unmodelled = Unmodelled().find(name);
    return unmodelled == Unmodelled().end() ? NULL : unmodelled->second;
}

conformance_unmodelled::conformance_unmodelled(const char *name, void *function)
{
    Unmodelled()[name] = function;
}

void conformance_run(const char *name, conformance_function function)
{
    g_function = name;
    g_counts = Counts();
    g_context.clear();
    function();
    printf("conformance: %s %d checks, %d failed, %d expected\n", name, g_counts.checks, g_counts.failed,
           g_counts.expected);
    g_total.checks += g_counts.checks;
    g_total.failed += g_counts.failed;
    g_total.expected += g_counts.expected;
    g_total.skipped += g_counts.skipped;
    g_function = "(outside a test function)";
}

conformance_file::conformance_file(const char *name, void (*run)(void))
{
    Files().push_back({name, run});
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: conformance EXPECTED-FAILURES\n");
        return 2;
    }
    // Line by line, so that a test that never returns shows where it was.
    setvbuf(stdout, NULL, _IOLBF, 0);
    LoadExpected(argv[1]);
    for (const auto &file : Files()) {
        printf("conformance: %s\n", file.first);
        wsim::Reset();
        file.second();
    }
    int stale = 0;
    for (const auto &entry : g_expected) {
        if (entry.second.failed)
            continue;
        printf("conformance: listed as failing but passed or not reached: %s %s %d (%s)\n",
               std::get<0>(entry.first).c_str(), std::get<1>(entry.first).c_str(), std::get<2>(entry.first),
               entry.second.reason.c_str());
        stale++;
    }
    printf("%d expected failures, %d skipped\n", g_total.expected, g_total.skipped);
    printf("%d passed, %d failed\n", g_total.checks - g_total.failed - g_total.expected, g_total.failed + stale);
    return g_total.failed + stale == 0 ? 0 : 1;
}
