#pragma once
// For tests: a screen (display.h) without a screen. Each wait for input
// runs the operator's next input of `inputs`; dialogs take `dialogAnswer`
// and print dialogs `printer`. It counts what the stand-in asked of it.

#include <functional>
#include <stdexcept>
#include <vector>

#include "platform/windows/display.h"

namespace win {

class FakeDisplay : public Display {
 public:
  std::vector<std::function<void()>> inputs;
  int dialogAnswer = 0;
  std::optional<PrinterPick> printer;
  int syncs = 0, pumps = 0, waits = 0, dialogs = 0, printDialogs = 0;

  void Sync() override { ++syncs; }
  void Pump() override {
    ++syncs;
    ++pumps;
  }
  void RunUntil(const std::function<bool()>& done) override {
    ++syncs;
    ++waits;
    while (!done()) {
      if (next_ == inputs.size()) throw std::logic_error("the operator has nothing left to do");
      inputs[next_++]();
    }
  }
  int AnswerDialog(HWND, int) override {
    ++dialogs;
    return dialogAnswer;
  }
  std::optional<PrinterPick> ChoosePrinter(const std::vector<std::wstring>&, size_t) override {
    ++printDialogs;
    return printer;
  }

 private:
  size_t next_ = 0;
};

}  // namespace win
