#include <windows.h>
#include <stdlib.h>

#include "bench_clock.h"

static double g_ticksPerMs;

BOOL StartClock(void)
{
    LARGE_INTEGER frequency;

    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0)
        return FALSE;
    g_ticksPerMs = (double)frequency.QuadPart / 1000.0;
    return TRUE;
}

double NowMs(void)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / g_ticksPerMs;
}

static int CompareFigures(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : (x > y ? 1 : 0);
}

double Median(double *figures, int count)
{
    qsort(figures, (size_t)count, sizeof(double), CompareFigures);
    return count % 2 ? figures[count / 2] : (figures[count / 2 - 1] + figures[count / 2]) / 2.0;
}
