#include "addin/host/messages.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "addin/host/xlstate.h"
#include "addin/numerics/numerics_error.h"
#include "addin/resources/resources.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {
constexpr unsigned char kSeparator = 0xAC;
MessageBoxFrontEnd g_frontEnd = &DefaultMessageBox;

// Puts the separator byte before every conversion of `fmt` ("%%" is not a conversion).
std::string SeparatedFormat(const char* fmt) {
    std::string out;
    for (const char* p = fmt; *p; ++p) {
        if (*p == '%') {
            if (p[1] == '%') {
                out += "%%";
                ++p;
                continue;
            }
            out += static_cast<char>(kSeparator);
        }
        out += *p;
    }
    return out;
}

// Splits the formatted argument list at separator bytes. Argument texts are UTF-8, where 0xAC also
// occurs as a continuation byte ("€" is E2 82 AC); a byte counts as a separator only where no
// continuation byte is expected.
std::vector<std::string_view> SplitArguments(std::string_view list) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    int pending = 0;  // continuation bytes still expected
    bool first = true;
    for (size_t i = 0; i < list.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(list[i]);
        if (pending > 0 && (c & 0xC0) == 0x80) {
            --pending;
            continue;
        }
        pending = 0;
        if (c == kSeparator) {
            if (!first) parts.push_back(list.substr(start, i - start));
            first = false;
            start = i + 1;
            continue;
        }
        if ((c & 0xE0) == 0xC0)
            pending = 1;
        else if ((c & 0xF0) == 0xE0)
            pending = 2;
        else if ((c & 0xF8) == 0xF0)
            pending = 3;
    }
    if (!first) parts.push_back(list.substr(start));
    return parts;
}

std::string Cut(std::string s) {
    s.resize(Utf8Cut(s, kMessageLimit));
    return s;
}

void UpperFirst(std::string& s) {
    if (s.empty()) return;
    unsigned char c = static_cast<unsigned char>(s[0]);
    if (c >= 'a' && c <= 'z') {
        s[0] = static_cast<char>(c - 32);
    } else if (c == 0xC3 && s.size() > 1) {
        // Latin-1 lower-case letters à..þ (except ÷) map to À..Þ.
        unsigned char d = static_cast<unsigned char>(s[1]);
        if (d >= 0xA0 && d <= 0xBE && d != 0xB7) s[1] = static_cast<char>(d - 0x20);
    }
}

std::string FormatList(const char* fmt, va_list ap) {
    if (!fmt || !*fmt) return {};
    std::string sep = SeparatedFormat(fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, sep.c_str(), copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), sep.c_str(), ap);
    out.resize(static_cast<size_t>(n));
    return out;
}
}  // namespace

CSharedString LoadString(unsigned id) {
    const char* s = res::FindString(id);
    return CSharedString(s ? s : "");
}

std::string SubstituteArguments(std::string_view message, std::string_view args) {
    std::vector<std::string_view> parts = SplitArguments(args);
    std::string out;
    for (size_t i = 0; i < message.size(); ++i) {
        char c = message[i];
        if (c == '%' && i + 1 < message.size()) {
            char d = message[i + 1];
            if (d >= '1' && d <= '9') {
                size_t k = static_cast<size_t>(d - '1');
                if (k < parts.size()) out.append(parts[k]);
                ++i;
                continue;
            }
            if (d == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += c;
        if (out.size() > kMessageLimit + 4) break;  // the rest is cut anyway
    }
    return Cut(std::move(out));
}

CSharedString FormatMessageV(unsigned id, const char* fmt, va_list ap) {
    return CSharedString(SubstituteArguments(LoadString(id).view(), FormatList(fmt, ap)));
}

CSharedString FormatMessage(unsigned id, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    CSharedString s = FormatMessageV(id, fmt, ap);
    va_end(ap);
    return s;
}

CSharedString FormatError(unsigned id, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = FormatMessageV(id, fmt, ap).str();
    va_end(ap);
    UpperFirst(s);
    return CSharedString(s);
}

CStdException* MakeMessage(unsigned id, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = FormatMessageV(id, fmt, ap).str();
    va_end(ap);
    UpperFirst(s);
    return new CStdException(CSharedString(s), id);
}

void ThrowMessage(unsigned id, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = FormatMessageV(id, fmt, ap).str();
    va_end(ap);
    UpperFirst(s);
    throw new CStdException(CSharedString(s), id);
}

MessageBoxFrontEnd SetMessageBoxFrontEnd(MessageBoxFrontEnd frontEnd) {
    MessageBoxFrontEnd old = g_frontEnd;
    g_frontEnd = frontEnd ? frontEnd : &DefaultMessageBox;
    return old;
}

int DefaultMessageBox(const char* text, unsigned style, unsigned) {
    std::fprintf(stderr, "Quelstat: %s\n", text);
    std::fflush(stderr);
    switch (style & 0xF) {
        case MB_ABORTRETRYIGNORE: return IDABORT;
        case MB_YESNOCANCEL:
        case MB_YESNO: return IDYES;
        case MB_RETRYCANCEL: return IDRETRY;
        default: return IDOK;
    }
}

bool ShowText(const CSharedString& text, unsigned style, unsigned helpId) {
    int answer;
    {
        XlStateScope scope(0, 0, true);
        answer = g_frontEnd(text.c_str(), style, helpId);
    }
    return answer == IDOK || answer == IDYES || answer == IDRETRY;
}

bool ShowMessage(unsigned id, unsigned style, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    CSharedString s = FormatMessageV(id, fmt, ap);
    va_end(ap);
    return ShowText(s, style, id);
}

bool ShowException(const CException* e, unsigned style) {
    if (!e) return false;
    char buf[kMessageLimit + 1];
    unsigned help = 0;
    e->GetErrorMessage(buf, sizeof buf, &help);
    return ShowText(CSharedString(buf), style, help);
}

CException* CaughtException() {
    try {
        throw;
    } catch (CException* e) {
        return e;
    } catch (const numerics::NumericsError& e) {
        return new CStdException(CSharedString(e.what()), 0);
    } catch (const std::bad_alloc&) {
        return CMemoryException::Exhausted();
    } catch (const std::exception& e) {
        LogEntry("unexpected exception: %s", e.what());
        return MakeMessage(ids::kMessageUnexpectedError, "%s", e.what());
    } catch (...) {
        LogEntry("unexpected exception of unknown type");
        return MakeMessage(ids::kMessageUnexpectedError, "%s", "unknown exception");
    }
}

}  // namespace qs
