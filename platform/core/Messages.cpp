#include "Messages.h"

#include "SysUtils.h"

#include <deque>
#include <map>
#include <vector>

namespace {

struct TWindow {
    std::string Title;
    TWindowProc Proc;
    bool Visible = false;
    bool Native = false;  // the desktop made it, so other programs can reach it
    uint64_t Created = 0; // creation order: the newest window is the topmost
};

std::map<HWND, TWindow> Windows;
uint64_t CreatedCount = 0;
// Numbers of windows that the desktop does not number; far above what the display server
// hands out to one client, so a handle never means two windows.
HWND NextLocalHandle = 0xF0000000u;

std::deque<MSG> Queue;
std::function<void()> Wakeup;
std::vector<TLoopKind> Loops;

std::vector<std::string> RegisteredNames; // index i has number 0xC000 + i

TDesktop BaseDesktop;
TDesktop* CurrentDesktop = &BaseDesktop;

} // namespace

HWND CreateWindowHandle(const std::string& Title, TWindowProc Proc)
{
    HWND wnd = Desktop().CreateNativeWindow(Title);
    const bool native = wnd != 0;
    if (!native) wnd = NextLocalHandle++;
    Windows[wnd] = TWindow{Title, std::move(Proc), false, native, ++CreatedCount};
    return wnd;
}

void DestroyWindowHandle(HWND Wnd)
{
    const auto it = Windows.find(Wnd);
    if (it == Windows.end()) return;
    const bool native = it->second.Native;
    Windows.erase(it);
    std::erase_if(Queue, [Wnd](const MSG& m) { return m.hwnd == Wnd; });
    if (native) Desktop().DestroyNativeWindow(Wnd);
}

void SetWindowTextA(HWND Wnd, const std::string& Title)
{
    const auto it = Windows.find(Wnd);
    if (it == Windows.end()) return;
    it->second.Title = Title;
    if (it->second.Native) Desktop().SetNativeTitle(Wnd, Title);
}

bool IsOwnWindow(HWND Wnd)
{
    return Windows.count(Wnd) != 0;
}

UINT RegisterWindowMessageA(const std::string& Name)
{
    for (size_t i = 0; i < RegisteredNames.size(); ++i)
        if (SameText(RegisteredNames[i], Name)) return static_cast<UINT>(0xC000 + i);
    if (RegisteredNames.size() >= 0x4000) return 0;
    RegisteredNames.push_back(Name);
    return static_cast<UINT>(0xC000 + RegisteredNames.size() - 1);
}

void QueueMessage(const MSG& Msg)
{
    Queue.push_back(Msg);
    if (Wakeup) Wakeup();
}

bool PostMessageA(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    if (IsOwnWindow(Wnd)) {
        QueueMessage(MSG{Wnd, Msg, WParam, LParam});
        return true;
    }
    return Wnd != 0 && Desktop().PostToForeignWindow(Wnd, Msg, WParam, LParam);
}

LRESULT SendMessageA(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    const auto it = Windows.find(Wnd);
    if (it == Windows.end() || !it->second.Proc) return 0;
    TMessage m{Msg, WParam, LParam, 0};
    // A copy: the procedure may destroy its own window.
    TWindowProc proc = it->second.Proc;
    proc(m);
    return m.Result;
}

HWND FindWindowA(const char* /*ClassName*/, const std::string& WindowName)
{
    HWND best = 0;
    uint64_t newest = 0;
    for (const auto& [wnd, w] : Windows)
        if (w.Title == WindowName && w.Created > newest) {
            best = wnd;
            newest = w.Created;
        }
    return best != 0 ? best : Desktop().FindForeignWindow(WindowName);
}

bool BringWindowToTop(HWND Wnd)
{
    return Wnd != 0 && Desktop().Activate(Wnd);
}

bool SetForegroundWindow(HWND Wnd)
{
    return Wnd != 0 && Desktop().Activate(Wnd);
}

bool GetCursorPos(POINT& Point)
{
    Point = Desktop().CursorPos();
    return true;
}

bool ShowWindow(HWND Wnd, int CmdShow)
{
    const auto it = Windows.find(Wnd);
    if (it == Windows.end()) return false;
    const bool was = it->second.Visible;
    const bool now = CmdShow != SW_HIDE;
    if (now != was) {
        it->second.Visible = now;
        if (it->second.Native) Desktop().SetNativeVisible(Wnd, now);
    }
    return was;
}

bool PeekWaitingMessage(MSG& Msg)
{
    if (Queue.empty()) return false;
    Msg = Queue.front();
    Queue.pop_front();
    return true;
}

void DispatchMessageA(const MSG& Msg)
{
    SendMessageA(Msg.hwnd, Msg.message, Msg.wParam, Msg.lParam);
}

void SetQueueWakeup(std::function<void()> W)
{
    Wakeup = std::move(W);
}

TLoopKind CurrentLoopKind()
{
    return Loops.empty() ? TLoopKind::Application : Loops.back();
}

TLoopScope::TLoopScope(TLoopKind Kind)
{
    Loops.push_back(Kind);
}

TLoopScope::~TLoopScope()
{
    Loops.pop_back();
}

HWND TDesktop::CreateNativeWindow(const std::string&)
{
    return 0;
}

void TDesktop::DestroyNativeWindow(HWND) {}
void TDesktop::SetNativeTitle(HWND, const std::string&) {}
void TDesktop::SetNativeVisible(HWND, bool) {}

HWND TDesktop::FindForeignWindow(const std::string&)
{
    return 0;
}

bool TDesktop::PostToForeignWindow(HWND, UINT, WPARAM, LPARAM)
{
    return false;
}

bool TDesktop::Activate(HWND Wnd)
{
    return IsOwnWindow(Wnd);
}

POINT TDesktop::CursorPos()
{
    return POINT{};
}

void TDesktop::NotifyIconChanged(uint32_t, const NOTIFYICONDATA&) {}

TDesktop& Desktop()
{
    return *CurrentDesktop;
}

void SetDesktop(TDesktop* D)
{
    CurrentDesktop = D ? D : &BaseDesktop;
}
