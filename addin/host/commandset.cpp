#include "addin/host/commandset.h"

#include <cctype>

#include "addin/host/exceptions.h"
#include "addin/host/messages.h"
#include "addin/host/test_catalogue.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"
#include "addin/resources/string_ids.h"
#include "platform/text.h"

namespace qs {

// ---- item names ---------------------------------------------------------------------------------

MenuItemName MenuItemName::Parse(const std::string& s) {
    MenuItemName n;
    size_t i = 0;
    if (i < s.size() && s[i] == '^') {
        size_t j = i + 1;
        int pos = 0;
        while (j < s.size() && isdigit(static_cast<unsigned char>(s[j]))) pos = pos * 10 + (s[j++] - '0');
        if (j > i + 1 && j < s.size()) {  // a number and one character (the comma)
            n.position = pos;
            i = j + 1;
        }
    }
    if (i < s.size() && s[i] == '=') {
        n.exists = true;
        ++i;
    }
    n.text = s.substr(i);
    if (!n.text.empty() && isdigit(static_cast<unsigned char>(n.text.back()))) {
        n.isNumber = true;
        n.number = std::atoi(n.text.c_str());
    }
    return n;
}

XlValue MenuItemName::Value() const { return isNumber ? XlValue(number) : XlValue(text); }

// ---- records and texts ---------------------------------------------------------------------------

namespace {
std::map<int, CommandRecord>& Records() {
    static std::map<int, CommandRecord> records;
    return records;
}
// The help file and the localized menu names, kept for the add-in's life. Made on first use: the
// application object that sets the help file is itself made while the library loads, before the
// globals of this file need be.
struct MenuTexts {
    std::string helpFile;
    bool namesLooked = false;
    std::string dataName = "Data", helpName = "Help";
};
MenuTexts& Texts() {
    static MenuTexts texts;
    return texts;
}

// GET.BAR(10, name, 0); when that gives an error, the name of the menu at `position` of bar 10.
std::string LocalizedMenu(const char* name, int position) {
    bool error = false;
    try {
        XlValue r = XlCallResult(XLF_GET_BAR, {10, name, 0});
        error = r.Is(XLTYPE_ERR);
    } catch (CException* e) {
        e->Delete();
        error = true;
    }
    if (!error) return name;
    try {
        XlValue r = XlCallResult(XLF_GET_BAR, {10, position, 0});
        if (r.Is(XLTYPE_STR) && !r.TextView().empty()) return r.Text();
    } catch (CException* e) {
        e->Delete();
    }
    return name;
}

void LookUpMenuNames() {
    if (Texts().namesLooked) return;
    Texts().namesLooked = true;
    Texts().dataName = LocalizedMenu("Data", 7);
    Texts().helpName = LocalizedMenu("Help", 9);
}

// A one-row table of texts.
XlValue Row(std::initializer_list<std::string> cells) {
    XlValue t = XlValue::Array(1, static_cast<uint16_t>(cells.size()));
    uint16_t c = 0;
    for (const std::string& s : cells) t.At(0, c++).SetText(s);
    return t;
}
}  // namespace

CommandRecord& CommandRecordFor(int id) {
    CommandRecord& r = Records()[id];
    r.id = id;
    return r;
}

void ClearCommandRecords() { Records().clear(); }

std::string CommandMacroText(int id) { return LoadString(ids::kMacroCommand).str() + "(" + std::to_string(id) + ")"; }

std::string CommandHelpReference(int id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "!%ld", static_cast<long>(id));
    return XlCommandSet::HelpFile() + buf;
}

const std::string& DataMenuName() {
    LookUpMenuNames();
    return Texts().dataName;
}
const std::string& HelpMenuName() {
    LookUpMenuNames();
    return Texts().helpName;
}
void ResetLocalizedMenuNames() {
    Texts().namesLooked = false;
    Texts().dataName = "Data";
    Texts().helpName = "Help";
}

void XlCommandSet::SetHelpFile(const std::string& path) { Texts().helpFile = path; }
const std::string& XlCommandSet::HelpFile() { return Texts().helpFile; }

// ---- the walk ---------------------------------------------------------------------------------------

