#pragma once

#include "SttRefData.h"

#include <cstddef>

// One frame's bytes in a buffer whose capacity is a multiple of 8192 bytes;
// grows at its end and drops bytes at its front.
class CSttTransmitData : public CSttRefData
{
public:
    static constexpr std::size_t Granule = 8192;

    // size bytes, not initialised. Throws std::bad_alloc when out of memory.
    explicit CSttTransmitData(std::size_t size);
    CSttTransmitData(const void *bytes, std::size_t size);
    ~CSttTransmitData() override;

    char *Data() { return m_data; }
    const char *Data() const { return m_data; }
    std::size_t Size() const { return m_size; }
    std::size_t Capacity() const { return m_capacity; }

    // False, and nothing changes, when the buffer cannot grow.
    bool Append(const void *bytes, std::size_t size);
    void DropFront(std::size_t size);

private:
    bool Reserve(std::size_t size);

    char *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};
