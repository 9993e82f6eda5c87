#include "ShmSegment.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace castcore::x11 {

ShmSegment::~ShmSegment()
{
    release();
}

bool ShmSegment::create(xcb_connection_t *c, size_t bytes)
{
    release();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        qWarning("engine: no shared memory segment of %zu bytes: %s", bytes, std::strerror(errno));
        return false;
    }
    void *data = shmat(id, nullptr, 0);
    if (data == reinterpret_cast<void *>(-1)) {
        qWarning("engine: shared memory segment not mapped: %s", std::strerror(errno));
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    m_connection = c;
    m_data = static_cast<uint8_t *>(data);
    m_size = bytes;
    m_shmId = id;
    m_seg = xcb_generate_id(c);
    xcb_shm_attach(c, m_seg, uint32_t(id), 0);
    return true;
}

void ShmSegment::forgetId()
{
    if (m_shmId >= 0)
        shmctl(m_shmId, IPC_RMID, nullptr);
    m_shmId = -1;
}

void ShmSegment::release()
{
    if (!m_data)
        return;
    xcb_shm_detach(m_connection, m_seg);
    xcb_flush(m_connection);
    forgetId();
    shmdt(m_data);
    m_data = nullptr;
    m_size = 0;
    m_seg = 0;
    m_connection = nullptr;
}

} // namespace castcore::x11
