#pragma once
// Control arrays: elements of one control type sharing a name and one set of
// event handlers, which get the element's index first. Elements listed in
// the form's design table exist from the start; Load(k) adds element k as a
// copy of the lowest element's properties, hidden; Unload(k) removes an
// element that Load added.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/runtime/error.h"

namespace forms {

class ControlArrayBase {
 public:
  virtual ~ControlArrayBase() = default;
  ControlArrayBase() = default;
  ControlArrayBase(const ControlArrayBase&) = delete;
  ControlArrayBase& operator=(const ControlArrayBase&) = delete;

  const std::string& Name() const { return name_; }
  virtual ControlType Type() const = 0;
  // Element `index`, null when it is not loaded.
  virtual Control* Find(int16_t index) const = 0;
  // The loaded elements in index order.
  virtual std::vector<Control*> Elements() const = 0;
  int16_t Count() const { return static_cast<int16_t>(Elements().size()); }
  // The highest and lowest loaded index; error 9 on an array without elements.
  int16_t UBound() const;
  int16_t LBound() const;

 protected:
  friend class Form;
  virtual void AddDesignElement(const ControlDesign& d, const FormDesign& fd, Form& form) = 0;
  std::string name_;
};

template <class T>
class ControlArray : public ControlArrayBase, public T::template Events<ArrayEvent> {
 public:
  enum : int32_t { kAlreadyLoaded = 360, kDesignElement = 362 };

  ControlType Type() const override { return T().Type(); }

  // Element `index`; error 340 when it is not loaded.
  T& operator()(int16_t index) const {
    auto it = elements_.find(index);
    if (it == elements_.end()) rt::Raise(rt::kControlArrayElement);
    return *it->second.element;
  }
  Control* Find(int16_t index) const override {
    auto it = elements_.find(index);
    return it == elements_.end() ? nullptr : it->second.element.get();
  }
  std::vector<Control*> Elements() const override {
    std::vector<Control*> out;
    for (const auto& [i, e] : elements_) out.push_back(e.element.get());
    return out;
  }

  // Adds element `index` as a hidden copy of the lowest element. Error 360
  // "Object already loaded" when it exists; error 340 for a negative index.
  void Load(int16_t index) {
    if (index < 0) rt::Raise(rt::kControlArrayElement);
    if (elements_.count(index)) rt::Raise(kAlreadyLoaded, "Object already loaded");
    if (elements_.empty()) rt::Raise(rt::kControlArrayElement);
    std::unique_ptr<Control> copy = elements_.begin()->second.element->CloneForArray();
    std::unique_ptr<T> element(static_cast<T*>(copy.release()));
    element->index_ = index;
    element->Visible.Init(false);
    Adopt(std::move(element), false);
  }
  // Removes element `index`: error 340 when it is not loaded, error 362
  // for an element of the design table.
  void Unload(int16_t index) {
    auto it = elements_.find(index);
    if (it == elements_.end()) rt::Raise(rt::kControlArrayElement);
    if (it->second.design) rt::Raise(kDesignElement, "Can't unload controls created at design time");
    elements_.erase(it);
  }

 protected:
  void AddDesignElement(const ControlDesign& d, const FormDesign& fd, Form& form) override {
    auto element = std::make_unique<T>();
    element->form_ = &form;
    element->ApplyDesign(d, fd);
    Adopt(std::move(element), true);
  }

 private:
  struct Entry {
    std::unique_ptr<T> element;
    bool design;
  };
  void Adopt(std::unique_ptr<T> element, bool design) {
    T::PairEvents(*element, *this, ArrayForwarder{element->index_});
    int16_t index = element->index_;
    elements_[index] = Entry{std::move(element), design};
  }
  std::map<int16_t, Entry> elements_;
};

}  // namespace forms
