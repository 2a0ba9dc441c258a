#pragma once
// A typed property of a form or control: reads like a plain field
// (`Page(k).Top = Page(0).Top + 1620`), and lets its owner check a new value
// before it is taken and react after it changed (a form's Resize, a combo
// box's Change). Setting the value it already has changes nothing and raises
// nothing.

#include <concepts>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace forms {

template <class T>
class Prop {
 public:
  Prop() = default;
  Prop(T v) : value_(std::move(v)) {}  // NOLINT: implicit, for member defaults
  // Copies the value only: the hooks belong to the owner that installed them.
  Prop(const Prop& o) : value_(o.value_) {}
  Prop& operator=(const Prop& o) {
    Set(o.value_);
    return *this;
  }
  template <class U>
    requires(std::convertible_to<U, T> && !std::same_as<std::remove_cvref_t<U>, Prop>)
  Prop& operator=(U&& v) {
    Set(static_cast<T>(std::forward<U>(v)));
    return *this;
  }

  operator const T&() const { return value_; }  // NOLINT: reads like the field
  const T& Get() const { return value_; }

  // Takes `v` after the check hook accepted it; the change hook runs only
  // when the value differs from the old one.
  void Set(T v) {
    if (check_) check_(v);
    if (value_ == v) return;
    value_ = std::move(v);
    if (changed_) changed_();
  }
  // Sets the value without checks or notification (design values, copies).
  void Init(T v) { value_ = std::move(v); }

  // `check` may throw to refuse a value; `changed` runs after a change.
  void OnCheck(std::function<void(const T&)> check) { check_ = std::move(check); }
  void OnChange(std::function<void()> changed) { changed_ = std::move(changed); }

  template <class U>
    requires std::is_arithmetic_v<T>
  Prop& operator+=(U d) {
    Set(static_cast<T>(value_ + d));
    return *this;
  }
  template <class U>
    requires std::is_arithmetic_v<T>
  Prop& operator-=(U d) {
    Set(static_cast<T>(value_ - d));
    return *this;
  }

  // Text properties compare and concatenate like the text they hold.
  friend bool operator==(const Prop& a, std::string_view b)
    requires std::same_as<T, std::string>
  {
    return a.value_ == b;
  }
  friend bool operator==(const Prop& a, const Prop& b)
    requires std::same_as<T, std::string>
  {
    return a.value_ == b.value_;
  }
  friend std::string operator+(const Prop& a, std::string_view b)
    requires std::same_as<T, std::string>
  {
    return a.value_ + std::string(b);
  }
  friend std::string operator+(std::string_view a, const Prop& b)
    requires std::same_as<T, std::string>
  {
    return std::string(a) + b.value_;
  }

 private:
  T value_{};
  std::function<void(const T&)> check_;
  std::function<void()> changed_;
};

}  // namespace forms
