#include "xcbactivationwatcher.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>

std::unique_ptr<XcbActivationWatcher> XcbActivationWatcher::connect(const QByteArray &displayName)
{
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && screens.rem > 0; ++index)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const xcb_window_t root = screens.data->root;

    constexpr char atomName[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t *atom
        = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof(atomName) - 1, atomName), nullptr);
    if (!atom) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const quint32 activeWindowAtom = atom->atom;
    std::free(atom);

    const quint32 eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &eventMask);
    xcb_flush(connection);
    return std::unique_ptr<XcbActivationWatcher>(new XcbActivationWatcher(connection, activeWindowAtom));
}

XcbActivationWatcher::XcbActivationWatcher(xcb_connection_t *connection, quint32 activeWindowAtom)
    : m_connection(connection)
    , m_activeWindowAtom(activeWindowAtom)
    , m_notifier(new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read, this))
{
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, &XcbActivationWatcher::readEvents);
}

XcbActivationWatcher::~XcbActivationWatcher()
{
    m_notifier->setEnabled(false);
    xcb_disconnect(m_connection);
}

void XcbActivationWatcher::readEvents()
{
    bool changed = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY)
            changed = changed || reinterpret_cast<xcb_property_notify_event_t *>(event)->atom == m_activeWindowAtom;
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        // The X server went away: nothing more will come.
        m_notifier->setEnabled(false);
        return;
    }
    if (changed)
        Q_EMIT activeWindowChanged();
}
