#include "platform/system/TextEncoding.h"

#include <iconv.h>
#include <langinfo.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// UTF-16 in the machine's own order, the layout of char16_t.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
const char kUtf16[] = "UTF-16LE";
#else
const char kUtf16[] = "UTF-16BE";
#endif

class CIconv {
public:
    CIconv(const std::string& to, const std::string& from) : m_cd(::iconv_open(to.c_str(), from.c_str())) {}
    ~CIconv() {
        if (IsOpen()) ::iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + inLeft) as it can into `sink`; stops at the
    // end or at an invalid or incomplete sequence (returns false, errno set).
    template <class Sink>
    bool Run(const char*& in, size_t& inLeft, Sink&& sink) {
        char buf[4096];
        for (;;) {
            char* out = buf;
            size_t outLeft = sizeof buf;
            size_t r = ::iconv(m_cd, const_cast<char**>(&in), &inLeft, &out, &outLeft);
            int err = errno;
            sink(buf, static_cast<size_t>(out - buf));
            if (r != static_cast<size_t>(-1)) return true;
            if (err != E2BIG) {
                errno = err;
                return false;
            }
        }
    }

    // Writes what a stateful set needs to return to its initial state.
    template <class Sink>
    void Finish(Sink&& sink) {
        char buf[64];
        char* out = buf;
        size_t outLeft = sizeof buf;
        ::iconv(m_cd, nullptr, nullptr, &out, &outLeft);
        sink(buf, static_cast<size_t>(out - buf));
    }

    void Reset() { ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

}  // namespace

bool DecodeText(const std::string& charset, const std::string& bytes, std::u16string& out,
                const DecodeFallback& fallback) {
    out.clear();
    CIconv cd(kUtf16, charset);
    if (!cd.IsOpen()) return false;
    auto sink = [&out](const char* p, size_t n) {
        size_t old = out.size();
        out.resize(old + n / 2);
        std::memcpy(&out[old], p, n / 2 * 2);
    };
    const char* in = bytes.data();
    size_t left = bytes.size();
    while (!cd.Run(in, left, sink)) {
        if (!fallback || (errno != EILSEQ && errno != EINVAL)) {
            out.clear();
            return false;
        }
        size_t used = fallback(in, left, out);
        if (used == 0) used = 1;
        if (used > left) used = left;
        in += used;
        left -= used;
        cd.Reset();
    }
    return true;
}

bool EncodeText(const std::string& charset, const std::u16string& text, std::string& out,
                const std::string* replacement) {
    out.clear();
    CIconv cd(charset, kUtf16);
    if (!cd.IsOpen()) return false;
    auto sink = [&out](const char* p, size_t n) { out.append(p, n); };
    const char* begin = reinterpret_cast<const char*>(text.data());
    const char* in = begin;
    size_t left = text.size() * 2;
    while (!cd.Run(in, left, sink)) {
        if (!replacement || (errno != EILSEQ && errno != EINVAL)) {
            out.clear();
            return false;
        }
        // One character: a surrogate pair counts as one, a lone surrogate too.
        size_t unit = static_cast<size_t>(in - begin) / 2;
        size_t units = 1;
        if (text[unit] >= 0xD800 && text[unit] <= 0xDBFF && unit + 1 < text.size() && text[unit + 1] >= 0xDC00
            && text[unit + 1] <= 0xDFFF)
            units = 2;
        out += *replacement;
        in += units * 2;
        left -= units * 2;
    }
    cd.Finish(sink);
    return true;
}

std::string ThreadCharset() {
    // nl_langinfo answers for the calling thread's locale (uselocale).
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset && *codeset ? codeset : "ANSI_X3.4-1968";
}

std::string UserLanguage() {
    // LANGUAGE lists the user's languages in order of preference, as desktop programs read it.
    if (const char* languages = std::getenv("LANGUAGE")) {
        const std::string first(languages, std::strcspn(languages, ":"));
        if (!first.empty()) return first.compare(0, 2, "ja") == 0 ? "Japanese" : "English";
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::strncmp(value, "ja", 2) == 0 ? "Japanese" : "English";
    }
    return "English";
}

}  // namespace platform
