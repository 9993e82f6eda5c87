#include "MediaSinks.h"

#include <chrono>

namespace castcore {

int64_t mediaNowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace castcore
