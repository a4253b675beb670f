#include "xcbpropertysource.h"

#include "xcbactivationwatcher.h"

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

#include <cstdlib>

namespace
{
// A title or class longer than this is cut; nothing sensible is longer.
constexpr int maximumTextBytes = 4096;

struct FreeDeleter {
    void operator()(void *pointer) const { std::free(pointer); }
};
template<typename Reply> using ReplyPointer = std::unique_ptr<Reply, FreeDeleter>;

bool containsAtom(const xcb_ewmh_get_atoms_reply_t &atoms, xcb_atom_t atom)
{
    for (uint32_t index = 0; index < atoms.atoms_len; ++index) {
        if (atoms.atoms[index] == atom)
            return true;
    }
    return false;
}

QString boundedText(const char *data, uint32_t length, bool utf8)
{
    const auto size = static_cast<qsizetype>(std::min<uint32_t>(length, maximumTextBytes));
    // Some clients end the text with a NUL byte.
    const QByteArray bytes = QByteArray(data, size).split('\0').constFirst();
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

// The cookies of one window's requests, sent together and answered in one round trip.
struct WindowCookies {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_get_property_cookie_t windowClass;
    xcb_get_property_cookie_t utf8Name;
    xcb_get_property_cookie_t legacyName;
    xcb_get_property_cookie_t processId;
    xcb_get_property_cookie_t state;
    xcb_get_property_cookie_t type;
};
}

std::unique_ptr<XcbPropertySource> XcbPropertySource::connect(const QByteArray &displayName)
{
    std::unique_ptr<XcbActivationWatcher> watcher = XcbActivationWatcher::connect(displayName);
    if (!watcher)
        return nullptr;
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    auto ewmh = std::make_unique<xcb_ewmh_connection_t>();
    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(connection, ewmh.get());
    if (!xcb_ewmh_init_atoms_replies(ewmh.get(), cookies, nullptr) || screenNumber >= ewmh->nb_screens) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<XcbPropertySource>(new XcbPropertySource(std::move(ewmh), screenNumber, std::move(watcher)));
}

XcbPropertySource::XcbPropertySource(std::unique_ptr<xcb_ewmh_connection_t> ewmh, int screenNumber,
                                     std::unique_ptr<XcbActivationWatcher> watcher)
    : m_ewmh(std::move(ewmh))
    , m_screenNumber(screenNumber)
    , m_watcher(std::move(watcher))
{
    QObject::connect(m_watcher.get(), &XcbActivationWatcher::activeWindowChanged, this, &X11PropertySource::activeWindowChanged);
}

XcbPropertySource::~XcbPropertySource()
{
    xcb_connection_t *connection = m_ewmh->connection;
    xcb_ewmh_connection_wipe(m_ewmh.get());
    xcb_disconnect(connection);
}

std::optional<quint32> XcbPropertySource::activeWindow() const
{
    xcb_window_t window = XCB_WINDOW_NONE;
    if (!xcb_ewmh_get_active_window_reply(m_ewmh.get(), xcb_ewmh_get_active_window(m_ewmh.get(), m_screenNumber), &window, nullptr)
        || window == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    return window;
}

QList<quint32> XcbPropertySource::clientWindowsBottomToTop() const
{
    xcb_ewmh_get_windows_reply_t reply{};
    if (!xcb_ewmh_get_client_list_stacking_reply(m_ewmh.get(), xcb_ewmh_get_client_list_stacking(m_ewmh.get(), m_screenNumber), &reply,
                                                 nullptr)) {
        return {};
    }
    QList<quint32> ids(reply.windows, reply.windows + reply.windows_len);
    xcb_ewmh_get_windows_reply_wipe(&reply);
    return ids;
}

QList<X11Window> XcbPropertySource::windows(const QList<quint32> &ids) const
{
    xcb_ewmh_connection_t *ewmh = m_ewmh.get();
    xcb_connection_t *connection = ewmh->connection;
    QList<WindowCookies> cookies;
    cookies.reserve(ids.size());
    for (const quint32 id : ids) {
        cookies.append({xcb_get_window_attributes(connection, id), xcb_get_geometry(connection, id), xcb_icccm_get_wm_class(connection, id),
                        xcb_ewmh_get_wm_name(ewmh, id), xcb_icccm_get_wm_name(connection, id), xcb_ewmh_get_wm_pid(ewmh, id),
                        xcb_ewmh_get_wm_state(ewmh, id), xcb_ewmh_get_wm_window_type(ewmh, id)});
    }

    QList<X11Window> windows;
    windows.reserve(ids.size());
    for (qsizetype index = 0; index < ids.size(); ++index) {
        const WindowCookies &cookie = cookies.at(index);
        X11Window window;
        window.id = ids.at(index);

        if (ReplyPointer<xcb_get_window_attributes_reply_t> attributes{
                xcb_get_window_attributes_reply(connection, cookie.attributes, nullptr)}) {
            window.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        }
        if (ReplyPointer<xcb_get_geometry_reply_t> geometry{xcb_get_geometry_reply(connection, cookie.geometry, nullptr)})
            window.size = QSize(geometry->width, geometry->height);

        xcb_icccm_get_wm_class_reply_t windowClass{};
        if (xcb_icccm_get_wm_class_reply(connection, cookie.windowClass, &windowClass, nullptr)) {
            window.classInstance = QString::fromLatin1(windowClass.instance_name).left(maximumTextBytes);
            window.className = QString::fromLatin1(windowClass.class_name).left(maximumTextBytes);
            xcb_icccm_get_wm_class_reply_wipe(&windowClass);
        }

        xcb_ewmh_get_utf8_strings_reply_t utf8Name{};
        if (xcb_ewmh_get_wm_name_reply(ewmh, cookie.utf8Name, &utf8Name, nullptr)) {
            window.title = boundedText(utf8Name.strings, utf8Name.strings_len, true);
            xcb_ewmh_get_utf8_strings_reply_wipe(&utf8Name);
        }
        xcb_icccm_get_text_property_reply_t legacyName{};
        if (xcb_icccm_get_wm_name_reply(connection, cookie.legacyName, &legacyName, nullptr)) {
            if (window.title.isEmpty())
                window.title = boundedText(legacyName.name, legacyName.name_len, legacyName.encoding == ewmh->UTF8_STRING);
            xcb_icccm_get_text_property_reply_wipe(&legacyName);
        }

        uint32_t processId = 0;
        if (xcb_ewmh_get_wm_pid_reply(ewmh, cookie.processId, &processId, nullptr) && processId > 0)
            window.processId = processId;

        xcb_ewmh_get_atoms_reply_t state{};
        if (xcb_ewmh_get_wm_state_reply(ewmh, cookie.state, &state, nullptr)) {
            window.hidden = containsAtom(state, ewmh->_NET_WM_STATE_HIDDEN);
            xcb_ewmh_get_atoms_reply_wipe(&state);
        }
        xcb_ewmh_get_atoms_reply_t type{};
        if (xcb_ewmh_get_wm_window_type_reply(ewmh, cookie.type, &type, nullptr)) {
            window.normalType = type.atoms_len == 0 || containsAtom(type, ewmh->_NET_WM_WINDOW_TYPE_NORMAL)
                || containsAtom(type, ewmh->_NET_WM_WINDOW_TYPE_DIALOG);
            xcb_ewmh_get_atoms_reply_wipe(&type);
        }
        windows.append(window);
    }
    return windows;
}
