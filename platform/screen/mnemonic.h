#pragma once
// Captions with access keys, as the platform writes them, for GTK's labels.

#include <string>
#include <string_view>

namespace screen {

// A caption of the model for a GTK label with mnemonics: "&x" marks x
// ("_x"), "&&" is an ampersand, "_" stays itself ("__"), CR LF and CR
// break the line (LF).
std::string MnemonicCaption(std::string_view caption);

}  // namespace screen
