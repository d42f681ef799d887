// SPDX-License-Identifier: MIT
// Purpose: notices when the host program's window goes away, taking the embedded window with it.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QWindow>

namespace enlazio {

// X11: the server destroys a child window with its parent and tells us so. Without this
// the tool would run on with no window at all. Other platforms never report it.
class HostWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Watches the native window embedded, a child of the host's. Installs itself.
    explicit HostWatch(WId embedded, QObject* parent = nullptr);
    ~HostWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void hostGone();

private:
    WId m_embedded;
};

} // namespace enlazio
