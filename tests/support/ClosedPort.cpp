#include "ClosedPort.h"

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

quint16 bindWithoutListening()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        qFatal("closedLoopbackPort: no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        qFatal("closedLoopbackPort: cannot bind 127.0.0.1");
    // The descriptor is kept open on purpose: the port stays ours.
    return ntohs(address.sin_port);
}

} // namespace

quint16 closedLoopbackPort()
{
    static const quint16 port = bindWithoutListening();
    return port;
}

QString closedLoopbackHost()
{
    return QStringLiteral("127.0.0.1:%1").arg(closedLoopbackPort());
}

} // namespace testsupport
