#include "platform/screen/mnemonic.h"

#include <gtest/gtest.h>

namespace screen {
namespace {

TEST(MnemonicTest, CaptionsKeepTheirAccessKeysAndLineBreaks) {
  struct Case {
    const char* caption;
    const char* label;
  };
  const Case cases[] = {
      {"OK", "OK"},
      {"&Scan", "_Scan"},
      {"Save && quit", "Save & quit"},
      {"file_name", "file__name"},
      {"&_x", "__x"},
      {"Ausweis\r\nVorderseite", "Ausweis\nVorderseite"},
      {"a\rb", "a\nb"},
      {"end&", "end&"},
  };
  for (const Case& c : cases) EXPECT_EQ(MnemonicCaption(c.caption), c.label) << c.caption;
}

}  // namespace
}  // namespace screen
