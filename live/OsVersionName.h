#pragma once

#include <QString>

// Asks the system for its version and names it. The three numbers (any may be
// null when not wanted) are the platform id, the major and the minor version;
// all 0 when the query fails, and the name is then empty. The names cover the
// old systems the start-up check refuses; NT 6.1 and later have none.
QString osVersionName(int *platformId, int *major, int *minor);
