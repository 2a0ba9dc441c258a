#include "platform/printing/printdlg.h"

#include "platform/uiscript/uiscript.h"
#include "platform/windows/display.h"
#include "platform/windows/script.h"
#include "platform/windows/text.h"

namespace win {

namespace {

DWORD g_extendedError = 0;

bool Fail(DWORD code) {
  g_extendedError = code;
  return false;
}

bool Choose(PRINTDLGW* pd, const PrinterInfo& printer, int copies = 1, bool collate = false) {
  pd->hDC = nullptr;
  DEVMODEW mode;
  if (pd->Flags & PD_USEDEVMODECOPIESANDCOLLATE) {
    mode.dmFields = DM_COPIES | DM_COLLATE;
    mode.dmCopies = static_cast<short>(copies);
    mode.dmCollate = collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    pd->nCopies = 1;
  } else {
    pd->nCopies = static_cast<WORD>(copies);
    pd->Flags = collate ? (pd->Flags | PD_COLLATE) : (pd->Flags & ~PD_COLLATE);
  }
  if (pd->Flags & PD_RETURNDC) {
    pd->hDC = CreateDCW(L"WINSPOOL", printer.name.c_str(), nullptr, &mode);
    if (!pd->hDC) return Fail(CDERR_INITIALIZATION);
  }
  return true;
}

}  // namespace

bool PrintDlgW(PRINTDLGW* pd) {
  g_extendedError = 0;
  if (!pd || pd->lStructSize != sizeof(PRINTDLGW)) return Fail(CDERR_STRUCTSIZE);
  if (pd->hDevMode || pd->hDevNames) return Fail(CDERR_INITIALIZATION);
  const PrinterInfo* chosen = DefaultPrinter();
  if (pd->Flags & PD_RETURNDEFAULT) return chosen ? Choose(pd, *chosen) : Fail(PDERR_NODEFAULTPRN);

  std::string names;
  for (const auto& p : ConfiguredPrinters()) names += (names.empty() ? "" : ",") + ToUtf8(p.name);
  if (!chosen) {
    uiscript::Transcript::Write({"printdlg", names, "no printer"});
    return Fail(PDERR_NODEFAULTPRN);
  }
  std::string answer = ToUtf8(chosen->name) + " (default)";
  Display* display = GetDisplay();
  std::optional<PrinterChoice> choice = TakePrinterChoice();
  if (!choice && display) {
    // The operator chooses on the screen.
    std::vector<std::wstring> names;
    size_t marked = 0;
    for (const auto& p : ConfiguredPrinters()) {
      if (&p == chosen) marked = names.size();
      names.push_back(p.name);
    }
    choice = PrinterChoice{};
    if (std::optional<PrinterPick> pick = display->ChoosePrinter(names, marked)) {
      choice->name = names[pick->index];
      choice->copies = pick->copies;
      choice->collate = pick->collate;
    } else {
      choice->cancel = true;
    }
  }
  if (choice) {
    if (choice->cancel) {
      uiscript::Transcript::Write({"printdlg", names, "cancel"});
      pd->hDC = nullptr;
      return false;
    }
    chosen = nullptr;
    for (const auto& p : ConfiguredPrinters())
      if (p.name == choice->name) chosen = &p;
    if (!chosen) throw uiscript::ScriptError("ui script: no printer named '" + ToUtf8(choice->name) + "'");
    answer = ToUtf8(chosen->name);
  }
  uiscript::Transcript::Write({"printdlg", names, answer});
  return choice ? Choose(pd, *chosen, choice->copies, choice->collate) : Choose(pd, *chosen);
}

DWORD CommDlgExtendedError() { return g_extendedError; }

}  // namespace win
