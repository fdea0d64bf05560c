#include "addin/host/xlcalls.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "addin/host/exceptions.h"
#include "addin/host/messages.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {

const XlValue& SharedMissing() {
    static const XlValue missing;
    return missing;
}

std::string NumberText(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", d);
    return buf;
}

// Reference text through the host, called directly so that a failure here cannot recurse.
std::string ReferenceText(const XlValue& ref) {
    XlValue plain;
    plain.CopyFrom(ref, false);
    XlValue a1 = XlValue::Bool(true);
    XlValue res;
    XLOPER* args[] = {&plain, &a1};
    int rc = Excel4v(XLF_REFTEXT | XLBIT_INTL, &res, 2, args);
    if (rc != XLRET_SUCCESS) return "#REF";
    if (res.Type() == XLTYPE_STR) res.xltype |= XLBIT_XLFREE;
    std::string text = res.Is(XLTYPE_STR) ? res.Text() : std::string("#REF");
    return text;
}

std::string ErrorText(uint16_t code) {
    switch (code) {
        case XLERR_NULL: return "#NULL";
        case XLERR_DIV0: return "#DIV/0";
        case XLERR_VALUE: return "#VALUE";
        case XLERR_REF: return "#REF";
        case XLERR_NAME: return "#NAME";
        case XLERR_NUM: return "#NUM";
        case XLERR_NA: return "#NA";
        default: return "#UNKNOWN ERROR";
    }
}

[[noreturn]] void FailWith(int fn, int count, const XlValue* const* args, const XlValue* result) {
    throw new XlException(CSharedString(XlFailureText(fn, count, args, result)), XLERR_NA);
}

[[noreturn]] void WrongType(int fn, XlArgs args, const XlValue& result) {
    std::vector<const XlValue*> ptrs;
    for (const XlArg& a : args) ptrs.push_back(a.get());
    FailWith(fn, static_cast<int>(ptrs.size()), ptrs.data(), &result);
}

int CallList(int fn, XlValue* result, XlArgs args) {
    const XlValue* ptrs[XL_MAX_ARGS];
    int n = 0;
    for (const XlArg& a : args) {
        if (n == XL_MAX_ARGS) break;
        ptrs[n++] = a.get();
    }
    if (args.size() > XL_MAX_ARGS) {
        throw new XlException(CSharedString(XlFailureText(fn, n, ptrs, nullptr)), XLERR_NA);
    }
    return XlCallV(fn, result, n, ptrs);
}

}  // namespace

std::string XlValueText(const XlValue& v) {
    switch (v.Type()) {
        case XLTYPE_NUM: return NumberText(v.val.num);
        case XLTYPE_STR: return "\"" + v.Text() + "\"";
        case XLTYPE_MISSING: return "";
        case XLTYPE_BOOL: return v.val.xbool ? "TRUE" : "FALSE";
        case XLTYPE_REF:
        case XLTYPE_SREF: return ReferenceText(v);
        case XLTYPE_ERR: return ErrorText(v.val.err);
        case XLTYPE_MULTI: {
            std::string s = "{";
            for (uint16_t r = 0; r < v.Rows(); ++r) {
                if (r) s += "; ";
                for (uint16_t c = 0; c < v.Columns(); ++c) {
                    if (c) s += ", ";
                    s += XlValueText(v.At(r, c));
                }
            }
            return s + "}";
        }
        case XLTYPE_NIL: return "#EMPTY";
        case XLTYPE_INT: return std::to_string(v.val.w);
        default: return "#UNKNOWN XLTYPE";
    }
}

std::string XlFailureText(int fn, int count, const XlValue* const* args, const XlValue* result) {
    std::string s = "Excel function failed: fn=" + std::to_string(fn) + "(";
    for (int i = 0; i < count; ++i) {
        if (i) s += ", ";
        s += args[i] ? XlValueText(*args[i]) : std::string();
    }
    s += ")";
    if (result) s += " rv = " + XlValueText(*result);
    return s;
}

int XlCallV(int fn, XlValue* result, int count, const XlValue* const* args) {
    if (result) result->Release();
    if (count < 0 || count > XL_MAX_ARGS) FailWith(fn, 0, args, result);

    // Missing pointers become the shared missing value; trailing missing arguments are dropped.
    XLOPER* pass[XL_MAX_ARGS];
    uint16_t savedFlags[XL_MAX_ARGS];
    int n = count;
    for (int i = count - 1; i >= 0; --i) {
        const XlValue* a = args[i] ? args[i] : &SharedMissing();
        if (i == n - 1 && a->IsMissing()) {
            --n;
            continue;
        }
        auto* v = const_cast<XlValue*>(a);
        pass[i] = v;
    }
    for (int i = 0; i < n; ++i) {
        XLOPER* v = pass[i];
        savedFlags[i] = static_cast<uint16_t>(v->xltype & (XLBIT_XLFREE | XLBIT_DLLFREE));
        if (v != &SharedMissing()) v->xltype = static_cast<uint16_t>(v->xltype & XLTYPE_MASK);
        if (v->xltype == XLTYPE_SREF) v->val.sref.count = 1;
    }

    int callFn = (fn & XLBIT_SPECIAL) ? fn : (fn | XLBIT_INTL);
    int rc = Excel4v(callFn, result, n, pass);

    for (int i = 0; i < n; ++i)
        if (pass[i] != &SharedMissing()) pass[i]->xltype = static_cast<uint16_t>(pass[i]->xltype | savedFlags[i]);

    if (rc == XLRET_SUCCESS) {
        if (result) {
            uint16_t t = result->Type();
            if (t == XLTYPE_STR || t == XLTYPE_REF || t == XLTYPE_MULTI || t == XLTYPE_STR_INT)
                result->xltype = static_cast<uint16_t>(t | XLBIT_XLFREE);
        }
        return rc;
    }
    if (rc == XLRET_ABORT || rc == XLRET_UNCALCED) throw new CMemoryException();
    FailWith(fn, count, args, result);
}

