#pragma once

#include <QJsonObject>

namespace mvplatform {

// The optional world file named by MORVASHOW_WORLD: one JSON object whose
// sections each layer reads for itself. An empty object when the variable is
// unset or the file is missing or malformed; layers then use their built-in
// default world.
QJsonObject loadWorld();

} // namespace mvplatform
