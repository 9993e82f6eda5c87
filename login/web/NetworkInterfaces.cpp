#include "NetworkInterfaces.h"

#include <QNetworkInterface>

#include <mutex>

namespace {

std::mutex &sourceMutex()
{
    static std::mutex m;
    return m;
}

NetworkInterfaces::Source &interfaceSource()
{
    static NetworkInterfaces::Source source;
    return source;
}

QList<NetworkInterfaceEntry> systemInterfaces()
{
    QList<NetworkInterfaceEntry> out;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &itf : all) {
        NetworkInterfaceEntry e;
        e.name = itf.name();
        e.loopback = itf.flags().testFlag(QNetworkInterface::IsLoopBack);
        e.hardwareAddress = itf.hardwareAddress();
        const QList<QNetworkAddressEntry> entries = itf.addressEntries();
        for (const QNetworkAddressEntry &a : entries)
            e.addresses << a.ip();
        out << e;
    }
    return out;
}

} // namespace

QList<NetworkInterfaceEntry> NetworkInterfaces::list()
{
    Source source;
    {
        std::lock_guard<std::mutex> lock(sourceMutex());
        source = interfaceSource();
    }
    return source ? source() : systemInterfaces();
}

void NetworkInterfaces::setSource(Source source)
{
    std::lock_guard<std::mutex> lock(sourceMutex());
    interfaceSource() = std::move(source);
}

QString NetworkInterfaces::firstHardwareAddress()
{
    const QHostAddress localHost(QHostAddress::LocalHost);
    const QList<NetworkInterfaceEntry> all = list();
    for (const NetworkInterfaceEntry &itf : all) {
        if (itf.loopback)
            continue;
        for (const QHostAddress &a : itf.addresses) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol && a != localHost)
                return itf.hardwareAddress;
        }
    }
    return QString();
}
