#include "platform/richedit/symbol_fonts.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace win::rich {

namespace {

// The characters of code points 0x20 to 0xFF; 0 where the font has none.
using Page = char32_t[224];

constexpr Page kSymbol = {
    // 0x20
    U' ', U'!', U'\u2200', U'#', U'\u2203', U'%', U'&', U'\u220B', U'(', U')', U'\u2217', U'+', U',', U'\u2212', U'.', U'/',
    U'0', U'1', U'2', U'3', U'4', U'5', U'6', U'7', U'8', U'9', U':', U';', U'<', U'=', U'>', U'?',
    // 0x40
    U'\u2245', U'\u0391', U'\u0392', U'\u03A7', U'\u0394', U'\u0395', U'\u03A6', U'\u0393', U'\u0397', U'\u0399',
    U'\u03D1', U'\u039A', U'\u039B', U'\u039C', U'\u039D', U'\u039F', U'\u03A0', U'\u0398', U'\u03A1', U'\u03A3',
    U'\u03A4', U'\u03A5', U'\u03C2', U'\u03A9', U'\u039E', U'\u03A8', U'\u0396', U'[', U'\u2234', U']', U'\u22A5', U'_',
    // 0x60
    U'\u203E', U'\u03B1', U'\u03B2', U'\u03C7', U'\u03B4', U'\u03B5', U'\u03C6', U'\u03B3', U'\u03B7', U'\u03B9',
    U'\u03D5', U'\u03BA', U'\u03BB', U'\u03BC', U'\u03BD', U'\u03BF', U'\u03C0', U'\u03B8', U'\u03C1', U'\u03C3',
    U'\u03C4', U'\u03C5', U'\u03D6', U'\u03C9', U'\u03BE', U'\u03C8', U'\u03B6', U'{', U'|', U'}', U'\u223C', 0,
    // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    U'\u20AC', U'\u03D2', U'\u2032', U'\u2264', U'\u2044', U'\u221E', U'\u0192', U'\u2663', U'\u2666', U'\u2665',
    U'\u2660', U'\u2194', U'\u2190', U'\u2191', U'\u2192', U'\u2193', U'\u00B0', U'\u00B1', U'\u2033', U'\u2265',
    U'\u00D7', U'\u221D', U'\u2202', U'\u2022', U'\u00F7', U'\u2260', U'\u2261', U'\u2248', U'\u2026', U'\u23D0',
    U'\u23AF', U'\u21B5',
    // 0xC0
    U'\u2135', U'\u2111', U'\u211C', U'\u2118', U'\u2297', U'\u2295', U'\u2205', U'\u2229', U'\u222A', U'\u2283',
    U'\u2287', U'\u2284', U'\u2282', U'\u2286', U'\u2208', U'\u2209', U'\u2220', U'\u2207', U'\u00AE', U'\u00A9',
    U'\u2122', U'\u220F', U'\u221A', U'\u22C5', U'\u00AC', U'\u2227', U'\u2228', U'\u21D4', U'\u21D0', U'\u21D1',
    U'\u21D2', U'\u21D3',
    // 0xE0
    U'\u25CA', U'\u2329', U'\u00AE', U'\u00A9', U'\u2122', U'\u2211', U'\u239B', U'\u239C', U'\u239D', U'\u23A1',
    U'\u23A2', U'\u23A3', U'\u23A7', U'\u23A8', U'\u23A9', U'\u23AA', 0, U'\u232A', U'\u222B', U'\u2320', U'\u23AE',
    U'\u2321', U'\u239E', U'\u239F', U'\u23A0', U'\u23A4', U'\u23A5', U'\u23A6', U'\u23AB', U'\u23AC', U'\u23AD', 0,
};

constexpr Page kWingdings = {
    // 0x20
    U' ', U'\u270F', U'\u2702', U'\u2701', U'\U0001F453', U'\U0001F56D', U'\U0001F4D6', U'\U0001F56F', U'\u260E',
    U'\u2706', U'\u2709', U'\U0001F583', U'\U0001F4EA', U'\U0001F4EB', U'\U0001F4EC', U'\U0001F4ED',
    U'\U0001F4C1', U'\U0001F4C2', U'\U0001F4C4', U'\U0001F5CF', U'\U0001F5D0', U'\U0001F5C4', U'\u231B',
    U'\U0001F5AE', U'\U0001F5B0', U'\U0001F5B2', U'\U0001F5B3', U'\U0001F5B4', U'\U0001F5AB', U'\U0001F5AC',
    U'\u2707', U'\u270D',
    // 0x40
    U'\U0001F58E', U'\u270C', U'\U0001F44C', U'\U0001F44D', U'\U0001F44E', U'\u261C', U'\u261E', U'\u261D', U'\u261F',
    U'\U0001F590', U'\u263A', U'\U0001F610', U'\u2639', U'\U0001F4A3', U'\u2620', U'\U0001F3F3', U'\U0001F3F1',
    U'\u2708', U'\u263C', U'\U0001F4A7', U'\u2744', U'\U0001F546', U'\u271E', U'\U0001F548', U'\u2720', U'\u2721',
    U'\u262A', U'\u262F', U'\u0950', U'\u2638', U'\u2648', U'\u2649',
    // 0x60
    U'\u264A', U'\u264B', U'\u264C', U'\u264D', U'\u264E', U'\u264F', U'\u2650', U'\u2651', U'\u2652', U'\u2653',
    U'\U0001F670', U'\U0001F675', U'\u25CF', U'\u274D', U'\u25A0', U'\u25A1', U'\u25FB', U'\u2751', U'\u2752',
    U'\u2B27', U'\u29EB', U'\u25C6', U'\u2756', U'\u2B25', U'\u2327', U'\u2BB9', U'\u2318', U'\U0001F3F5',
    U'\U0001F3F6', U'\U0001F676', U'\U0001F677', 0,
    // 0x80
    U'\u24EA', U'\u2460', U'\u2461', U'\u2462', U'\u2463', U'\u2464', U'\u2465', U'\u2466', U'\u2467', U'\u2468',
    U'\u2469', U'\u24FF', U'\u2776', U'\u2777', U'\u2778', U'\u2779', U'\u277A', U'\u277B', U'\u277C', U'\u277D',
    U'\u277E', U'\u277F', U'\U0001F662', U'\U0001F660', U'\U0001F661', U'\U0001F663', U'\U0001F65E',
    U'\U0001F65C', U'\U0001F65D', U'\U0001F65F', U'\u00B7', U'\u2022',
    // 0xA0
    U'\u25AA', U'\u25CB', U'\u25EF', U'\u25C9', U'\u25C9', U'\u25CE', U'\u25CB', U'\u25AA', U'\u25FB', U'\u2726',
    U'\u2726', U'\u2605', U'\u2736', U'\u2734', U'\u2739', U'\u2735', U'\u2316', U'\u2316', U'\u27E1', U'\u2311',
    U'\u2BD1', U'\u272A', U'\u2730', U'\U0001F550', U'\U0001F551', U'\U0001F552', U'\U0001F553', U'\U0001F554',
    U'\U0001F555', U'\U0001F556', U'\U0001F557', U'\U0001F558',
    // 0xC0
    U'\U0001F559', U'\U0001F55A', U'\U0001F55B', U'\u2BB0', U'\u2BB1', U'\u2BB2', U'\u2BB3', U'\u2BB4', U'\u2BB5',
    U'\u2BB6', U'\u2BB7', U'\U0001F668', U'\U0001F66A', U'\U0001F669', U'\U0001F66B', U'\U0001F66C',
    U'\U0001F66D', U'\U0001F66F', U'\U0001F66E', U'\U0001F678', U'\U0001F67A', U'\u232B', U'\u2326', U'\u2B98',
    U'\u2B9A', U'\u2B99', U'\u2B9B', U'\u2B88', U'\u2B8A', U'\u2B89', U'\u2B8B', U'\U0001F868',
    // 0xE0
    U'\U0001F86A', U'\U0001F869', U'\U0001F86B', U'\U0001F86C', U'\U0001F86D', U'\U0001F86F', U'\U0001F86E',
    U'\U0001F878', U'\U0001F87A', U'\U0001F879', U'\U0001F87B', U'\U0001F87C', U'\U0001F87D', U'\U0001F87F',
    U'\U0001F87E', U'\u21E6', U'\u21E8', U'\u21E7', U'\u21E9', U'\u2B04', U'\u21F3', U'\u2B00', U'\u2B01', U'\u2B03',
    U'\u2B02', U'\U0001F8AC', U'\U0001F8AD', U'\u2718', U'\u2714', U'\u2612', U'\u2611', U'\u229E',
};

struct Pair {
  unsigned char code;
  char32_t ch;
};

// The fonts of which forms use only a few characters: those, by code.
constexpr Pair kWingdings2[] = {
    {0x4F, U'\u2717'}, {0x50, U'\u2713'}, {0x51, U'\u2718'}, {0x52, U'\u2611'}, {0x53, U'\u2612'},
    {0x54, U'\u2612'}, {0x55, U'\u2297'}, {0x57, U'\u29B8'}, {0x98, U'\u25CF'}, {0x99, U'\u25CB'},
    {0x9E, U'\u25CF'}, {0xA1, U'\u25A0'}, {0xA2, U'\u25A1'}, {0xA3, U'\u25A1'}, {0xA4, U'\u25AA'},
    {0xA5, U'\u25AB'}, {0xAE, U'\u25C6'}, {0xAF, U'\u25C7'}, {0xB0, U'\u2756'},
};
constexpr Pair kWingdings3[] = {
    {0x21, U'\u2B60'}, {0x22, U'\u2B62'}, {0x23, U'\u2B61'}, {0x24, U'\u2B63'}, {0x70, U'\u25B2'},
    {0x71, U'\u25BC'}, {0x72, U'\u25B3'}, {0x73, U'\u25BD'}, {0x74, U'\u25C0'}, {0x75, U'\u25B6'},
    {0x76, U'\u25C1'}, {0x77, U'\u25B7'}, {0x78, U'\u25E3'}, {0x79, U'\u25E2'}, {0x7A, U'\u25E4'},
    {0x7B, U'\u25E5'}, {0xC6, U'\u21E6'}, {0xC7, U'\u21E8'}, {0xC8, U'\u21E7'}, {0xC9, U'\u21E9'},
};
constexpr Pair kWebdings[] = {
    {0x3C, U'\u25A0'}, {0x3D, U'\u25A1'}, {0x61, U'\u2714'}, {0x62, U'\u2022'}, {0x63, U'\u25A1'},
    {0x67, U'\u25A0'}, {0x6E, U'\u25A0'}, {0x72, U'\u2716'}, {0x33, U'\u25C0'}, {0x34, U'\u25B6'},
    {0x35, U'\u25B2'}, {0x36, U'\u25BC'},
};

// What an unlisted pictograph of those fonts is shown as: WHITE SQUARE.
constexpr char32_t kUnlisted = U'\u25A1';

template <size_t N>
char32_t Find(const Pair (&pairs)[N], unsigned code) {
  for (const Pair& p : pairs)
    if (p.code == code) return p.ch;
  return 0;
}

}  // namespace

