#pragma once

// How every operation of the engine layer meets the control face: recorded
// in the call log, then held while its gate is closed, then steered by the
// scripts.

#include "CastCoreControl.h"
#include "SceneItem.h"

#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace castcore {

inline void enter(const char *op, std::vector<std::string> args = {})
{
    control().log().record(op, std::move(args));
    control().gates().pass(op);
}

// A scripted failure (0 or below) of an operation that returns an id.
inline std::optional<int> scriptedFailure(const char *op)
{
    const std::optional<int> v = control().ints().take(op);
    if (v && *v <= 0)
        return v;
    return std::nullopt;
}

// A scripted false of a boolean operation.
inline bool scriptedRefusal(const char *op)
{
    const std::optional<bool> v = control().bools().take(op);
    return v && !*v;
}

inline std::string arg(const char *s)
{
    return mvplatform::toArg(s);
}

inline std::string arg(const char16_t *s)
{
    return s ? mvplatform::toArg(std::u16string(s)) : std::string("(null)");
}

inline std::string ptrArg(const void *p)
{
    return p ? "set" : "null";
}

template <class T, class = std::enable_if_t<std::is_arithmetic<T>::value>>
std::string arg(T v)
{
    return mvplatform::toArg(v);
}

} // namespace castcore
