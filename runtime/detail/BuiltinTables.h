// The built-in language tables, compiled in from runtime/lang/table*.lang.
#pragma once

#include <string_view>

namespace vantrel::detail {

/// Table i holds the bytes of runtime/lang/table<i>.lang.
extern const std::string_view kBuiltinTables[];
extern const int kBuiltinTableCount;

} // namespace vantrel::detail
