#include "SttTransmitData.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

CSttTransmitData::CSttTransmitData(std::size_t size)
{
    if (!Reserve(size))
        throw std::bad_alloc();
    m_size = size;
}

CSttTransmitData::CSttTransmitData(const void *bytes, std::size_t size)
    : CSttTransmitData(size)
{
    if (size)
        std::memcpy(m_data, bytes, size);
}

CSttTransmitData::~CSttTransmitData()
{
    std::free(m_data);
}

bool CSttTransmitData::Reserve(std::size_t size)
{
    if (size <= m_capacity && m_data)
        return true;
    if (size > SIZE_MAX - Granule)
        return false;
    const std::size_t capacity = size == 0 ? Granule : (size + Granule - 1) / Granule * Granule;
    char *grown = static_cast<char *>(std::realloc(m_data, capacity));
    if (!grown)
        return false;
    m_data = grown;
    m_capacity = capacity;
    return true;
}

bool CSttTransmitData::Append(const void *bytes, std::size_t size)
{
    if (size > SIZE_MAX - m_size || !Reserve(m_size + size))
        return false;
    if (size)
        std::memcpy(m_data + m_size, bytes, size);
    m_size += size;
    return true;
}

void CSttTransmitData::DropFront(std::size_t size)
{
    if (size >= m_size) {
        m_size = 0;
        return;
    }
    std::memmove(m_data, m_data + size, m_size - size);
    m_size -= size;
}
