#pragma once
// Reading the bytes streamed into the rich edit control: RTF and plain text
// become text with one font size per character.
//
// RTF: groups, control words and symbols; \par (paragraph end "\r"),
// \line ("\v"), \tab, \'hh (Windows-1252), \uN with its \ucN fallback,
// \fsN font sizes and \plain; destinations that carry no text of the
// document are skipped (font, colour and style tables, \info, pictures,
// headers and footers, field instructions, every \* destination that is not
// known). An embedded object {\object ...} leaves one object mark (U+FFFC)
// in the text and keeps its class (\objclass), its data (\objdata, hex) and
// its result text (\result) aside. Groups left open are closed at the
// end; whatever follows the closing of the outermost group is ignored.
//
// Plain text: Windows-1252, or UTF-8 after a UTF-8 byte-order mark; CR LF,
// LF and CR alone end a paragraph ("\r").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace win::rtf {

// Half-points, as \fs counts them: 20 is 10 points, the size of text that
// names none.
inline constexpr uint16_t kDefaultSize = 20;
inline constexpr wchar_t kObjectMark = L'\uFFFC';

struct Text {
  std::wstring chars;
  std::vector<uint16_t> sizes;  // one per character
  void Add(wchar_t c, uint16_t size) {
    chars.push_back(c);
    sizes.push_back(size);
  }
};

struct Object {
  std::string className;
  std::vector<uint8_t> data;
  Text result;
};

struct Document {
  Text text;
  std::vector<Object> objects;  // in the order of their marks
};

Document ReadRtf(std::string_view bytes);
Document ReadPlain(std::string_view bytes);
// True when the bytes start with "{\rtf" in any case.
bool LooksLikeRtf(std::string_view bytes);

}  // namespace win::rtf