bool XlCommandSet::IsCommandAvailable(int) const { return true; }

bool XlCommandSet::HasAvailable(const res::MenuNode* popup) const {
    const res::MenuNode* end = popup + popup->size;
    for (const res::MenuNode* n = popup + 1; n < end; ++n)
        if (n->kind == 0 && IsCommandAvailable(static_cast<int>(n->id))) return true;
    return false;
}

XlValue XlCommandSet::MenuValue(const MenuItemName& name) const {
    if (!name.isNumber) {
        if (platform::EqualNoCase(name.text, "Data")) return XlValue(DataMenuName());
        if (platform::EqualNoCase(name.text, "Help")) return XlValue(HelpMenuName());
    }
    return name.Value();
}

void XlCommandSet::Walk(Mode mode) {
    const res::MenuResource* r = res::FindMenu(m_resourceId);
    if (!r) return;
    LookUpMenuNames();
    BeginWalk();
    const res::MenuNode* end = r->nodes + r->count;
    for (const res::MenuNode* bar = r->nodes; bar < end; bar += bar->size) {
        if (bar->kind != 1) continue;
        MenuItemName name = MenuItemName::Parse(bar->text);
        if (name.isNumber && name.number == 3 && HostInfo().version >= 8) continue;
        if (name.isNumber && name.number == -1 && (mode == kAdd || mode == kDelete)) continue;
        WalkContainer(bar + 1, bar + bar->size, mode, name.Value(), {});
    }
}

void XlCommandSet::WalkContainer(const res::MenuNode* first, const res::MenuNode* end, Mode mode, const XlValue& bar,
                                 const std::vector<XlValue>& path) {
    bool separatorPending = false;
    auto addPendingSeparator = [&](const XlValue* menu, const XlValue* submenu) {
        if (!separatorPending) return;
        separatorPending = false;
        XlValue table = Row({"-", ""});
        XlCall(XLF_ADD_COMMAND, {bar, menu, table, nullptr, submenu});
    };
    for (const res::MenuNode* n = first; n < end; n += n->size) {
        if (n->kind == 2) {
            separatorPending = true;
            continue;
        }
        if (n->kind == 1) {
            if (!HasAvailable(n)) continue;
            MenuItemName name = MenuItemName::Parse(n->text);
            XlValue self = MenuValue(name);
            std::vector<XlValue> inner = path;
            inner.push_back(self);
            if (mode == kAdd && !name.exists) {
                // A menu on the bar, or a submenu of the enclosing menu.
                if (!path.empty()) addPendingSeparator(&path[0], path.size() > 1 ? &path[1] : nullptr);
                XlValue table = Row({name.text, ""});
                XlValue position = name.position ? XlValue(name.position) : XlValue();
                XlCall(XLF_ADD_MENU, {bar, table, position, path.empty() ? nullptr : &path.back()});
            }
            WalkContainer(n + 1, n + n->size, mode, bar, inner);
            if (mode == kDelete && !name.exists) {
                if (inner.size() == 1)
                    Guarded([&] { XlCall(XLF_DELETE_MENU, {bar, inner[0]}); });
                else
                    Guarded([&] { XlCall(XLF_DELETE_MENU, {bar, inner[0], inner[1]}); });
            }
            continue;
        }
        // A command.
        int id = static_cast<int>(n->id);
        CommandRecord& rec = CommandRecordFor(id);
        if (mode == kAdd) {
            if (!IsCommandAvailable(id) || path.empty()) continue;
            const XlValue* menu = &path[0];
            const XlValue* submenu = path.size() > 1 ? &path[1] : nullptr;
            addPendingSeparator(menu, submenu);
            MenuItemName name = MenuItemName::Parse(n->text);
            XlValue table = Row({name.text, CommandMacroText(id), "", LoadString(id).str(), CommandHelpReference(id)});
            XlValue position = name.position ? XlValue(name.position) : XlValue();
            XlCall(XLF_ADD_COMMAND, {bar, *menu, table, position, submenu});
            MenuPlace place;
            place.bar = bar;
            place.menu = *menu;
            place.command = XlValue(name.text);
            if (submenu) place.submenu = *submenu;
            rec.places.push_back(std::move(place));
        } else if (mode == kDelete) {
            for (const MenuPlace& p : rec.places)
                Guarded([&] { XlCall(XLF_DELETE_COMMAND, {p.bar, p.menu, p.command, p.submenu}); });
            rec.places.clear();
        } else if (n->grayed) {
            bool state = mode == kEnable;
            if (!rec.toolbar.empty()) XlCall(XLF_ENABLE_TOOL, {rec.toolbar, rec.toolbarPosition, state});
            for (const MenuPlace& p : rec.places)
                XlCall(XLF_ENABLE_COMMAND, {p.bar, p.menu, p.command, state, p.submenu});
        }
    }
}

