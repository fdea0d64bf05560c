#include "platform/automation.h"

#include <cstring>
#include <map>

#include "platform/fileutil.h"
#include "platform/windows.h"

namespace platform {

namespace {

// ---- serialization of calls and answers ----

void PutU32(std::string& out, std::uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }

struct Reader {
  const std::string& s;
  std::size_t pos = 0;
  bool ok = true;
  std::uint32_t U32() {
    std::uint32_t v = 0;
    if (pos + 4 > s.size()) {
      ok = false;
      return 0;
    }
    std::memcpy(&v, s.data() + pos, 4);
    pos += 4;
    return v;
  }
  std::uint8_t U8() {
    if (pos + 1 > s.size()) {
      ok = false;
      return 0;
    }
    return static_cast<std::uint8_t>(s[pos++]);
  }
  double F64() {
    double v = 0;
    if (pos + 8 > s.size()) {
      ok = false;
      return 0;
    }
    std::memcpy(&v, s.data() + pos, 8);
    pos += 8;
    return v;
  }
  std::string Bytes() {
    std::uint32_t n = U32();
    if (!ok || pos + n > s.size()) {
      ok = false;
      return {};
    }
    std::string v = s.substr(pos, n);
    pos += n;
    return v;
  }
};

// Objects of this process handed to other processes, by id.
struct ObjectTable {
  std::uint32_t next = 1;
  std::map<std::uint32_t, std::shared_ptr<Dispatch>> objects;

  std::uint32_t Add(const std::shared_ptr<Dispatch>& obj) {
    for (auto& [id, o] : objects)
      if (o == obj) return id;
    objects[next] = obj;
    return next++;
  }
};
ObjectTable& Exported() {
  static auto* table = new ObjectTable;  // lives to the process end
  return *table;
}

std::map<std::string, std::shared_ptr<Dispatch>>& Registered() {
  static auto* registered = new std::map<std::string, std::shared_ptr<Dispatch>>;
  return *registered;
}

std::string EndpointFor(const std::string& clsid) { return "obj-" + FoldCase(clsid); }

class RemoteObject;

void PutVariant(std::string& out, const Variant& v);
Variant GetVariant(Reader& r, const std::string& endpoint);

// A proxy for an object of another process.
class RemoteObject : public Dispatch {
 public:
  RemoteObject(std::string endpoint, std::uint32_t id) : endpoint_(std::move(endpoint)), id_(id) {}
  const std::string& Endpoint() const { return endpoint_; }
  std::uint32_t Id() const { return id_; }

  Variant Invoke(std::int32_t dispid, std::uint16_t flags, const std::vector<Variant>& args) override {
    std::string req = "I";
    PutU32(req, id_);
    PutU32(req, static_cast<std::uint32_t>(dispid));
    PutU32(req, flags);
    PutU32(req, static_cast<std::uint32_t>(args.size()));
    for (const Variant& a : args) PutVariant(req, a);
    std::string reply;
    if (!detail::Request(endpoint_, req, reply, 15000) || reply.empty())
      throw DispatchError("the automation object does not answer");
    Reader r{reply};
    char status = static_cast<char>(r.U8());
    if (status == 'E') throw DispatchError(r.Bytes());
    Variant v = GetVariant(r, endpoint_);
    if (!r.ok || status != 'R') throw DispatchError("malformed automation answer");
    return v;
  }

