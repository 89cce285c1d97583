// The desktop's notification area: one icon per window and icon id, whose mouse actions come
// to the window as its callback message.
#pragma once
#include "Messages.h"

#include <cstdint>

// The record in its first, 88-byte layout.
struct NOTIFYICONDATA {
    uint32_t cbSize = 0;
    HWND hWnd = 0;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    HICON hIcon = 0;
    char szTip[64] = {};
};
static_assert(sizeof(NOTIFYICONDATA) == 88);

constexpr uint32_t NIM_ADD = 0;
constexpr uint32_t NIM_DELETE = 2;
constexpr uint32_t NIF_MESSAGE = 0x1;
constexpr uint32_t NIF_ICON = 0x2;
constexpr uint32_t NIF_TIP = 0x4;

// NIM_ADD puts an icon for (hWnd, uID) into the notification area; with NIF_MESSAGE, each
// mouse action on it is posted to hWnd as uCallbackMessage with wParam uID and lParam the
// mouse message (WM_RBUTTONUP for the right button, WM_LBUTTONUP for the left,
// WM_LBUTTONDBLCLK for a double click). NIM_DELETE removes it. Where the desktop has no
// notification area the icon is kept and shows once one appears; that is not reported.
// False for a record whose cbSize is not 88, an icon added twice, or an icon to delete that
// is not there.
bool Shell_NotifyIconA(uint32_t Message, const NOTIFYICONDATA* Data);
