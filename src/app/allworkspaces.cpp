#include "allworkspaces.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef CORVANE_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
constexpr quint32 kAllDesktops = 0xFFFFFFFF;
constexpr quint32 kAddState = 1;
constexpr quint32 kFromApplication = 1;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Sent to the root window, as the window manager only listens there for a mapped window's wishes.
void ask(xcb_connection_t *connection, xcb_window_t root, xcb_window_t window, xcb_atom_t type, std::array<quint32, 5> data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.cbegin(), data.cend(), event.data.data32);
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
}
}
#endif

void showOnAllWorkspaces(QWindow &window)
{
#ifdef CORVANE_HAVE_XCB
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window.winId());
    const xcb_atom_t desktop = atom(connection, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t sticky = atom(connection, "_NET_WM_STATE_STICKY");
    if (!window.isVisible()) {
        // Read by the window manager when the window is mapped; the toolkit keeps states it did
        // not set itself.
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &kAllDesktops);
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &sticky);
    } else {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        ask(connection, root, id, desktop, {kAllDesktops, kFromApplication, 0, 0, 0});
        ask(connection, root, id, state, {kAddState, sticky, 0, kFromApplication, 0});
    }
    xcb_flush(connection);
#else
    Q_UNUSED(window);
#endif
}

bool hasCompositingManager()
{
#ifdef CORVANE_HAVE_XCB
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return true;
    xcb_connection_t *connection = x11->connection();
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom(connection, "_NET_WM_CM_S0")), nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
#else
    return true;
#endif
}
