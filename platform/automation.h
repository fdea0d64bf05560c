// Automation objects: the running-instance registration and calls by dispatch id.
//
// A program registers an object as the running instance of a class id; other code, in the same
// process or another, gets the running object of a class id and calls its methods and properties
// by number with variant arguments. Calls to an object of another process travel over the run
// folder's sockets and are answered while that process services its messages (windows.h).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

class Dispatch;

struct Variant {
  enum class Kind : std::uint8_t { Empty, Bool, Int, Double, Text, Object, Error };
  Kind kind = Kind::Empty;
  bool b = false;
  std::int32_t i = 0;  // Int value, or the error code for Error
  double d = 0;
  std::string text;
  std::shared_ptr<Dispatch> object;

  static Variant Of(bool v) {
    Variant r;
    r.kind = Kind::Bool;
    r.b = v;
    return r;
  }
  static Variant Of(std::int32_t v) {
    Variant r;
    r.kind = Kind::Int;
    r.i = v;
    return r;
  }
  static Variant Of(double v) {
    Variant r;
    r.kind = Kind::Double;
    r.d = v;
    return r;
  }
  static Variant Of(std::string v) {
    Variant r;
    r.kind = Kind::Text;
    r.text = std::move(v);
    return r;
  }
  static Variant Of(const char* v) { return Of(std::string(v)); }
  static Variant Of(std::shared_ptr<Dispatch> v) {
    Variant r;
    r.kind = Kind::Object;
    r.object = std::move(v);
    return r;
  }
  static Variant ErrorCode(std::int32_t code) {
    Variant r;
    r.kind = Kind::Error;
    r.i = code;
    return r;
  }
};

// How a member is used, numbered as in IDispatch::Invoke.
enum InvokeFlags : std::uint16_t {
  kMethod = 1,
  kPropertyGet = 2,
  kPropertyPut = 4,
};

// Raised by a failing call: unknown member, wrong arguments, object gone, or no answer.
class DispatchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An object that answers calls by dispatch id. Dispatch id 0 is the object's default member
// (for a collection: the item of a given name or index).
class Dispatch {
 public:
  virtual ~Dispatch() = default;
  virtual Variant Invoke(std::int32_t dispid, std::uint16_t flags, const std::vector<Variant>& args) = 0;
};

// Registers obj as the running instance of clsid for this process. False when a live process
// (this one included) already holds the registration: as with a running object table, the first
// instance stays registered.
bool RegisterActiveObject(const std::string& clsid, std::shared_ptr<Dispatch> obj);
void RevokeActiveObject(const std::string& clsid);
// The running instance of clsid (a proxy when it lives in another process); throws DispatchError
// when none is running.
std::shared_ptr<Dispatch> GetActiveObject(const std::string& clsid);
// True when the object lives in this process.
bool IsLocalObject(const std::shared_ptr<Dispatch>& obj);

// The class id of a programmatic name (known names only; empty when unknown).
std::string ClsidFromProgId(const std::string& progId);

}  // namespace platform
