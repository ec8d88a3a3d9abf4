#include "platform/store/ObjectPool.h"

#include <array>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QV_POOL_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_POOL_CHECKED 1
#endif
#endif

namespace qv::store::detail {

#ifndef QV_POOL_CHECKED

namespace {

constexpr std::size_t kGrain = 16;
constexpr std::size_t kClasses = 24; // sizes up to 384 bytes; bigger ones are the global allocation's
constexpr std::size_t kBlock = 64 * 1024;

class ObjectPool {
public:
    void* allocate(std::size_t size)
    {
        const std::size_t index = classOf(size);
        if (index >= kClasses)
            return ::operator new(size);
        const std::lock_guard lock(m_mutex);
        SizeClass& c = m_classes[index];
        const std::size_t rounded = (index + 1) * kGrain;
        if (c.free) {
            FreeNode* node = c.free;
            c.free = node->next;
            m_idle -= rounded;
            return node;
        }
        if (!c.next || std::size_t(c.end - c.next) < rounded) {
            // What is left of the block stays idle for good.
            c.next = static_cast<char*>(::operator new(kBlock));
            c.end = c.next + kBlock;
            m_idle += kBlock;
        }
        void* memory = c.next;
        c.next += rounded;
        m_idle -= rounded;
        return memory;
    }

    void release(void* memory, std::size_t size)
    {
        const std::size_t index = classOf(size);
        if (index >= kClasses) {
            ::operator delete(memory);
            return;
        }
        const std::lock_guard lock(m_mutex);
        SizeClass& c = m_classes[index];
        c.free = new (memory) FreeNode{c.free};
        m_idle += (index + 1) * kGrain;
    }

    std::size_t idle()
    {
        const std::lock_guard lock(m_mutex);
        return m_idle;
    }

private:
    struct FreeNode {
        FreeNode* next;
    };
    struct SizeClass {
        char* next = nullptr;
        char* end = nullptr;
        FreeNode* free = nullptr;
    };

    static std::size_t classOf(std::size_t size) { return size == 0 ? 0 : (size - 1) / kGrain; }

    std::mutex m_mutex;
    std::array<SizeClass, kClasses> m_classes{};
    std::size_t m_idle = 0;
};

ObjectPool& pool()
{
    // Never destroyed: objects of contexts that outlive static destruction are still freed into it.
    static auto* instance = new ObjectPool;
    return *instance;
}

} // namespace

void* allocateObject(std::size_t size)
{
    return pool().allocate(size);
}

void releaseObject(void* memory, std::size_t size)
{
    if (memory)
        pool().release(memory, size);
}

std::size_t idlePoolBytes()
{
    return pool().idle();
}

#else

void* allocateObject(std::size_t size)
{
    return ::operator new(size);
}

void releaseObject(void* memory, std::size_t /*size*/)
{
    ::operator delete(memory);
}

std::size_t idlePoolBytes()
{
    return 0;
}

#endif

} // namespace qv::store::detail
