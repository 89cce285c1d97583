#include "X11Desktop.h"

#include "QtDesktop.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A posted message travels as a ClientMessage of this type: message, wParam, lParam.
constexpr char PostedMessageAtom[] = "_QUILLBOARD_POSTED_MESSAGE";

class TX11Desktop : public TQtDesktop, public QAbstractNativeEventFilter {
public:
    explicit TX11Desktop(xcb_connection_t* C) : FConn(C)
    {
        FRoot = xcb_setup_roots_iterator(xcb_get_setup(C)).data->root;
        FPosted = Atom(PostedMessageAtom);
        FNetWmName = Atom("_NET_WM_NAME");
        FUtf8 = Atom("UTF8_STRING");
        FActiveWindow = Atom("_NET_ACTIVE_WINDOW");
        FClientList = Atom("_NET_CLIENT_LIST_STACKING");
        FWmPid = Atom("_NET_WM_PID");
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~TX11Desktop() override
    {
        if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    HWND CreateNativeWindow(const std::string& Title) override
    {
        const xcb_window_t w = xcb_generate_id(FConn);
        xcb_create_window(FConn, XCB_COPY_FROM_PARENT, w, FRoot, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        // The process, as every client names it on its windows, so tools can tell whose it is.
        const uint32_t pid = static_cast<uint32_t>(::getpid());
        xcb_change_property(FConn, XCB_PROP_MODE_REPLACE, w, FWmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        SetNativeTitle(w, Title);
        return w;
    }

    void DestroyNativeWindow(HWND Wnd) override
    {
        xcb_destroy_window(FConn, Wnd);
        xcb_flush(FConn);
    }

    void SetNativeTitle(HWND Wnd, const std::string& Title) override
    {
        const auto len = static_cast<uint32_t>(Title.size());
        xcb_change_property(FConn, XCB_PROP_MODE_REPLACE, Wnd, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, len, Title.data());
        xcb_change_property(FConn, XCB_PROP_MODE_REPLACE, Wnd, FNetWmName, FUtf8, 8, len, Title.data());
        xcb_flush(FConn);
    }

    void SetNativeVisible(HWND Wnd, bool Visible) override
    {
        if (Visible)
            xcb_map_window(FConn, Wnd);
        else
            xcb_unmap_window(FConn, Wnd);
        xcb_flush(FConn);
    }

    HWND FindForeignWindow(const std::string& Title) override
    {
        // Managed windows sit in frames, so the window manager's list names them; hidden
        // windows are never managed and stay children of the root. Both lists run bottom to
        // top, so they are searched from their ends.
        for (const auto& list : {ClientList(), RootChildren()})
            for (auto it = list.rbegin(); it != list.rend(); ++it)
                if (!IsOwnWindow(*it) && NameOf(*it) == Title) return *it;
        return 0;
    }

    bool PostToForeignWindow(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) override
    {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = Wnd;
        ev.type = FPosted;
        ev.data.data32[0] = Msg;
        ev.data.data32[1] = WParam;
        ev.data.data32[2] = static_cast<uint32_t>(LParam);
        // Checked: the reply is the round trip that makes the server hold the event before
        // we return, and it tells a window that no longer exists.
        const auto cookie = xcb_send_event_checked(FConn, 0, Wnd, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
        return Succeeded(cookie);
    }

    bool Activate(HWND Wnd) override
    {
        // The window manager's active-window request (as a pager asks it, which window
        // managers honour for any program), and a plain restack for a desktop without one.
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = Wnd;
        ev.type = FActiveWindow;
        ev.data.data32[0] = 2;
        ev.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(FConn, 0, FRoot, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&ev));
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        return Succeeded(xcb_configure_window_checked(FConn, Wnd, XCB_CONFIG_WINDOW_STACK_MODE, &above));
    }

    bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) override
    {
        if (EventType != "xcb_generic_event_t") return false;
        const auto* ev = static_cast<const xcb_generic_event_t*>(Message);
        if ((ev->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
        const auto* cm = static_cast<const xcb_client_message_event_t*>(Message);
        if (cm->type != FPosted || cm->format != 32) return false;
        if (IsOwnWindow(cm->window))
            QueueMessage(MSG{cm->window, cm->data.data32[0], cm->data.data32[1], static_cast<LPARAM>(cm->data.data32[2])});
        return true;
    }

private:
    // Waits for the checked request's outcome; its error, if any, is ours to free.
    bool Succeeded(xcb_void_cookie_t Cookie)
    {
        xcb_generic_error_t* error = xcb_request_check(FConn, Cookie);
        const bool ok = error == nullptr;
        std::free(error);
        return ok;
    }

    xcb_atom_t Atom(const char* Name)
    {
        xcb_atom_t a = XCB_ATOM_NONE;
        if (auto* r = xcb_intern_atom_reply(FConn, xcb_intern_atom(FConn, 0, static_cast<uint16_t>(std::strlen(Name)), Name), nullptr)) {
            a = r->atom;
            std::free(r);
        }
        return a;
    }

    std::vector<xcb_window_t> RootChildren()
    {
        std::vector<xcb_window_t> out;
        if (auto* r = xcb_query_tree_reply(FConn, xcb_query_tree(FConn, FRoot), nullptr)) {
            const xcb_window_t* c = xcb_query_tree_children(r);
            out.assign(c, c + xcb_query_tree_children_length(r));
            std::free(r);
        }
        return out;
    }

    std::vector<xcb_window_t> ClientList()
    {
        std::vector<xcb_window_t> out;
        const auto cookie = xcb_get_property(FConn, 0, FRoot, FClientList, XCB_ATOM_WINDOW, 0, 4096);
        if (auto* r = xcb_get_property_reply(FConn, cookie, nullptr)) {
            if (r->format == 32) {
                const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(r));
                out.assign(w, w + xcb_get_property_value_length(r) / 4);
            }
            std::free(r);
        }
        return out;
    }

    std::string Property(xcb_window_t W, xcb_atom_t Name, bool& Found)
    {
        std::string s;
        Found = false;
        const auto cookie = xcb_get_property(FConn, 0, W, Name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
        if (auto* r = xcb_get_property_reply(FConn, cookie, nullptr)) {
            if (r->type != XCB_ATOM_NONE && r->format == 8) {
                Found = true;
                s.assign(static_cast<const char*>(xcb_get_property_value(r)), static_cast<size_t>(xcb_get_property_value_length(r)));
            }
            std::free(r);
        }
        return s;
    }

    std::string NameOf(xcb_window_t W)
    {
        bool found = false;
        std::string name = Property(W, FNetWmName, found);
        if (!found) name = Property(W, XCB_ATOM_WM_NAME, found);
        return name;
    }

    xcb_connection_t* FConn;
    xcb_window_t FRoot = 0;
    xcb_atom_t FPosted = 0, FNetWmName = 0, FUtf8 = 0, FActiveWindow = 0, FClientList = 0, FWmPid = 0;
};

} // namespace

std::unique_ptr<TDesktop> MakeX11Desktop()
{
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!app || !app->connection()) return nullptr;
    return std::make_unique<TX11Desktop>(app->connection());
}
