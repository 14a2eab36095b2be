// Reading an integer text: leading spaces, one sign, a decimal number in the
// signed 32-bit range or a hexadecimal one after "$", "x", "X", "0x", "0X".
#pragma once

#include <cstdint>
#include <string_view>

namespace vantrel::detail {

/// True when the whole of s is an integer text; its value goes to value.
bool ParseIntegerText(std::string_view s, int32_t& value);

} // namespace vantrel::detail
