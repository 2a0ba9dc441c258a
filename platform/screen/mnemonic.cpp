#include "platform/screen/mnemonic.h"

namespace screen {

std::string MnemonicCaption(std::string_view caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    const char c = caption[i];
    if (c == '&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] == '&') out += '&';
      else if (caption[i] == '_') out += "__";
      else out += std::string("_") + caption[i];
    } else if (c == '_') {
      out += "__";
    } else if (c == '\r') {
      if (i + 1 < caption.size() && caption[i + 1] == '\n') ++i;
      out += '\n';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace screen
