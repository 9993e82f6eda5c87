#include "NetworkInterfaces.h"

#include "SwappableSource.h"

#include <QNetworkInterface>

namespace {

SwappableSource<NetworkInterfaces::Source> &interfaceSource()
{
    static SwappableSource<NetworkInterfaces::Source> source;
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
    const Source source = interfaceSource().get();
    return source ? source() : systemInterfaces();
}

void NetworkInterfaces::setSource(Source source)
{
    interfaceSource().set(std::move(source));
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
