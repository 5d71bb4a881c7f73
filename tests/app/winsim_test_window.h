// Windows of a class of the test's own, whose procedure records every
// message it gets, for tests of window behaviour that run on Windows and
// on the simulated machine alike.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/machine.h"

namespace winsim_test {

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Received> g_received;
// What the procedure answers to WM_NCCREATE (when not passing it on) and
// to WM_CREATE.
inline bool g_passNcCreate = true;
inline LRESULT g_createResult = 0;
inline LPVOID g_createParam = nullptr;

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_received.push_back({hwnd, message, wParam, lParam});
    if (message == WM_NCCREATE && !g_passNcCreate)
        return TRUE;
    if (message == WM_CREATE) {
        g_createParam = reinterpret_cast<const CREATESTRUCTA *>(lParam)->lpCreateParams;
        return g_createResult;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Drops whatever an earlier test left in the thread's queue.
inline void DrainQueue()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        ;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        g_received.clear();
        g_passNcCreate = true;
        g_createResult = 0;
        g_createParam = nullptr;
        DrainQueue();
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        className_ = std::string("QwTest.") + info->name();
        WNDCLASSA wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = className_.c_str();
        atom_ = RegisterClassA(&wc);
        ASSERT_NE(0, atom_) << GetLastError();
        // The progress bar's class exists while comctl32 is loaded, as the
        // program loads it for its dialog.
        commonControls_ = LoadLibraryA("comctl32.dll");
        ASSERT_NE((HMODULE)NULL, commonControls_) << GetLastError();
    }

    void TearDown() override
    {
        for (size_t i = windows_.size(); i > 0; i--) {
            if (IsWindow(windows_[i - 1]))
                DestroyWindow(windows_[i - 1]);
        }
        UnregisterClassA(className_.c_str(), GetModuleHandleA(NULL));
        if (commonControls_ != NULL)
            FreeLibrary(commonControls_);
        DrainQueue();
    }

    const char *ClassName() const { return className_.c_str(); }
    ATOM Atom() const { return atom_; }

    // A hidden window of the test's class; destroyed after the test.
    HWND Create(const char *title, DWORD style = WS_POPUP, HWND parent = NULL, int id = 0, RECT rect = {0, 0, 200, 100})
    {
        HWND hwnd = CreateWindowExA(0, ClassName(), title, style, rect.left, rect.top, rect.right - rect.left,
                                    rect.bottom - rect.top, parent, (HMENU)(INT_PTR)id, GetModuleHandleA(NULL), NULL);
        windows_.push_back(hwnd);
        return hwnd;
    }

    // The messages of one window, among those named, in the order received.
    static std::vector<UINT> MessagesOf(HWND hwnd, std::initializer_list<UINT> named)
    {
        std::vector<UINT> seen;
        for (const Received &r : g_received) {
            if (r.hwnd != hwnd)
                continue;
            for (UINT m : named) {
                if (r.message == m)
                    seen.push_back(m);
            }
        }
        return seen;
    }

private:
    std::string className_;
    HMODULE commonControls_ = NULL;
    ATOM atom_ = 0;
    std::vector<HWND> windows_;
};

}  // namespace winsim_test
