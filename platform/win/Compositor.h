#pragma once

namespace mvplatform {

// Whether a compositing manager runs on the display, so that a translucent
// top-level window blends with what lies below it instead of showing black.
//
// On X11 the answer is whether the _NET_WM_CM_S<screen> selection has an
// owner; on Wayland it is always yes. The offscreen platform has no display:
// it answers the world file's "compositor" flag, false when absent. Tests
// steer the answer on any platform.
class Compositor
{
public:
    static bool isPresent();

    // Control face.
    static void steer(bool present);
    static void reset();
};

} // namespace mvplatform
