#pragma once
// The runtime's Variant: the value type of late-bound automation calls,
// control properties and event arguments.
//
// Integer is 16-bit, Long 32-bit, Boolean is true/false (the runtime shows it
// as -1/0). Conversions between the kinds follow the runtime's rules and live
// in convert.h (CInt, CLng, CDbl, CStr, CBool); this header only holds values.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace com {
class Dispatch;
}

namespace rt {

struct Empty {
  bool operator==(const Empty&) const = default;
};

using Object = std::shared_ptr<com::Dispatch>;

class Variant {
 public:
  enum class Kind { Empty, Boolean, Integer, Long, Double, String, Object };

  Variant() = default;
  Variant(bool v) : v_(v) {}
  Variant(int16_t v) : v_(v) {}
  Variant(int32_t v) : v_(v) {}
  Variant(double v) : v_(v) {}
  Variant(std::string v) : v_(std::move(v)) {}
  Variant(const char* v) : v_(std::string(v)) {}
  Variant(Object v) : v_(std::move(v)) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool IsEmpty() const { return kind() == Kind::Empty; }
  bool IsNumeric() const {
    Kind k = kind();
    return k == Kind::Boolean || k == Kind::Integer || k == Kind::Long || k == Kind::Double;
  }

  // Direct access; the caller must have checked kind().
  bool AsBool() const { return std::get<bool>(v_); }
  int16_t AsInteger() const { return std::get<int16_t>(v_); }
  int32_t AsLong() const { return std::get<int32_t>(v_); }
  double AsDouble() const { return std::get<double>(v_); }
  const std::string& AsString() const { return std::get<std::string>(v_); }
  const Object& AsObject() const { return std::get<Object>(v_); }

  bool operator==(const Variant& o) const { return v_ == o.v_; }

 private:
  std::variant<Empty, bool, int16_t, int32_t, double, std::string, Object> v_;
};

}  // namespace rt