SymbolFont SymbolFontNamed(std::string_view face) {
  std::string name;
  for (char c : face) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
  struct Named {
    const char* name;
    SymbolFont font;
  };
  static constexpr Named kNames[] = {
      {"symbol", SymbolFont::kSymbol},         {"wingdings", SymbolFont::kWingdings},
      {"wingdings 2", SymbolFont::kWingdings2}, {"wingdings 3", SymbolFont::kWingdings3},
      {"webdings", SymbolFont::kWebdings},
  };
  for (const Named& n : kNames)
    if (name == n.name) return n.font;
  return SymbolFont::kNone;
}

char32_t SymbolToUnicode(SymbolFont font, char32_t c) {
  char32_t code = c >= 0xF020 && c <= 0xF0FF ? c - 0xF000 : c;
  if (code < 0x20 || code > 0xFF) return c;
  auto at = static_cast<unsigned>(code);
  char32_t mapped = 0;
  switch (font) {
    case SymbolFont::kSymbol: mapped = kSymbol[at - 0x20]; break;
    case SymbolFont::kWingdings: mapped = kWingdings[at - 0x20]; break;
    case SymbolFont::kWingdings2: mapped = Find(kWingdings2, at); break;
    case SymbolFont::kWingdings3: mapped = Find(kWingdings3, at); break;
    case SymbolFont::kWebdings: mapped = Find(kWebdings, at); break;
    case SymbolFont::kNone: return c;
  }
  if (mapped) return mapped;
  if (code == 0x20) return U' ';
  // Wingdings 2, Wingdings 3 and Webdings list only the form characters
  // (boxes, ticks, crosses, bullets, arrows). Any other code point of theirs
  // draws a pictograph, never the Latin letter of its byte: it is shown as a
  // neutral square, the shape class, rather than as a letter the document
  // does not hold.
  if (font == SymbolFont::kWingdings2 || font == SymbolFont::kWingdings3 || font == SymbolFont::kWebdings)
    return kUnlisted;
  return c;
}

}  // namespace win::rich
