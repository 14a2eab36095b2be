// Sets LANG for one test, unsets the LC_* variables, and restores all of
// them afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace vantrel_test {

class ScopedLocaleEnv {
public:
    explicit ScopedLocaleEnv(const char* lang)
    {
        for (const char* name : {"LANG", "LC_ALL", "LC_ADDRESS", "LC_IDENTIFICATION", "LC_MONETARY", "LC_NUMERIC", "LC_TIME"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
            ::unsetenv(name);
        }
        ::setenv("LANG", lang, 1);
    }
    ~ScopedLocaleEnv()
    {
        for (const auto& [name, value] : saved_) value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

} // namespace vantrel_test
