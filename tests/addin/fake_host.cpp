#include "fake_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "addin/host/exports.h"
#include "addin/host/messages.h"

namespace fake {

Host& host() {
    static Host h;
    return h;
}

void Host::Reset() {
    calls.clear();
    answers.clear();
    version = "8.0";
    screenUpdating = true;
    escPressed = false;
    nextRegisterId = 100;
    freed = 0;
    messages.clear();
}

std::vector<Call> Host::CallsOf(int fn) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if ((c.fn & ~XLBIT_INTL) == fn) out.push_back(c);
    return out;
}

std::vector<std::string> Host::Log() const {
    std::vector<std::string> out;
    for (const Call& c : calls) out.push_back(c.Text());
    return out;
}

std::string Call::Text() const {
    std::string s = std::to_string(fn & ~(XLBIT_INTL | XLBIT_COMMAND)) + "(";
    for (size_t i = 0; i < args.size(); ++i) s += (i ? ", " : "") + args[i];
    return s + ")";
}

std::string ValueText(const XLOPER& v) {
    char buf[64];
    switch (v.xltype & XLTYPE_MASK) {
        case XLTYPE_NUM: std::snprintf(buf, sizeof buf, "%g", v.val.num); return buf;
        case XLTYPE_STR: return "\"" + std::string(reinterpret_cast<const char*>(v.val.str + 1), v.val.str[0]) + "\"";
        case XLTYPE_BOOL: return v.val.xbool ? "TRUE" : "FALSE";
        case XLTYPE_ERR: return "#" + std::to_string(v.val.err);
        case XLTYPE_MISSING: return "<missing>";
        case XLTYPE_NIL: return "<nil>";
        case XLTYPE_SREF:
            std::snprintf(buf, sizeof buf, "R%dC%d:R%dC%d", v.val.sref.ref.rwFirst + 1, v.val.sref.ref.colFirst + 1,
                          v.val.sref.ref.rwLast + 1, v.val.sref.ref.colLast + 1);
            return buf;
        case XLTYPE_REF: return "<ref>";
        case XLTYPE_MULTI: {
            std::string s = "{";
            for (int r = 0; r < v.val.array.rows; ++r)
                for (int c = 0; c < v.val.array.columns; ++c) {
                    if (r || c) s += c ? "," : ";";
                    s += ValueText(v.val.array.lparray[r * v.val.array.columns + c]);
                }
            return s + "}";
        }
        default: return "<type " + std::to_string(v.xltype) + ">";
    }
}

void SetText(XLOPER* r, const std::string& text) {
    size_t n = text.size() > 255 ? 255 : text.size();
    auto* s = static_cast<uint8_t*>(std::malloc(n + 1));
    s[0] = static_cast<uint8_t>(n);
    std::memcpy(s + 1, text.data(), n);
    r->val.str = s;
    r->xltype = XLTYPE_STR;
    ++host().allocated;
}
void SetNumber(XLOPER* r, double d) {
    r->xltype = XLTYPE_NUM;
    r->val.num = d;
}
void SetBool(XLOPER* r, bool b) {
    r->xltype = XLTYPE_BOOL;
    r->val.xbool = b;
}
void SetError(XLOPER* r, int code) {
    r->xltype = XLTYPE_ERR;
    r->val.err = static_cast<uint16_t>(code);
}

