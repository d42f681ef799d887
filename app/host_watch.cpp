// SPDX-License-Identifier: MIT
// Purpose: notices when the host program's window goes away, taking the embedded window with it.
#include "app/host_watch.h"

#include <QCoreApplication>

#include <xcb/xproto.h>

namespace enlazio {

HostWatch::HostWatch(WId embedded, QObject* parent)
    : QObject(parent)
    , m_embedded(embedded)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

HostWatch::~HostWatch()
{
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool HostWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result)
{
    Q_UNUSED(result);
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The high bit marks events sent by another client; the type is the rest.
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
        return false;
    const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
    if (destroyed->window == m_embedded)
        Q_EMIT hostGone();
    return false;
}

} // namespace enlazio
