#include "uDyxSubs.h"

#include "win32/windowmsg.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace vantrel {

void SendPcoessData(win32::HWND Wnd, uint32_t WParam, const std::string& Data, uint32_t Tag)
{
    try {
        // The byte count is 32 bits wide: a longer text cannot be described.
        if (Data.size() >= UINT32_MAX) return;
        std::vector<char> block(Data.size() + 1, '\0'); // the bytes after an embedded NUL stay zero
        std::memcpy(block.data(), Data.data(), std::strlen(Data.c_str()));
        win32::COPYDATASTRUCT record{Tag, static_cast<win32::DWORD>(block.size()), block.data()};
        win32::SendMessageA(Wnd, win32::WM_COPYDATA, WParam, reinterpret_cast<win32::LPARAM>(&record));
    } catch (...) {
        // Nothing of a send reaches the caller.
    }
}

} // namespace vantrel
