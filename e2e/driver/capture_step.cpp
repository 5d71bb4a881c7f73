// Pictures of the program's windows for the documentation, taken by the
// step "run" when it is given -c (answer_step.cpp). Each picture is the
// window's rectangle on the screen with a small margin, read back from the
// screen itself, so it shows what the user sees, the window manager's
// frame and any window in front included. Files go to the records
// directory as 24-bit BMP:
//
//   NAME.boxN.bmp     the N-th message box of the run, before it is answered
//   NAME.dialog.bmp   the progress dialog, the first time one of its status
//                     lines reads the text given with -c
//
// The window's place on the screen is printed with each picture, so that
// its centring can be checked.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "steps.h"

#define MARGIN 8
#define TEXT_SIZE 512
#define FIRST_STATUS 1002
#define LAST_STATUS 1004
// The box's thread paints when it is idle; two round trips through its
// queue and this pause let the paint reach the screen.
#define SETTLE_MS 700
// The dialog's thread is busy in a stage and cannot be asked; its status
// line is painted as it is set, this pause covers the way to the screen.
#define BUSY_SETTLE_MS 1500
#define ROUND_TRIP_MS 5000

static char g_runName[MAX_PATH];
static char g_waitText[TEXT_SIZE];
static int g_enabled;
static int g_boxCount;
static int g_dialogTaken;

void CaptureSetUp(LPCSTR runName, LPCSTR waitText)
{
    g_enabled = runName != NULL && waitText != NULL;
    g_boxCount = 0;
    g_dialogTaken = 0;
    g_runName[0] = '\0';
    g_waitText[0] = '\0';
    if (g_enabled) {
        lstrcpynA(g_runName, runName, sizeof(g_runName));
        lstrcpynA(g_waitText, waitText, sizeof(g_waitText));
    }
}

static int WriteAll(HANDLE file, const void *data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, NULL) && written == size;
}

static int WriteBitmapFile(LPCSTR path, const BITMAPINFOHEADER *header, const void *bits, DWORD bitsSize)
{
    BITMAPFILEHEADER fileHeader;
    HANDLE file;
    int ok;

    ZeroMemory(&fileHeader, sizeof(fileHeader));
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(*header);
    fileHeader.bfSize = fileHeader.bfOffBits + bitsSize;

    file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    ok = WriteAll(file, &fileHeader, sizeof(fileHeader)) && WriteAll(file, header, sizeof(*header)) &&
         WriteAll(file, bits, bitsSize);
    CloseHandle(file);
    if (!ok)
        DeleteFileA(path);
    return ok;
}

// Copies the rectangle of the screen into a bottom-up 24-bit DIB and
// writes it to path.
static int SaveScreenRect(const RECT *rect, LPCSTR path)
{
    int width = rect->right - rect->left;
    int height = rect->bottom - rect->top;
    BITMAPINFO info;
    void *bits = NULL;
    HDC screen;
    HDC memory;
    HBITMAP bitmap;
    HGDIOBJ previous;
    int ok = 0;

    if (width <= 0 || height <= 0)
        return 0;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    screen = GetDC(NULL);
    if (screen == NULL)
        return 0;
    memory = CreateCompatibleDC(screen);
    bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (memory != NULL && bitmap != NULL) {
        previous = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, rect->left, rect->top, SRCCOPY)) {
            GdiFlush();
            // Rows of a 24-bit DIB are padded to whole 32-bit words.
            DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
            info.bmiHeader.biSizeImage = stride * (DWORD)height;
            ok = WriteBitmapFile(path, &info.bmiHeader, bits, info.bmiHeader.biSizeImage);
        }
        SelectObject(memory, previous);
    }
    if (bitmap != NULL)
        DeleteObject(bitmap);
    if (memory != NULL)
        DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

// Takes the window with its margin, clipped to the screen, as NAME.what.bmp.
static void CaptureWindow(HWND hwnd, LPCSTR what)
{
    char name[MAX_PATH];
    char path[MAX_PATH];
    RECT window;
    RECT area;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int written;

    written = snprintf(name, sizeof(name), "%s.%s.bmp", g_runName, what);
    if (written <= 0 || written >= (int)sizeof(name) || !RecordPath(name, path) || !GetWindowRect(hwnd, &window))
        return;
    area.left = window.left - MARGIN > 0 ? window.left - MARGIN : 0;
    area.top = window.top - MARGIN > 0 ? window.top - MARGIN : 0;
    area.right = window.right + MARGIN < screenWidth ? window.right + MARGIN : screenWidth;
    area.bottom = window.bottom + MARGIN < screenHeight ? window.bottom + MARGIN : screenHeight;
    printf("capture %s: window %ld,%ld %ldx%ld on a %dx%d screen: %s\n", name, window.left, window.top,
           window.right - window.left, window.bottom - window.top, screenWidth, screenHeight,
           SaveScreenRect(&area, path) ? "saved" : "FAILED");
    fflush(stdout);
}

void CaptureBox(HWND box)
{
    char what[32];
    DWORD_PTR ignored;

    if (!g_enabled)
        return;
    for (int i = 0; i < 2; i++)
        SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ROUND_TRIP_MS, &ignored);
    Sleep(SETTLE_MS);
    snprintf(what, sizeof(what), "box%d", ++g_boxCount);
    CaptureWindow(box, what);
}

void CaptureDialog(HWND dialog)
{
    char line[TEXT_SIZE];

    if (!g_enabled || g_dialogTaken)
        return;
    for (int id = FIRST_STATUS; id <= LAST_STATUS; id++) {
        line[0] = '\0';
        GetWindowTextA(GetDlgItem(dialog, id), line, sizeof(line));
        if (lstrcmpA(line, g_waitText) == 0) {
            g_dialogTaken = 1;
            Sleep(BUSY_SETTLE_MS);
            CaptureWindow(dialog, "dialog");
            return;
        }
    }
}
