#pragma once
// COrnReg: the suite's keys below "SOFTWARE\Dornvale\ORN", sub-keys and
// values named by index in fixed tables. An index outside its table raises
// apperr::kIndex.

#include <cstdint>
#include <span>
#include <string>

#include "docviewer/framework/AppRegistry.h"

class COrnReg : public CAppReg {
 public:
  enum SubKey { SysParam = 0, Products = 1, ProductDetail = 2 };
  enum ShortVal { LogLevel = 1 };

  static const std::span<const char* const> ornSubKey;     // 3 names
  static const std::span<const char* const> intValName;    // 4 names
  static const std::span<const char* const> strValName;    // 46 names
  static const std::span<const char* const> shortValName;  // 62 names

  COrnReg(int subKey, uint32_t access = kKeyRead);

  bool strVal(int index, std::u16string* out, bool raise);
  uint32_t intVal(int index, uint32_t def, bool raise);
  // A stored DWORD above 65535 raises apperr::kOverflow.
  uint16_t shortVal(int index, uint16_t def, bool raise);
  // "LogLevel" as a severity; `def` when missing.
  int logLvl(int def);
  // "LogLevel" as a trace level (sev2XT).
  int logLvlExt(int def);

  // Severity 1-6 -> 6 - severity; 0 or less -> 5 (XT_MSG2); above 6 -> 0 (XT_FERR).
  static int sev2XT(int severity);
  // Level below 0 -> 6; 0-5 -> 6 - level; 6 and above -> 1.
  static int XT2errSev(int level);

  static constexpr int XT_FERR = 0;
  static constexpr int XT_MSG2 = 5;

 private:
  static const char* NameAt(std::span<const char* const> table, int index);
};
