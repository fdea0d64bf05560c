// Excel4v: the add-in's single door into the host. The host program exports MdCallBack; we find it in
// the running process the first time a call is made and keep it.
#include "xll/xlcall.h"

#include <dlfcn.h>

#include <cstdarg>

namespace {

XlMdCallBackProc g_callback = nullptr;

XlMdCallBackProc FindHost() {
    if (g_callback == nullptr) {
        // Only a successful lookup is kept, so a host that appears later (a test that loads the
        // host's library after the add-in) is still found.
        void* sym = dlsym(RTLD_DEFAULT, "MdCallBack");
        g_callback = reinterpret_cast<XlMdCallBackProc>(sym);
    }
    return g_callback;
}

}  // namespace

extern "C" int Excel4v(int xlfn, XLOPER* result, int count, XLOPER** args) {
    if (count < 0 || count > XL_MAX_ARGS || (count > 0 && args == nullptr)) return XLRET_INVALID_COUNT;
    for (int i = 0; i < count; ++i)
        if (args[i] == nullptr) return XLRET_INVALID_VALUE;
    XlMdCallBackProc host = FindHost();
    if (host == nullptr) return XLRET_FAILED;
    return host(xlfn, count, args, result);
}

extern "C" int Excel4(int xlfn, XLOPER* result, int count, ...) {
    if (count < 0 || count > XL_MAX_ARGS) return XLRET_INVALID_COUNT;
    XLOPER* args[XL_MAX_ARGS];
    va_list ap;
    va_start(ap, count);
    for (int i = 0; i < count; ++i) args[i] = va_arg(ap, XLOPER*);
    va_end(ap);
    return Excel4v(xlfn, result, count, args);
}

extern "C" size_t XlUtf8CutLength(const char* text, size_t len, size_t limit) {
    if (len <= limit) return len;
    size_t cut = limit;
    // Step back over continuation bytes (10xxxxxx) to the lead byte of the sequence that straddles
    // the limit; cutting before that lead byte keeps every sequence whole.
    // A UTF-8 sequence has at most three continuation bytes; malformed text is cut at the limit.
    for (int back = 0; back < 4 && cut > 0; ++back) {
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) return cut;
        --cut;
    }
    return (static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80 ? cut : limit;
}
