#pragma once

// The names of this process's threads as the kernel keeps them (15 bytes at
// most), for tests of which threads run.

#include <QStringList>

namespace testsupport {

QStringList threadNames();
// The calling thread's name.
QString currentThreadName();

} // namespace testsupport
