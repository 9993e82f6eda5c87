#pragma once

#include <atomic>

// A reference-counted object: it starts with one reference, owned by its
// creator, and deletes itself when the last one is released.
class CSttRefData
{
public:
    CSttRefData() = default;
    virtual ~CSttRefData() = default;

    CSttRefData(const CSttRefData &) = delete;
    CSttRefData &operator=(const CSttRefData &) = delete;

    void AddRef() { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void Release()
    {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    int RefCount() const { return m_refs.load(std::memory_order_acquire); }

private:
    std::atomic<int> m_refs{1};
};

// So that boost::intrusive_ptr can hold any of them.
inline void intrusive_ptr_add_ref(CSttRefData *p)
{
    p->AddRef();
}

inline void intrusive_ptr_release(CSttRefData *p)
{
    p->Release();
}
