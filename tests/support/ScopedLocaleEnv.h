// Sets the locale variables of the environment for one test and restores
// them afterwards: LANG as given, every LC_* variable unset.
//
//   vantrel_test::ScopedLocaleEnv env("de_DE.UTF-8");
//   env.set("LC_TIME", "en_US.UTF-8");
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantrel_test {

class ScopedLocaleEnv {
public:
    explicit ScopedLocaleEnv(const std::string& lang)
    {
        for (const char* name : {"LANG", "LC_ALL", "LC_ADDRESS", "LC_IDENTIFICATION", "LC_MONETARY", "LC_NUMERIC",
                                 "LC_TIME", "LC_MESSAGES", "LC_CTYPE", "LANGUAGE"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        set("LANG", lang);
    }
    ~ScopedLocaleEnv()
    {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    ScopedLocaleEnv(const ScopedLocaleEnv&) = delete;
    ScopedLocaleEnv& operator=(const ScopedLocaleEnv&) = delete;

    void set(const std::string& name, const std::string& value) const { ::setenv(name.c_str(), value.c_str(), 1); }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace vantrel_test
