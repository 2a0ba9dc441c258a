#include "platform/richedit/layout.h"

#include <algorithm>

namespace win::layout {

namespace {

bool IsBreak(wchar_t c) { return c == L'\r' || c == L'\v'; }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

int32_t Advance(const rtf::Text& t, int32_t i, int32_t x) {
  auto u = static_cast<size_t>(i);
  if (t.chars[u] == L'\t') return (x / kTabStop + 1) * kTabStop - x;
  return CharWidth(t.sizes[u]);
}

int32_t Height(const rtf::Text& t, int32_t start, int32_t end) {
  int32_t h = 0;
  for (int32_t i = start; i < end; ++i) h = std::max(h, LineHeight(t.sizes[static_cast<size_t>(i)]));
  return h;
}

}  // namespace

std::vector<Line> Lines(const rtf::Text& text, int32_t from, int32_t to, int32_t width) {
  std::vector<Line> lines;
  to = std::min<int32_t>(to, static_cast<int32_t>(text.chars.size()));
  int32_t pos = std::max(from, 0);
  while (pos < to) {
    int32_t start = pos, x = 0, lastBreak = -1, end = to, i = pos;
    while (i < to) {
      wchar_t c = text.chars[static_cast<size_t>(i)];
      if (IsBreak(c)) {
        end = i + 1;
        break;
      }
      int32_t w = Advance(text, i, x);
      if (IsBlank(c)) {
        x += w;
        lastBreak = ++i;
        continue;
      }
      if (x + w > width && i > start) {
        end = lastBreak > start ? lastBreak : i;
        break;
      }
      x += w;
      ++i;
    }
    if (i >= to) end = to;
    lines.push_back({start, end, Height(text, start, end)});
    pos = end;
  }
  return lines;
}

std::vector<Run> Runs(const rtf::Text& text, const Line& line) {
  std::vector<Run> runs;
  int32_t x = 0;
  for (int32_t i = line.start; i < line.end; ++i) {
    wchar_t c = text.chars[static_cast<size_t>(i)];
    if (IsBreak(c)) break;
    uint16_t size = text.sizes[static_cast<size_t>(i)];
    if (c != L'\t') {
      if (runs.empty() || runs.back().end != i || runs.back().size != size) runs.push_back({i, i, x, size});
      runs.back().end = i + 1;
    }
    x += Advance(text, i, x);
  }
  return runs;
}

}  // namespace win::layout
