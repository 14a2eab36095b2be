#include "win32/codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <mutex>

namespace win32 {
namespace {

std::mutex gMutex;
std::string gOverride;

std::string LocaleCodeset()
{
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return "UTF-8";
    std::string name = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    if (name.empty() || name == "ANSI_X3.4-1968") return "UTF-8";
    return name;
}

// One converter per thread and direction, made anew only when the code page
// changes: opening one costs far more than a short conversion.
class Converter {
public:
    ~Converter() { Close(); }
    iconv_t For(const std::string& to, const std::string& from)
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1) && to == to_ && from == from_) return cd_;
        Close();
        cd_ = iconv_open(to.c_str(), from.c_str());
        to_ = to;
        from_ = from;
        return cd_;
    }

private:
    void Close()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
        cd_ = reinterpret_cast<iconv_t>(-1);
    }
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
    std::string to_, from_;
};

bool Convert(iconv_t cd, std::string_view in, std::string& out)
{
    out.clear();
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    out.resize(in.size() * 4 + 16);
    size_t done = 0;
    bool flushing = false;
    for (;;) {
        char* dst = out.data() + done;
        size_t dstLeft = out.size() - done;
        // After the input, a null source writes a stateful encoding's closing shift.
        const size_t rc = flushing ? iconv(cd, nullptr, nullptr, &dst, &dstLeft) : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (rc == static_cast<size_t>(-1)) {
            if (errno != E2BIG) return false;
            out.resize(out.size() * 2);
            continue;
        }
        if (flushing) {
            out.resize(done);
            return true;
        }
        flushing = true;
    }
}

} // namespace

std::string SystemCodePageName()
{
    static const std::string locale = LocaleCodeset();
    std::lock_guard lock(gMutex);
    return gOverride.empty() ? locale : gOverride;
}

bool SystemCodePageToUtf8(std::string_view bytes, std::string& utf8)
{
    thread_local Converter converter;
    return Convert(converter.For("UTF-8", SystemCodePageName()), bytes, utf8);
}

bool Utf8ToSystemCodePage(std::string_view utf8, std::string& bytes)
{
    thread_local Converter converter;
    return Convert(converter.For(SystemCodePageName(), "UTF-8"), utf8, bytes);
}

namespace detail {

void OverrideSystemCodePage(const std::string& name)
{
    std::lock_guard lock(gMutex);
    gOverride = name;
}

} // namespace detail
} // namespace win32
