#include "addin/host/exports.h"

#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xll_app.h"

namespace qs {

namespace {
// Results handed to the host: add-in-owned static values, overwritten by the next call and never
// freed by the host (no free flag).
XlValue& TextResult() {
    static XlValue v;
    return v;
}
XlValue& NumberResult() {
    static XlValue v;
    return v;
}

XLOPER* Give(const XlValue& v) {
    XlValue& slot = (v.Is(XLTYPE_STR)) ? TextResult() : NumberResult();
    slot = v;
    slot.xltype = slot.Type();
    return &slot;
}

const XlValue& Arg(XLOPER* p) {
    static const XlValue missing;
    return p ? *static_cast<XlValue*>(p) : missing;
}

template <class F>
int Simple(F&& f) {
    if (XLL::Instance()) Framed(f);
    return 1;
}
}  // namespace

int ExportAutoOpen() {
    return Simple([] { XLL::Instance()->AutoOpen(); });
}
int ExportAutoClose() {
    return Simple([] { XLL::Instance()->AutoClose(); });
}
int ExportAutoAdd() {
    return Simple([] { XLL::Instance()->AutoAdd(); });
}
int ExportAutoRemove() {
    return Simple([] { XLL::Instance()->AutoRemove(); });
}

XLOPER* ExportAutoRegister(XLOPER* name) {
    XlValue result = XlValue::Error(XLERR_VALUE);
    uint16_t error = XLERR_NA;
    if (!XLL::Instance()) return Give(XlValue::Error(XLERR_NA));
    bool ok = Framed(
        [&] {
            XlValue text = XlCoerce(Arg(name), XLTYPE_STR);
            result = XLL::Instance()->AutoRegister(text.Text());
        },
        &error);
    return Give(ok ? result : XlValue::Error(error));
}

void ExportAutoFree(XLOPER* value) { XlValue::FreeReturned(value); }

XLOPER* ExportAddInManagerInfo(XLOPER* action) {
    XlValue result = XlValue::Error(XLERR_VALUE);
    uint16_t error = XLERR_NA;
    if (!XLL::Instance()) return Give(XlValue::Error(XLERR_NA));
    bool ok = Framed(
        [&] {
            double n = 0;
            try {
                XlValue number = XlCoerce(Arg(action), XLTYPE_NUM);
                if (!number.Is(XLTYPE_NUM)) return;
                n = number.Number();
            } catch (CException* e) {
                e->Delete();  // an action that is no number: #VALUE!
                return;
            }
            if (n == 1) result = XlValue(XLL::Instance()->Name());
        },
        &error);
    return Give(ok ? result : XlValue::Error(error));
}

XLOPER* ExportPreExecuteCommand(int id) {
    XLL* app = XLL::Instance();
    if (app) app->StoreCommand(id);
    return Give(XlValue(app ? app->RegisterIdOf("xlExecuteCommand") : 0.0));
}

short ExportExecuteCommand() {
    XLL* app = XLL::Instance();
    if (!app) return 0;
    bool result = false;
    Framed([&] { result = app->ExecuteCommand(app->StoredCommand()); });
    return result ? 1 : 0;
}

short ExportOnSheetActivated() {
    return static_cast<short>(Simple([] { XLL::Instance()->SheetActivated(); }));
}
short ExportOnSheetDeactivated() {
    return static_cast<short>(Simple([] { XLL::Instance()->SheetDeactivated(); }));
}
short ExportOnWindow() {
    return static_cast<short>(Simple([] {}));
}
short ExportOnTCard(int id) {
    return static_cast<short>(Simple([id] { XLL::Instance()->TCard(id); }));
}
short ExportInitialiseOLE() {
    if (XLL::Instance()) XLL::Instance()->SetOleReached();
    return 1;
}

}  // namespace qs
