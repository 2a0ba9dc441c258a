#pragma once
// Events of forms and controls. A program sets the handlers it wants:
//   DoOK.Click = [this] { DoOK_Click(); };
// Handlers of a control array get the element index first:
//   Page.MouseUp = [this](int16_t index, int16_t button, int16_t shift,
//                         float x, float y) { ... };
// An event without a handler does nothing. Arguments the runtime passes by
// reference (KeyCode, Cancel, Effect) are references here, so a handler can
// change them.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace forms {

template <class... A>
using Event = std::function<void(A...)>;
template <class... A>
using ArrayEvent = std::function<void(int16_t, A...)>;

// Raises `e` when a handler is set.
template <class F, class... A>
void Raise(const F& e, A&&... args) {
  if (e) e(std::forward<A>(args)...);
}

// The data of a drag: the dragged files (full paths) when it is a file drag.
class DataObject {
 public:
  static constexpr int16_t kCFFiles = 15;  // clipboard format of a file list
  std::vector<std::string> Files;
  // True when the data holds `format`; only the file list is modelled.
  bool GetFormat(int16_t format) const { return format == kCFFiles && !Files.empty(); }
};

// Drop effects and drag states.
enum : int32_t { kDropEffectNone = 0, kDropEffectCopy = 1, kDropEffectMove = 2, kDropEffectLink = 4 };
enum : int16_t { kEnter = 0, kLeave = 1, kOver = 2 };

// Mouse and drag events shared by the visible controls; buttons 1 left,
// 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt; X and Y in twips,
// relative to the control.
template <template <class...> class E>
struct MouseEvents {
  E<> Click;
  E<> DblClick;
  E<int16_t, int16_t, float, float> MouseDown;
  E<int16_t, int16_t, float, float> MouseMove;
  E<int16_t, int16_t, float, float> MouseUp;
  E<DataObject&, int32_t&, int16_t, int16_t, float, float> OLEDragDrop;
  E<DataObject&, int32_t&, int16_t, int16_t, float, float, int16_t> OLEDragOver;
};
template <class A, class B, class F>
void PairMouseEvents(A& a, B& b, F& f) {
  f(a.Click, b.Click);
  f(a.DblClick, b.DblClick);
  f(a.MouseDown, b.MouseDown);
  f(a.MouseMove, b.MouseMove);
  f(a.MouseUp, b.MouseUp);
  f(a.OLEDragDrop, b.OLEDragDrop);
  f(a.OLEDragOver, b.OLEDragOver);
}

// Keyboard events: KeyDown/KeyUp(KeyCode, Shift), KeyPress(KeyAscii); a
// handler may set the code to 0 to swallow the key.
template <template <class...> class E>
struct KeyEvents {
  E<int16_t&, int16_t&> KeyDown;
  E<int16_t&> KeyPress;
  E<int16_t&, int16_t&> KeyUp;
};
template <class A, class B, class F>
void PairKeyEvents(A& a, B& b, F& f) {
  f(a.KeyDown, b.KeyDown);
  f(a.KeyPress, b.KeyPress);
  f(a.KeyUp, b.KeyUp);
}

// Points an element's event at the array's handler with the element's index.
// The array must outlive the element (it owns it).
struct ArrayForwarder {
  int16_t index;
  template <class... A>
  void operator()(std::function<void(A...)>& element, std::function<void(int16_t, A...)>& array) const {
    element = [&array, i = index](A... a) {
      if (array) array(i, std::forward<A>(a)...);
    };
  }
};

}  // namespace forms
