#include "addin/host/platform_bridge.h"

#include <string>

#include "addin/host/addin_services.h"
#include "addin/host/automation.h"
#include "addin/host/channel.h"
#include "addin/host/exceptions.h"
#include "addin/host/messages.h"
#include "addin/host/settings.h"
#include "platform/automation.h"
#include "platform/msgbox.h"
#include "platform/settings.h"
#include "platform/shell.h"
#include "platform/windows.h"

namespace qs {

namespace {

platform::Hive HiveOf(SettingsRoot r) {
    return r == SettingsRoot::CurrentUser ? platform::Hive::CurrentUser : platform::Hive::LocalMachine;
}

// The registry and INI files of the platform. Failures of the store (unwritable folder) are
// reported as a failed write, never as an exception into the add-in.
class PlatformSettings : public SettingsBackend {
public:
    std::optional<SettingsValue> Read(SettingsRoot root, const std::string& key, const std::string& name) override {
        try {
            auto v = platform::registry::Get(HiveOf(root), key, name);
            if (!v) return std::nullopt;
            return SettingsValue{static_cast<uint32_t>(v->type), std::string(v->data.begin(), v->data.end())};
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    bool Write(SettingsRoot root, const std::string& key, const std::string& name,
               const SettingsValue& value) override {
        try {
            platform::SettingsValue v;
            v.type = static_cast<platform::ValueType>(value.type);
            v.data.assign(value.bytes.begin(), value.bytes.end());
            platform::registry::Set(HiveOf(root), key, name, v);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    bool Delete(SettingsRoot root, const std::string& key, const std::string& name) override {
        try {
            return platform::registry::Delete(HiveOf(root), key, name);
        } catch (const std::exception&) {
            return false;
        }
    }
    std::optional<std::string> IniRead(const std::string& file, const std::string& section,
                                       const std::string& name) override {
        try {
            platform::IniFile ini(IniPath(file));
            if (!ini.Load()) return std::nullopt;
            return ini.Get(section, name);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    bool IniWrite(const std::string& file, const std::string& section, const std::string& name,
                  const std::optional<std::string>& value) override {
        try {
            platform::IniFile ini(IniPath(file));
            if (!ini.Load()) return false;
            if (value)
                ini.Set(section, name, *value);
            else
                ini.Remove(section, name);
            ini.Save();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

private:
    // A bare INI file name lives in the settings folder, as on Windows in the Windows directory.
    static std::filesystem::path IniPath(const std::string& file) {
        std::filesystem::path p(file);
        return p.is_absolute() ? p : platform::SettingsFolder() / p;
    }
};

class PlatformWindows : public ChannelWindowService {
public:
    bool Create(const std::string& title, ChannelHandler handler) override {
        Destroy(title);
        platform::WindowHandle w =
            platform::CreateWindow("", title, platform::WS_OVERLAPPEDWINDOW,
                                   [handler](platform::WindowHandle, std::uint32_t msg, std::uintptr_t wp,
                                             std::intptr_t lp) { return handler(msg, wp, lp); });
        if (w == 0) return false;
        m_windows[title] = w;
        return true;
    }
    void Destroy(const std::string& title) override {
        auto it = m_windows.find(title);
        if (it == m_windows.end()) return;
        platform::DestroyWindow(it->second);
        m_windows.erase(it);
    }
    intptr_t Send(const std::string& title, unsigned message, uintptr_t wParam, intptr_t lParam, bool* found) override {
        platform::WindowHandle w = platform::FindWindow("", title);
        if (found) *found = w != 0;
        return w ? platform::SendMessage(w, message, wParam, lParam) : 0;
    }

    bool SetNcPaintSwallowed(uint64_t window, bool swallow) override {
        auto it = m_savedProcs.find(window);
        if (swallow) {
            if (it != m_savedProcs.end()) return true;  // already swallowing
            platform::WindowProc old;
            platform::WindowProc filter = [this, window](platform::WindowHandle h, std::uint32_t m, std::uintptr_t wp,
                                                         std::intptr_t lp) -> std::intptr_t {
                if (m == platform::WM_NCPAINT) return 0;
                auto saved = m_savedProcs.find(window);
                return saved != m_savedProcs.end() && saved->second ? saved->second(h, m, wp, lp) : 0;
            };
            old = platform::SetWindowProc(window, filter);
            m_savedProcs[window] = old;
            return true;
        }
        if (it == m_savedProcs.end()) return false;
        platform::SetWindowProc(window, it->second);
        m_savedProcs.erase(it);
        return true;
    }
    uint64_t FindByClassAndLowBits(const std::string& className, uint16_t lowBits) override {
        for (platform::WindowHandle w : platform::EnumWindows())
            if ((w & 0xFFFF) == lowBits && platform::GetClassName(w) == className) return w;
        return 0;
    }

private:
    std::map<std::string, platform::WindowHandle> m_windows;
    std::map<uint64_t, platform::WindowProc> m_savedProcs;
};

AutoVariant FromVariant(const platform::Variant& v) {
    switch (v.kind) {
        case platform::Variant::Kind::Bool: return v.b;
        case platform::Variant::Kind::Int: return static_cast<double>(v.i);
        case platform::Variant::Kind::Double: return v.d;
        case platform::Variant::Kind::Text: return v.text;
        default: return {};
    }
}

platform::Variant ToVariant(const AutoVariant& v) {
    if (auto* d = std::get_if<double>(&v)) return platform::Variant::Of(*d);
    if (auto* b = std::get_if<bool>(&v)) return platform::Variant::Of(*b);
    if (auto* s = std::get_if<std::string>(&v)) return platform::Variant::Of(*s);
    return {};
}

[[noreturn]] void Raise(const std::exception& e) { throw new COleDispatchException(CSharedString(e.what())); }

class PlatformApplication : public AutomationApp {
public:
    explicit PlatformApplication(std::shared_ptr<platform::Dispatch> app) : m_app(std::move(app)) {}
    AutoVariant Invoke(long dispid, const std::vector<AutoVariant>& args) override {
        try {
            std::vector<platform::Variant> a;
            for (const AutoVariant& v : args) a.push_back(ToVariant(v));
            return FromVariant(m_app->Invoke(static_cast<std::int32_t>(dispid), platform::kMethod, a));
        } catch (const std::exception& e) {
            Raise(e);
        }
    }
    void SetItemProperty(long collection, const std::string& name, long property, const AutoVariant& value) override {
        try {
            platform::Variant bars = m_app->Invoke(static_cast<std::int32_t>(collection), platform::kPropertyGet, {});
            if (bars.kind != platform::Variant::Kind::Object || !bars.object)
                throw platform::DispatchError("not a collection");
            platform::Variant item = bars.object->Invoke(0, platform::kPropertyGet, {platform::Variant::Of(name)});
            if (item.kind != platform::Variant::Kind::Object || !item.object)
                throw platform::DispatchError("no such item");
            item.object->Invoke(static_cast<std::int32_t>(property), platform::kPropertyPut, {ToVariant(value)});
        } catch (const std::exception& e) {
            Raise(e);
        }
    }

private:
    std::shared_ptr<platform::Dispatch> m_app;
};

std::unique_ptr<AutomationApp> ConnectPlatform(int version) {
    try {
        return std::make_unique<PlatformApplication>(platform::GetActiveObject(ApplicationClassIdFor(version)));
    } catch (const std::exception&) {
        return nullptr;  // no running instance registered
    }
}

int PlatformMessageBox(const char* text, unsigned style, unsigned helpId) {
    return platform::MessageBox(LoadString(1).str(), text, style, helpId);
}

}  // namespace

const char* ApplicationClassIdFor(int excelVersion) {
    if (excelVersion <= 7) return "{00020841-0000-0000-C000-000000000046}";
    if (excelVersion == 8) return "{00024500-0000-0000-C000-000000000046}";
    static std::string nine = platform::ClsidFromProgId("Excel.Application.9");
    return nine.c_str();
}

void UsePlatformServices() {
    SetSettingsBackend(std::make_shared<PlatformSettings>());
    SetChannelWindowService(std::make_shared<PlatformWindows>());
    SetAutomationConnector(&ConnectPlatform);
    SetMessageBoxFrontEnd(&PlatformMessageBox);
    AddinServices& s = Services();
    if (!s.showHelp)
        s.showHelp = [](const std::string& file, int command, long context) {
            platform::ShowHelp(file, static_cast<unsigned>(command), static_cast<unsigned long>(context));
        };
    if (!s.openUrl) s.openUrl = [](const std::string& url) { platform::ShellOpen(url); };
    if (!s.helpViewerPresent) s.helpViewerPresent = [] { return platform::HasDesktop(); };
}

}  // namespace qs