 private:
  std::string endpoint_;
  std::uint32_t id_;
};

void PutVariant(std::string& out, const Variant& v) {
  out += static_cast<char>(v.kind);
  switch (v.kind) {
    case Variant::Kind::Empty: break;
    case Variant::Kind::Bool: out += v.b ? '\1' : '\0'; break;
    case Variant::Kind::Int:
    case Variant::Kind::Error: PutU32(out, static_cast<std::uint32_t>(v.i)); break;
    case Variant::Kind::Double: out.append(reinterpret_cast<const char*>(&v.d), 8); break;
    case Variant::Kind::Text:
      PutU32(out, static_cast<std::uint32_t>(v.text.size()));
      out += v.text;
      break;
    case Variant::Kind::Object: {
      // An object of this process is exported by id; a proxy is passed on as it is.
      if (auto* remote = dynamic_cast<RemoteObject*>(v.object.get())) {
        out += 'R';
        PutU32(out, static_cast<std::uint32_t>(remote->Endpoint().size()));
        out += remote->Endpoint();
        PutU32(out, remote->Id());
      } else {
        out += 'L';
        PutU32(out, v.object ? Exported().Add(v.object) : 0);
      }
      break;
    }
  }
}

// `endpoint` names the process that sent the bytes (where its 'L' objects live).
Variant GetVariant(Reader& r, const std::string& endpoint) {
  Variant v;
  v.kind = static_cast<Variant::Kind>(r.U8());
  switch (v.kind) {
    case Variant::Kind::Empty: break;
    case Variant::Kind::Bool: v.b = r.U8() != 0; break;
    case Variant::Kind::Int:
    case Variant::Kind::Error: v.i = static_cast<std::int32_t>(r.U32()); break;
    case Variant::Kind::Double: v.d = r.F64(); break;
    case Variant::Kind::Text: v.text = r.Bytes(); break;
    case Variant::Kind::Object: {
      char where = static_cast<char>(r.U8());
      if (where == 'L') {
        // An object of the sender: reachable only when the sender has an endpoint.
        std::uint32_t id = r.U32();
        if (!endpoint.empty() && id) v.object = std::make_shared<RemoteObject>(endpoint, id);
      } else {
        std::string ep = r.Bytes();
        std::uint32_t id = r.U32();
        std::shared_ptr<Dispatch> mine;
        for (auto& [clsid, obj] : Registered())
          if (EndpointFor(clsid) == ep) {
            // One of our own objects coming back to us.
            if (id == 0) {
              mine = obj;
            } else if (auto it = Exported().objects.find(id); it != Exported().objects.end()) {
              mine = it->second;
            }
            ep.clear();
          }
        v.object = ep.empty() ? mine : std::make_shared<RemoteObject>(ep, id);
      }
      break;
    }
    default: r.ok = false;
  }
  return v;
}

// Answers a call on the endpoint of the running instance `clsid`; object id 0 is that instance.
std::string Serve(const std::string& clsid, const std::string& request) {
  Reader r{request};
  std::string out;
  char kind = static_cast<char>(r.U8());
  std::uint32_t id = r.U32();
  std::int32_t dispid = static_cast<std::int32_t>(r.U32());
  std::uint16_t flags = static_cast<std::uint16_t>(r.U32());
  std::uint32_t n = r.U32();
  std::vector<Variant> args;
  for (std::uint32_t i = 0; i < n && r.ok; ++i) args.push_back(GetVariant(r, std::string()));
  auto error = [](const std::string& text) {
    std::string e = "E";
    PutU32(e, static_cast<std::uint32_t>(text.size()));
    return e + text;
  };
  if (!r.ok || kind != 'I') return error("malformed automation request");
  std::shared_ptr<Dispatch> obj;
  if (id == 0) {
    auto reg = Registered().find(clsid);
    if (reg != Registered().end()) obj = reg->second;
  } else if (auto it = Exported().objects.find(id); it != Exported().objects.end()) {
    obj = it->second;
  }
  if (!obj) return error("unknown automation object");
  try {
    Variant result = obj->Invoke(dispid, flags, args);
    out = "R";
    PutVariant(out, result);
    return out;
  } catch (const std::exception& e) {
    return error(e.what());
  } catch (...) {
    return error("automation call failed");
  }
}

}  // namespace

bool RegisterActiveObject(const std::string& clsid, std::shared_ptr<Dispatch> obj) {
  std::string key = FoldCase(clsid);
  if (Registered().count(key)) return false;
  if (!detail::Publish(EndpointFor(key), [key](const std::string& req) { return Serve(key, req); })) {
    // Another live process holds the registration; or the run folder cannot be used, and then the
    // object is this process's own running instance, which other processes cannot reach.
    if (detail::IsPublished(EndpointFor(key))) return false;
  }
  Registered()[key] = std::move(obj);
  return true;
}

void RevokeActiveObject(const std::string& clsid) {
  std::string key = FoldCase(clsid);
  auto it = Registered().find(key);
  if (it == Registered().end()) return;
  detail::Unpublish(EndpointFor(key));
  Registered().erase(it);
}

std::shared_ptr<Dispatch> GetActiveObject(const std::string& clsid) {
  std::string key = FoldCase(clsid);
  if (auto it = Registered().find(key); it != Registered().end()) return it->second;
  // The running instance of another process: object 0 of its endpoint.
  std::string endpoint = EndpointFor(key);
  if (!detail::IsPublished(endpoint)) throw DispatchError("no running instance of " + clsid);
  return std::make_shared<RemoteObject>(endpoint, 0);
}

bool IsLocalObject(const std::shared_ptr<Dispatch>& obj) {
  return obj && dynamic_cast<RemoteObject*>(obj.get()) == nullptr;
}

std::string ClsidFromProgId(const std::string& progId) {
  struct Entry {
    const char* prog;
    const char* clsid;
  };
  static const Entry known[] = {
      {"Excel.Application.7", "{00020841-0000-0000-C000-000000000046}"},
      {"Excel.Application.8", "{00024500-0000-0000-C000-000000000046}"},
      {"Excel.Application.9", "{00024500-0000-0000-C000-000000000046}"},
      {"Excel.Application", "{00024500-0000-0000-C000-000000000046}"},
  };
  for (const Entry& e : known)
    if (EqualNoCase(progId, e.prog)) return e.clsid;
  return {};
}

}  // namespace platform
