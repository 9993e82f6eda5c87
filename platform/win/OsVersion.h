#pragma once

namespace mvplatform {

// The running system's version as the program's start-up check reads it:
// platform id (1 the old consumer family, 2 the NT family), major and minor
// version.
struct OsVersionInfo
{
    bool ok = false; // false: the query failed and the numbers are all 0
    int platformId = 0;
    int major = 0;
    int minor = 0;
};

// The system here is never the one the program was written against, so the
// answer is a setting: NT 6.1 unless the world file's "os" object
// ({"platformId": 2, "major": 5, "minor": 1}, or {"fails": true}) or a test
// says otherwise.
class OsVersion
{
public:
    static OsVersionInfo query();

    // Control face.
    static void steer(int platformId, int major, int minor);
    static void steerFailure();
    static void reset();
};

} // namespace mvplatform
