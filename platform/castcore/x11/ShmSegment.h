#pragma once

// A System V shared-memory segment attached both here and to the X server,
// through which images travel without being copied over the socket.

#include <xcb/shm.h>

#include <cstddef>
#include <cstdint>

namespace castcore::x11 {

class ShmSegment
{
public:
    ShmSegment() = default;
    ~ShmSegment();
    ShmSegment(const ShmSegment &) = delete;
    ShmSegment &operator=(const ShmSegment &) = delete;

    // Replaces the segment by one of `bytes`; false (and none) when the
    // system refuses one. The server's attach is not waited for: a refusal
    // shows as the error of the first request that uses the segment.
    bool create(xcb_connection_t *c, size_t bytes);
    void release();

    bool valid() const { return m_data != nullptr; }
    uint8_t *data() const { return m_data; }
    size_t size() const { return m_size; }
    xcb_shm_seg_t id() const { return m_seg; }
    // Once the server has used the segment it holds its own mapping, and the
    // id can go: nothing is left behind should the process die.
    void forgetId();

private:
    xcb_connection_t *m_connection = nullptr;
    uint8_t *m_data = nullptr;
    size_t m_size = 0;
    int m_shmId = -1;
    xcb_shm_seg_t m_seg = 0;
};

} // namespace castcore::x11
