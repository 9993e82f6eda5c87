#pragma once

#include <QString>

namespace testsupport {

// A port on 127.0.0.1 where nothing listens, for tests of failed
// connections: the first call binds it and never listens on it, and the
// socket stays open for the rest of the run, so every connection to it is
// refused and no other program can take the port meanwhile. A fixed port
// such as 9 may have a listener on some machine.
quint16 closedLoopbackPort();
// "127.0.0.1:<closedLoopbackPort()>", as the host table takes it.
QString closedLoopbackHost();

} // namespace testsupport
