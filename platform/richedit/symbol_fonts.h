#pragma once
// Symbol fonts: fonts whose code points draw symbols rather than letters
// (tick boxes, bullets, arrows, Greek letters). Their text is kept as the
// Unicode characters they draw, so that any font with those characters
// shows them and a printed page can be searched.

#include <string_view>

namespace win::rich {

enum class SymbolFont : unsigned char { kNone, kSymbol, kWingdings, kWingdings2, kWingdings3, kWebdings };

// The symbol font a face name names (case does not matter), else kNone.
// The name is the font table's, without the blanks and ';' that end it.
SymbolFont SymbolFontNamed(std::string_view face);

// The Unicode character the font draws for `c`: a code point 0x20-0xFF, or
// the same in the private-use range U+F020-U+F0FF. Other characters, and
// code points Symbol leaves empty, come back as they are; a code point of
// Wingdings, Wingdings 2, Wingdings 3 or Webdings that has no Unicode
// character comes back as U+25A1 WHITE SQUARE.
char32_t SymbolToUnicode(SymbolFont font, char32_t c);

// The faces that have the characters SymbolToUnicode gives: DejaVu Sans
// the Greek, the ticks and boxes it has; Symbola (or Noto's symbol faces)
// every other pictograph of those fonts.
inline constexpr const char* kSymbolFace = "DejaVu Sans,Symbola,Noto Sans Symbols 2,Noto Sans Symbols,sans-serif";

}  // namespace win::rich
