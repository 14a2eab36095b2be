#include "win32/handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace win32::detail {
namespace {

struct HandleTable {
    std::mutex mutex;
    uintptr_t next = 0x100;
    std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects;
};

HandleTable& Table()
{
    static HandleTable table;
    return table;
}

uintptr_t Key(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

} // namespace

HandleObject::~HandleObject() = default;

HANDLE Register(std::unique_ptr<HandleObject> object)
{
    return RegisterShared(std::shared_ptr<HandleObject>(std::move(object)));
}

HANDLE RegisterShared(std::shared_ptr<HandleObject> object)
{
    if (!object)
        return nullptr;
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    // Multiples of 4, as the system's handles are.
    const uintptr_t key = t.next;
    t.next += 4;
    t.objects.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
}

HandleObject* Lookup(HANDLE handle)
{
    return Acquire(handle).get();
}

std::shared_ptr<HandleObject> Acquire(HANDLE handle)
{
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    const auto it = t.objects.find(Key(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool Release(HANDLE handle)
{
    std::shared_ptr<HandleObject> doomed;
    HandleTable& t = Table();
    {
        std::lock_guard lock(t.mutex);
        const auto it = t.objects.find(Key(handle));
        if (it == t.objects.end())
            return false;
        doomed = std::move(it->second);
        t.objects.erase(it);
    }
    // Destroyed outside the lock: a destructor may close files or call back.
    return true;
}

} // namespace win32::detail
