// The process's table of Windows handles. Each kind of object the layer
// hands out behind a HANDLE (open files, searches, ...) derives from
// HandleObject and is registered here; CloseHandle and the like release it.
#pragma once

#include "win32/types.h"

#include <memory>

namespace win32::detail {

/// Base of every object behind a handle; the destructor frees its resources.
class HandleObject {
public:
    HandleObject() = default;
    HandleObject(const HandleObject&) = delete;
    HandleObject& operator=(const HandleObject&) = delete;
    virtual ~HandleObject();
};

/// Stores the object and returns its new handle (never null nor
/// INVALID_HANDLE_VALUE; handle values are not reused).
HANDLE Register(std::unique_ptr<HandleObject> object);

/// Register for an object already shared (made with std::make_shared, which
/// spares an allocation).
HANDLE RegisterShared(std::shared_ptr<HandleObject> object);

/// The object behind a handle, or nullptr. The pointer is valid until the
/// handle is released; prefer Acquire when another thread may close it.
HandleObject* Lookup(HANDLE handle);

/// The object behind a handle, kept alive by the result even when another
/// thread releases the handle meanwhile.
std::shared_ptr<HandleObject> Acquire(HANDLE handle);

/// Acquire, typed: nullptr when the handle is unknown or of another kind.
template <class T>
std::shared_ptr<T> AcquireAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(Acquire(handle));
}

/// Removes the handle; the object is destroyed once no Acquire result holds
/// it. False when the handle is unknown.
bool Release(HANDLE handle);

} // namespace win32::detail