void XlCommandSet::Install() {
    Walk(kAdd);
    Walk(kDisable);
    m_enabled = false;
}

void XlCommandSet::Remove() {
    Walk(kDelete);
    if (m_enabled) {
        Walk(kDisable);
        m_enabled = false;
    }
}

void XlCommandSet::SetEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    Walk(enabled ? kEnable : kDisable);
    m_enabled = enabled;
}

bool CommandsQuelstat::IsCommandAvailable(int id) const {
    const TestCatalogueEntry* e = FindTestEntry(static_cast<unsigned>(id));
    if (!e) return true;
    if (!m_modulesRead) {
        m_modules = InstalledModules();
        m_modulesRead = true;
    }
    return (m_modules & e->module->bit) != 0;
}

void CommandsQuelstat::BeginWalk() { m_modulesRead = false; }

// ---- report toolbar ---------------------------------------------------------------------------------

void ReportToolbar::SetUp(const std::string& toolbarFile, int version) {
    XlCall(XLC_OPEN, {toolbarFile});
    XlCall(XLC_SHOW_TOOLBAR, {kName, false, nullptr, nullptr, nullptr, 640, 1});
    // Buttons follow the report commands in resource order, separators counted.
    if (const res::MenuResource* r = res::FindMenu(150)) {
        for (const res::MenuNode* bar = r->nodes; bar < r->nodes + r->count; bar += bar->size)
            for (const res::MenuNode* menu = bar + 1; menu < bar + bar->size; menu += menu->size) {
                int position = 0;
                for (const res::MenuNode* n = menu + 1; n < menu + menu->size; n += n->size) {
                    ++position;
                    if (n->kind != 0) continue;
                    CommandRecord& rec = CommandRecordFor(static_cast<int>(n->id));
                    rec.toolbar = kName;
                    rec.toolbarPosition = position;
                }
            }
    }
    XlValue visible = XlCallResult(XLF_GET_TOOLBAR, {7, kName});
    XlCall(XLC_SHOW_TOOLBAR, {kName, visible, nullptr, 660, version <= 7 ? 17 : 135, 640});
    Show(false);
    m_commands.Install();
}

void ReportToolbar::Show(bool show, bool floatingOnly) {
    XlValue state = XlCallResult(XLF_GET_TOOLBAR, {7, kName});
    if (!state.Is(XLTYPE_BOOL)) return;  // an error: there is no such toolbar
    if ((state.val.xbool != 0) == show) return;
    if (!show && floatingOnly) {
        XlValue dock = XlCallResult(XLF_GET_TOOLBAR, {6, kName});
        if (!(dock.Is(XLTYPE_NUM) && dock.Number() == 5)) return;
    }
    XlValue ws = XlCallResult(XLF_GET_WORKSPACE, {10});
    if (ws.Is(XLTYPE_NUM) && (ws.Number() == 2 || ws.Number() == 3)) return;
    XlCall(XLC_SHOW_TOOLBAR, {kName, show});
}

void ReportToolbar::SetCurrentReport(ActiveReport* report) {
    ActiveReport* old = m_current.get();
    if (report == old) return;
    if (!report && old && old->IsOnActiveSheet()) return;  // still on that report's own sheet
    CRef<ActiveReport> keep(report);
    bool changesKind = (old == nullptr) != (report == nullptr);
    m_current = keep;
    if (changesKind) {
        m_commands.SetEnabled(report != nullptr);
        Show(report != nullptr, report == nullptr);
    }
}

}  // namespace qs
