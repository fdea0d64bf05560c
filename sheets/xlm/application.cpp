#include "sheets/xlm/application.h"

#include "platform/automation.h"
#include "sheets/xlm/host.h"
#include "sheets/xlm/values.h"

namespace xlm {

namespace {

using platform::Dispatch;
using platform::DispatchError;
using platform::Variant;

platform::Variant ToVariant(const XLOPER* v) {
  switch (TypeOf(v)) {
    case XLTYPE_NUM: return Variant::Of(v->val.num);
    case XLTYPE_INT: return Variant::Of(static_cast<std::int32_t>(v->val.w));
    case XLTYPE_BOOL: return Variant::Of(v->val.xbool != 0);
    case XLTYPE_STR: return Variant::Of(*Text(v));
    case XLTYPE_ERR: return Variant::ErrorCode(v->val.err);
    default: return {};
  }
}

class CommandBar : public Dispatch {
 public:
  explicit CommandBar(std::string name) : name_(std::move(name)) {}
  Variant Invoke(std::int32_t dispid, std::uint16_t flags, const std::vector<Variant>& args) override {
    if (dispid != kDispCommandBarEnabled) throw DispatchError("unknown member of a command bar");
    Host& host = Host::Get();
    if (flags & platform::kPropertyPut) {
      if (args.size() != 1) throw DispatchError("one value expected");
      const Variant& a = args[0];
      bool on = a.kind == Variant::Kind::Bool ? a.b : a.kind == Variant::Kind::Int ? a.i != 0 : a.d != 0;
      host.commandBarEnabled[name_] = on;
      return {};
    }
    auto it = host.commandBarEnabled.find(name_);
    return Variant::Of(it == host.commandBarEnabled.end() || it->second);
  }

 private:
  std::string name_;
};

class CommandBars : public Dispatch {
 public:
  Variant Invoke(std::int32_t dispid, std::uint16_t, const std::vector<Variant>& args) override {
    if (dispid != 0 || args.size() != 1 || args[0].kind != Variant::Kind::Text)
      throw DispatchError("a command bar is taken by its name");
    Host& host = Host::Get();
    Toolbar* bar = host.FindToolbar(args[0].text);
    if (!bar) throw DispatchError("no command bar named " + args[0].text);
    return Variant::Of(std::static_pointer_cast<Dispatch>(std::make_shared<CommandBar>(bar->name)));
  }
};

class Application : public Dispatch {
 public:
  Variant Invoke(std::int32_t dispid, std::uint16_t, const std::vector<Variant>& args) override {
    Host& host = Host::Get();
    if (dispid == kDispExecuteExcel4Macro) {
      if (args.size() != 1 || args[0].kind != Variant::Kind::Text)
        throw DispatchError("ExecuteExcel4Macro takes one text");
      HostValue result;
      std::string error;
      if (!host.Evaluate(args[0].text, &result.v, error)) throw DispatchError(error);
      return ToVariant(&result.v);
    }
    if (dispid == kDispCommandBars) {
      if (!bars_) bars_ = std::make_shared<CommandBars>();
      return Variant::Of(std::static_pointer_cast<Dispatch>(bars_));
    }
    throw DispatchError("unknown member of the application: " + std::to_string(dispid));
  }

 private:
  std::shared_ptr<CommandBars> bars_;
};

}  // namespace

std::string ApplicationClassId(int excelVersion) {
  if (excelVersion <= 7) return "{00020841-0000-0000-C000-000000000046}";
  if (excelVersion == 8) return "{00024500-0000-0000-C000-000000000046}";
  return platform::ClsidFromProgId("Excel.Application.9");
}

bool PublishApplication(Host& host) {
  return platform::RegisterActiveObject(ApplicationClassId(host.ExcelVersion()), std::make_shared<Application>());
}

void RevokeApplication(Host& host) { platform::RevokeActiveObject(ApplicationClassId(host.ExcelVersion())); }

}  // namespace xlm
