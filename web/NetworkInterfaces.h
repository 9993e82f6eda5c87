#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <functional>

// One network interface as the device-id rule sees it.
struct NetworkInterfaceEntry
{
    QString name;
    bool loopback = false;
    QString hardwareAddress; // as Qt writes it: "AA:BB:CC:DD:EE:FF"
    QList<QHostAddress> addresses;
};

// The machine's network interfaces in the system's order. Tests replace the
// list so the device id does not depend on the machine that runs them.
class NetworkInterfaces
{
public:
    using Source = std::function<QList<NetworkInterfaceEntry>()>;

    static QList<NetworkInterfaceEntry> list();
    // Replaces the list; an empty source restores the system's.
    static void setSource(Source source);

    // The device id sent to the platform: the hardware address of the first
    // interface that is no loopback and has an IPv4 address other than
    // 127.0.0.1; empty when none qualifies. Whether the interface is up is
    // not looked at.
    static QString firstHardwareAddress();
};
