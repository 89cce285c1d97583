// Windows and window messages: the GUI thread's message queue, the windows of this process
// with their procedures, registered message numbers, and the desktop calls that reach other
// programs' windows. Every call to the desktop passes one seam (TDesktop); the program
// installs the real desktop at start (QtMessageLoop.h), tests may put a simulated one.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Window and icon handles are 32-bit values, as the platform's are in practice: a window of
// this process or of another program on the same desktop; 0 is none.
using HWND = uint32_t;
using HICON = uint32_t;
using UINT = uint32_t;
using WPARAM = uint32_t;
using LPARAM = int32_t;
using LRESULT = int32_t;

struct POINT {
    int32_t x = 0;
    int32_t y = 0;
};

// One message as the queue holds it.
struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// One message as a window procedure gets it; Result goes back to a sender.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_APP = 0x8000;

// Show states of a window.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// The procedure of a window of this process: takes every message dispatched to it.
using TWindowProc = std::function<void(TMessage&)>;

// Makes a top-level window of this process, never shown, titled Title; other programs find
// it by that title and post to it.
HWND CreateWindowHandle(const std::string& Title, TWindowProc Proc);
// Messages still queued for the window are dropped with it.
void DestroyWindowHandle(HWND Wnd);
void SetWindowTextA(HWND Wnd, const std::string& Title);
// True for a window of this process that has not been destroyed.
bool IsOwnWindow(HWND Wnd);

// A number in 0xC000..0xFFFF, the same for every call with the same name (compared without
// regard to case) for the life of the process; 0 when the range is used up.
UINT RegisterWindowMessageA(const std::string& Name);

// Puts the message into the queue of the thread that owns the window and returns without
// waiting for it to be handled. A window of another program reaches that program's queue,
// and the message has reached its display server before this returns, so nothing posted is
// lost when the sender ends at once. False when the window does not exist.
bool PostMessageA(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// Runs the window's procedure at once (this process's windows only); 0 for any other window.
LRESULT SendMessageA(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// The top-level window titled exactly WindowName, hidden windows included, of this or another
// program (the topmost when several match); 0 when there is none. ClassName must be null:
// this desktop has no window classes.
HWND FindWindowA(const char* ClassName, const std::string& WindowName);
// Both ask the desktop to make the window the active one, on top of the others (also out of
// its minimised state); the window manager decides. False when the window does not exist.
bool BringWindowToTop(HWND Wnd);
bool SetForegroundWindow(HWND Wnd);
// The mouse pointer's position on the screen.
bool GetCursorPos(POINT& Point);
// SW_HIDE hides a window of this process, SW_SHOW or SW_SHOWNORMAL shows it; true when it was
// visible before.
bool ShowWindow(HWND Wnd, int CmdShow);

// The thread's message queue, as the message loops use it.
// Takes the oldest waiting message; false when none is waiting.
bool PeekWaitingMessage(MSG& Msg);
// Hands the message to its window's procedure; a message for no window of ours is dropped.
void DispatchMessageA(const MSG& Msg);
// Called whenever a message joins the queue, so that the running loop wakes for it.
void SetQueueWakeup(std::function<void()> Wakeup);
// Puts a message that arrived from outside (another program) into the queue.
void QueueMessage(const MSG& Msg);

// Which loop is taking messages now: the application's (each message passes the
// application's hook before it is dispatched) or a modal loop of a message box or menu (the
// message is dispatched without the hook).
enum class TLoopKind { Application, Modal };
TLoopKind CurrentLoopKind();
// Marks a span of code as running one kind of loop; spans nest.
class TLoopScope {
public:
    explicit TLoopScope(TLoopKind Kind);
    ~TLoopScope();
    TLoopScope(const TLoopScope&) = delete;
    TLoopScope& operator=(const TLoopScope&) = delete;
};

struct NOTIFYICONDATA;

// The desktop seam: what the calls above need of the window system. This base class is a
// desktop of this process alone: windows are found among its own, posts to any other window
// fail, raising does nothing and the pointer stays at (0, 0).
class TDesktop {
public:
    virtual ~TDesktop() = default;
    // The handle for a new window of this process; 0 lets the layer number it itself.
    virtual HWND CreateNativeWindow(const std::string& Title);
    virtual void DestroyNativeWindow(HWND Wnd);
    virtual void SetNativeTitle(HWND Wnd, const std::string& Title);
    virtual void SetNativeVisible(HWND Wnd, bool Visible);
    // A top-level window titled Title that is not one of this process's, 0 when none.
    virtual HWND FindForeignWindow(const std::string& Title);
    // Delivers to another program's window; false when it does not exist.
    virtual bool PostToForeignWindow(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
    virtual bool Activate(HWND Wnd);
    virtual POINT CursorPos();
    // An icon of the notification area was added (NIM_ADD) or removed (NIM_DELETE);
    // Shell_NotifyIconA has checked the record. The base desktop has no notification area.
    virtual void NotifyIconChanged(uint32_t Message, const NOTIFYICONDATA& Data);
};
// The desktop in force (never null); SetDesktop(nullptr) restores the base one.
TDesktop& Desktop();
void SetDesktop(TDesktop* D);