void XlCall(int fn, XlArgs args) { CallList(fn, nullptr, args); }

XlValue XlCallResult(int fn, XlArgs args) {
    XlValue r;
    CallList(fn, &r, args);
    return r;
}

XlValue XlCallResultNA(int fn, XlArgs args) {
    XlValue r = XlCallResult(fn, args);
    if (r.IsMissing() || r.IsNil()) r.SetError(XLERR_NA);
    return r;
}

XlValue XlCallRef(int fn, XlArgs args) {
    XlValue r = XlCallResult(fn, args);
    if (r.Is(XLTYPE_STR)) return XlCallResult(XLF_TEXTREF, {r});
    return r;
}

CSharedString XlCallText(int fn, XlArgs args) {
    XlValue r = XlCallResult(fn, args);
    if (r.IsError(XLERR_NA)) return {};
    if (!r.Is(XLTYPE_STR)) WrongType(fn, args, r);
    return CSharedString(r.TextView());
}

double XlCallNumber(int fn, XlArgs args) {
    XlValue r = XlCallResult(fn, args);
    if (!r.Is(XLTYPE_NUM)) WrongType(fn, args, r);
    return r.Number();
}

bool XlCallBool(int fn, XlArgs args) {
    XlValue r = XlCallResult(fn, args);
    if (!r.Is(XLTYPE_BOOL)) WrongType(fn, args, r);
    return r.val.xbool != 0;
}

int XlCallInt(int fn, XlArgs args) {
    XlValue r = XlCallResult(fn, args);
    if (!r.Is(XLTYPE_NUM)) WrongType(fn, args, r);
    double d = r.Number();
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) WrongType(fn, args, r);  // also NaN
    return static_cast<int>(d);
}

int XlHighestPane(int typeCode) {
    XlValue r = XlCallResult(XLF_GET_WINDOW, {typeCode});
    double best = 0;
    bool any = false;
    auto take = [&](const XlValue& v) {
        if (v.Is(XLTYPE_NUM) && (!any || v.Number() > best)) {
            best = v.Number();
            any = true;
        }
    };
    if (r.Is(XLTYPE_MULTI)) {
        for (uint16_t i = 0; i < r.Rows(); ++i)
            for (uint16_t j = 0; j < r.Columns(); ++j) take(r.At(i, j));
    } else {
        take(r);
    }
    if (!any) WrongType(XLF_GET_WINDOW, {typeCode}, r);
    return static_cast<int>(best);
}

CSharedString XlGetWindowText(XlArgs args) {
    XlValue r = XlCallResult(XLF_GET_WINDOW, args);
    if (!r.Is(XLTYPE_STR)) throw new XlException(FormatError(ids::kMessageExcelFailed), XLERR_NA);
    return CSharedString(r.TextView());
}

XlValue XlCoerce(const XlValue& value, int types) {
    uint16_t t = value.Type();
    if (t == XLTYPE_ERR) throw new XlException(FormatError(ids::kMessageCannotCoerce), value.val.err);
    if ((types & (XLTYPE_MULTI | XLTYPE_REF | XLTYPE_SREF)) == 0) {
        bool many = false;
        if (t == XLTYPE_MULTI) {
            many = static_cast<size_t>(value.Rows()) * value.Columns() > 1;
        } else if (t == XLTYPE_REF || t == XLTYPE_SREF) {
            std::vector<XLREF> areas = value.Areas();
            many = areas.size() != 1 || areas[0].rwFirst != areas[0].rwLast || areas[0].colFirst != areas[0].colLast;
        }
        if (many) throw new XlException(FormatError(ids::kMessageCannotCoerceArray), XLERR_VALUE);
    }
    if (t & types) {
        XlValue copy;
        copy.CopyFrom(value, false);
        return copy;
    }
    if (t == XLTYPE_MISSING) throw new XlException(FormatError(ids::kMessageCannotCoerce), XLERR_VALUE);
    XlValue typesArg(types);
    return XlCallResult(xlCoerce, {value, typesArg});
}

std::vector<std::string> XlSheetNames(const std::string& sheetKey, const std::string& pattern) {
    XlValue list = XlCallResultNA(XLF_NAMES, {sheetKey, 3, pattern});
    std::vector<std::string> out;
    if (!list.Is(XLTYPE_MULTI)) return out;
    for (uint16_t r = 0; r < list.Rows(); ++r)
        for (uint16_t c = 0; c < list.Columns(); ++c)
            if (list.At(r, c).Is(XLTYPE_STR)) out.push_back(list.At(r, c).Text());
    return out;
}

}  // namespace qs