namespace {
int Record(const char* text, unsigned, unsigned) {
    host().messages.push_back(text);
    return 1;  // OK
}

void FreeValue(XLOPER* v) {
    switch (v->xltype & XLTYPE_MASK) {
        case XLTYPE_STR:
            std::free(v->val.str);
            --host().allocated;
            break;
        case XLTYPE_REF:
            std::free(v->val.mref.lpmref);
            --host().allocated;
            break;
        case XLTYPE_MULTI:
            for (int i = 0; i < v->val.array.rows * v->val.array.columns; ++i) FreeValue(&v->val.array.lparray[i]);
            std::free(v->val.array.lparray);
            --host().allocated;
            break;
        default: break;
    }
}

int Default(int fn, int count, XLOPER** args, XLOPER* result) {
    Host& h = host();
    auto num = [&](int i) {
        return i < count && (args[i]->xltype & XLTYPE_MASK) == XLTYPE_NUM ? args[i]->val.num : -1;
    };
    switch (fn) {
        case xlFree:
            ++h.freed;
            for (int i = 0; i < count; ++i) FreeValue(args[i]);
            return XLRET_SUCCESS;
        case xlGetName:
            if (result) SetText(result, "/opt/quelstat/quelstat.xll");
            return XLRET_SUCCESS;
        case xlAbort:
            if (count == 0 && result) SetBool(result, h.escPressed);
            if (count == 1) h.escPressed = false;
            return XLRET_SUCCESS;
        case xlSheetNm:
            if (result) SetText(result, "[Book1]Sheet1");
            return XLRET_SUCCESS;
        case xlCoerce: {
            if (!result || count < 2) return XLRET_INVALID_VALUE;
            int want = static_cast<int>(args[1]->val.num);
            XLOPER& v = *args[0];
            int t = v.xltype & XLTYPE_MASK;
            if ((want & XLTYPE_NUM) && t == XLTYPE_STR) {
                std::string s(reinterpret_cast<char*>(v.val.str + 1), v.val.str[0]);
                char* end = nullptr;
                double d = std::strtod(s.c_str(), &end);
                if (s.empty() || *end)
                    SetError(result, XLERR_VALUE);
                else
                    SetNumber(result, d);
                return XLRET_SUCCESS;
            }
            if ((want & XLTYPE_STR) && t == XLTYPE_NUM) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%g", v.val.num);
                SetText(result, buf);
                return XLRET_SUCCESS;
            }
            if ((want & XLTYPE_NUM) && t == XLTYPE_SREF) {
                SetNumber(result, 0);  // every cell of the fake's sheets is 0
                return XLRET_SUCCESS;
            }
            if ((want & XLTYPE_MULTI) && (t == XLTYPE_NUM || t == XLTYPE_STR || t == XLTYPE_BOOL)) {
                auto* el = static_cast<XLOPER*>(std::calloc(1, sizeof(XLOPER)));
                el->xltype = static_cast<uint16_t>(t);
                el->val = v.val;
                if (t == XLTYPE_STR) {
                    SetText(el, std::string(reinterpret_cast<char*>(v.val.str + 1), v.val.str[0]));
                }
                result->xltype = XLTYPE_MULTI;
                result->val.array.lparray = el;
                result->val.array.rows = 1;
                result->val.array.columns = 1;
                ++h.allocated;
                return XLRET_SUCCESS;
            }
            return XLRET_INVALID_VALUE;
        }
        case XLF_GET_WORKSPACE:
            if (!result) return XLRET_SUCCESS;
            if (num(0) == 2)
                SetText(result, h.version);
            else if (num(0) == 40)
                SetBool(result, h.screenUpdating);
            else if (num(0) == 26)
                SetText(result, "Tester");
            else if (num(0) == 10)
                SetNumber(result, 1);
            else
                SetError(result, XLERR_VALUE);
            return XLRET_SUCCESS;
        case XLC_ECHO:
            if (count > 0) h.screenUpdating = args[0]->val.xbool != 0;
            return XLRET_SUCCESS;
        case XLF_REGISTER:
            if (result) SetNumber(result, h.nextRegisterId++);
            return XLRET_SUCCESS;
        case XLF_REFTEXT:
            if (result) SetText(result, ValueText(*args[0]));
            return XLRET_SUCCESS;
        case XLF_GET_BAR:
            if (result) SetNumber(result, 1);
            return XLRET_SUCCESS;
        case XLF_GET_TOOLBAR:
            if (result) SetBool(result, false);
            return XLRET_SUCCESS;
        case XLF_GET_DOCUMENT:
            if (result) SetNumber(result, 1);
            return XLRET_SUCCESS;
        case XLF_SELECTION:
            if (result) {
                result->xltype = XLTYPE_SREF;
                result->val.sref.count = 1;
                result->val.sref.ref = XLREF{0, 0, 0, 0};
            }
            return XLRET_SUCCESS;
        case XLF_EVALUATE:
            // The host evaluates the add-in's own registered macro in this process.
            if (count > 0 && (args[0]->xltype & XLTYPE_MASK) == XLTYPE_STR &&
                std::string(reinterpret_cast<char*>(args[0]->val.str + 1), args[0]->val.str[0]) ==
                    "QUELSTAT.INITIALISE.OLE()") {
                qs::ExportInitialiseOLE();
                if (result) SetBool(result, true);
            }
            return XLRET_SUCCESS;
        default: return XLRET_SUCCESS;
    }
}
}  // namespace

void CaptureMessages() { qs::SetMessageBoxFrontEnd(&Record); }

}  // namespace fake

extern "C" int MdCallBack(int xlfn, int coper, XLOPER** rgpxloper, XLOPER* xloperRes) {
    fake::Host& h = fake::host();
    int fn = xlfn & ~XLBIT_INTL;
    if (fn != xlFree) {
        fake::Call c{xlfn, {}};
        for (int i = 0; i < coper; ++i) c.args.push_back(fake::ValueText(*rgpxloper[i]));
        h.calls.push_back(std::move(c));
    }
    auto it = h.answers.find(fn);
    if (it != h.answers.end()) return it->second(fn, coper, rgpxloper, xloperRes);
    return fake::Default(fn, coper, rgpxloper, xloperRes);
}
