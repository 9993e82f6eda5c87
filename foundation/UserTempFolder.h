#pragma once

#include <QString>

// A folder of the current user's own under the temporary folder. On Linux
// every user of a machine shares /tmp, so a fixed folder there may already
// belong to another user, who then holds it against everybody else.
//
// Answers `preferred` when it is a real folder (not a link) that this user
// owns and may write to, making it (and missing parents) when it is missing.
// Otherwise answers `preferred` + "-" + the user id, made with mode 0700 when
// missing and used under the same conditions. Empty when neither will do.
QString userTempFolder(const QString &preferred);
