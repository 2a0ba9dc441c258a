// The visible words of an RTF document, read on their own, without the
// viewer's reader: what a printed copy must hold. A word is a run of ASCII
// letters and digits, in lower case; everything else separates words.
// Hidden text (\v), the tables of fonts, colours and styles, headers and
// footers, footnotes, field instructions, pictures, object data and every
// \* destination that is not known to hold text are not visible. Text in a
// symbol font (Symbol, Wingdings, Webdings, or \fcharset2) draws symbols,
// not words.

#pragma once

#include <string>
#include <vector>

namespace lumoret_test {

std::vector<std::string> VisibleRtfWords(const std::string& rtf);

// The words of printed text (pdftotext's output), split the same way.
std::vector<std::string> TextWords(const std::string& text);

}  // namespace lumoret_test
