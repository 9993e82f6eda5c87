#pragma once

// The web clock and the network interfaces as the web tests fix them, so
// stamps, signatures and the device id do not depend on the machine.

#include "NetworkInterfaces.h"
#include "WebClock.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

namespace webtest {

const qint64 kNowMs = 1500000000123LL;
const qint64 kNowSecs = 1500000000LL;
// The device id of the fixed interfaces.
const QString kMac = QStringLiteral("52:54:00:12:34:56");

inline NetworkInterfaceEntry itf(const QString &name, bool loopback, const QString &mac,
                                 const QStringList &addresses)
{
    NetworkInterfaceEntry e;
    e.name = name;
    e.loopback = loopback;
    e.hardwareAddress = mac;
    for (const QString &a : addresses)
        e.addresses << QHostAddress(a);
    return e;
}

// The clock stands at kNowMs; a loopback interface and eth0 (kMac).
inline void fixWebSources()
{
    WebClock::setSource([] { return kNowMs; });
    NetworkInterfaces::setSource([] {
        return QList<NetworkInterfaceEntry>{
            itf("lo", true, "00:00:00:00:00:00", {"127.0.0.1", "::1"}),
            itf("eth0", false, kMac, {"192.0.2.10"}),
        };
    });
}

// Back to the system's clock and interfaces.
inline void restoreWebSources()
{
    WebClock::setSource({});
    NetworkInterfaces::setSource({});
}

} // namespace webtest
