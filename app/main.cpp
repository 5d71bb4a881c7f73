// Entry point: the start-up checks, the controller window class and the
// controller window, and the message loop that drives the run.
#include <windows.h>
#include <lm.h>

#include "app/app.h"
#include "common/common.h"
#include "common/globals.h"
#include "res/resource.h"

static const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2";
static const char kProductName[] = "QELVORA Wattrix2";
static const char kUninstallerName[] = "QWUNINST.EXE";

// The overlapped-window styles without the maximise box; never made visible.
#define MAIN_WINDOW_STYLE (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX)

// The product's power-save property sheet must be closed first: the run
// removes the applet it belongs to. Returns 1 when the sheet was found and
// the user was told.
static int RefuseWhilePropertySheetOpen(void)
{
    LPSTR title = LoadResText(IDS_PROPS_TITLE);
    LPSTR className = LoadResText(IDS_PROPS_CLASS);
    HWND sheet = FindWindowA(className, title);

    if (sheet == NULL)
        return 0;
    MessageBoxA(sheet, LoadResText(IDS_CLOSE_PROPERTIES), APP_TITLE, MB_OK | MB_ICONINFORMATION);
    return 1;
}

typedef NET_API_STATUS(WINAPI *NetUserGetInfoProc)(LPCWSTR server, LPCWSTR userName, DWORD level, LPBYTE *buffer);
typedef NET_API_STATUS(WINAPI *NetGetDCNameProc)(LPCWSTR server, LPCWSTR domain, LPBYTE *buffer);
typedef NET_API_STATUS(WINAPI *NetApiBufferFreeProc)(LPVOID buffer);

// The account service's calls, from the system's netapi32. A call that
// could not be found is null and counts as a failed call.
struct AccountService {
    NetUserGetInfoProc getUserInfo;
    NetGetDCNameProc getDcName;
    NetApiBufferFreeProc freeBuffer;
};

static void FindAccountService(HMODULE netapi, AccountService *service)
{
    service->getUserInfo = (NetUserGetInfoProc)(void *)FindLibraryFunction(netapi, "NetUserGetInfo");
    service->getDcName = (NetGetDCNameProc)(void *)FindLibraryFunction(netapi, "NetGetDCName");
    service->freeBuffer = (NetApiBufferFreeProc)(void *)FindLibraryFunction(netapi, "NetApiBufferFree");
}

static void FreeNetBuffer(const AccountService *service, LPVOID buffer)
{
    if (buffer != NULL && service->freeBuffer != NULL)
        service->freeBuffer(buffer);
}

// 1 when the account record of userName on server (NULL: this machine)
// says administrator. The record is freed whatever it holds.
static int IsAdminOn(const AccountService *service, LPCWSTR server, LPCWSTR userName)
{
    LPBYTE buffer = NULL;
    int isAdmin = 0;

    if (service->getUserInfo == NULL)
        return 0;
    if (service->getUserInfo(server, userName, 1, &buffer) == NERR_Success && buffer != NULL)
        isAdmin = ((USER_INFO_1 *)buffer)->usri1_priv == USER_PRIV_ADMIN;
    FreeNetBuffer(service, buffer);
    return isAdmin;
}

// Without a domain controller the second query asks this machine again.
static int IsDomainAdmin(const AccountService *service, LPCWSTR userName)
{
    LPBYTE controller = NULL;
    int isAdmin;

    if (service->getDcName == NULL || service->getDcName(NULL, NULL, &controller) != NERR_Success)
        controller = NULL;
    isAdmin = IsAdminOn(service, (LPCWSTR)controller, userName);
    FreeNetBuffer(service, controller);
    return isAdmin;
}

// An administrator either of this machine or of the machine's domain. The
// account service is loaded from the system directory only for these
// queries; without it nobody counts as an administrator.
static int IsUserAdministrator(void)
{
    char userName[UNLEN];
    WCHAR wideName[UNLEN];
    DWORD size = sizeof(userName);
    HMODULE netapi;
    AccountService service;
    int isAdmin;

    if (!GetUserNameA(userName, &size))
        return 0;
    if (MultiByteToWideChar(CP_ACP, 0, userName, lstrlenA(userName) + 1, wideName, UNLEN) == 0)
        return 0;
    netapi = LoadSystemLibrary("netapi32.dll");
    if (netapi == NULL)
        return 0;
    FindAccountService(netapi, &service);
    isAdmin = IsAdminOn(&service, NULL, wideName) || IsDomainAdmin(&service, wideName);
    FreeLibrary(netapi);
    return isAdmin;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
{
    MSG msg;

    LimitDllSearch();
    TrustNoRedirection();
    if (RefuseWhilePropertySheetOpen())
        return 0;
    if (!IsUserAdministrator()) {
        MessageBoxA(NULL, LoadResText(IDS_NEED_ADMIN), APP_TITLE, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (hPrevInstance == NULL && RegisterMainClass(hInstance) == 0)
        return 0;
    if (!CreateMainWindow(hInstance, nCmdShow))
        return 0;

    // GetMessageA gives -1 on error; treat that as the end too rather than
    // spinning on a broken queue.
    ZeroMemory(&msg, sizeof(msg));
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

ATOM RegisterMainClass(HINSTANCE hInstance)
{
    WNDCLASSA wc;

    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = UninstallWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, "QWUNINST.ICO");
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszMenuName = NULL;
    wc.lpszClassName = APP_TITLE;
    return RegisterClassA(&wc);
}

// The controller is never shown, so nCmdShow goes unused.
int CreateMainWindow(HINSTANCE hInstance, int)
{
    HWND hwnd;

    // Another copy's controller has this class and title; its progress
    // dialog has the same title but the dialog class, so it does not match.
    if (FindWindowA(APP_TITLE, APP_TITLE) != NULL)
        return 0;
    if (!IsProductRegistered())
        return 0;

    // The creation handling reads the instance to load the dialog later.
    g_hInstance = hInstance;
    hwnd = CreateWindowExA(0, APP_TITLE, APP_TITLE, MAIN_WINDOW_STYLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, NULL,
                           NULL, hInstance, NULL);
    return hwnd != NULL ? 1 : 0;
}

// The Uninstall entry must name exactly this product and this uninstaller;
// anything else is taken as some other installation.
int IsProductRegistered(void)
{
    char text[MAX_PATH];

    ZeroMemory(text, sizeof(text));
    if (!Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", text))
        return 0;
    if (!TextEquals(text, kProductName))
        return 0;
    if (!Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", text))
        return 0;
    return TextEquals(text, kUninstallerName);
}
