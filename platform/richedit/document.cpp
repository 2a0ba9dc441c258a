#include "platform/richedit/document.h"

#include <algorithm>
#include <mutex>

namespace win::rich {

namespace {

int WidthFor(char32_t c) { return c < 0x100 ? 1 : c < 0x10000 ? 2 : 4; }

void Put(char* p, int width, char32_t c) {
  for (int i = 0; i < width; ++i) p[i] = static_cast<char>((c >> (8 * i)) & 0xFF);
}

struct Faces {
  std::mutex lock;
  std::vector<std::string> names = {"Times New Roman,serif", "Courier New,monospace"};
};
Faces& TheFaces() {
  static Faces faces;
  return faces;
}

bool SameFormat(const CharRun& a, const CharRun& b) { return a.format == b.format; }
bool SameFormat(const ParaRun& a, const ParaRun& b) {
  return a.format == b.format || (a.format && b.format && *a.format == *b.format);
}

template <class Run>
size_t RunAt(const std::vector<Run>& runs, int32_t cp) {
  auto it = std::upper_bound(runs.begin(), runs.end(), cp, [](int32_t v, const Run& r) { return v < r.start; });
  return it == runs.begin() ? runs.size() : static_cast<size_t>(it - runs.begin() - 1);
}

// Cuts `runs` at `from` and `to`, drops the runs inside, shifts the later
// ones by `delta` and inserts `inserted` (starts relative to `from`).
template <class Run>
void SpliceRuns(std::vector<Run>& runs, int32_t from, int32_t to, int32_t newLength, const std::vector<Run>& inserted,
                int32_t oldLength) {
  // The run in effect at `to` continues after the insertion.
  std::vector<Run> out;
  out.reserve(runs.size() + inserted.size() + 1);
  size_t atTo = RunAt(runs, to);
  for (const Run& r : runs)
    if (r.start < from) out.push_back(r);
  for (Run r : inserted) {
    r.start += from;
    out.push_back(std::move(r));
  }
  int32_t delta = newLength - oldLength;
  if (to < oldLength && atTo < runs.size()) {
    Run r = runs[atTo];
    r.start = to + delta;
    out.push_back(std::move(r));
  }
  for (const Run& r : runs)
    if (r.start > to) {
      Run s = r;
      s.start += delta;
      out.push_back(std::move(s));
    }
  // Runs that start at the same place: the last one wins; equal neighbours merge.
  std::vector<Run> merged;
  merged.reserve(out.size());
  for (Run& r : out) {
    if (r.start >= newLength) continue;
    if (!merged.empty() && merged.back().start == r.start) merged.pop_back();
    merged.push_back(std::move(r));
  }
  runs.clear();
  for (Run& r : merged) {
    if (!runs.empty() && SameFormat(runs.back(), r)) continue;
    runs.push_back(std::move(r));
  }
}

}  // namespace

void Chars::push_back(char32_t c) {
  int w = WidthFor(c);
  if (w > width_) Widen(w);
  size_t at = data_.size();
  data_.resize(at + width_);
  Put(data_.data() + at, width_, c);
}

void Chars::Widen(int width) {
  std::string wide;
  size_t n = size();
  wide.reserve(std::max(data_.capacity() / width_, n) * width);
  wide.resize(n * width);
  for (size_t i = 0; i < n; ++i) Put(wide.data() + i * width, width, (*this)[i]);
  data_.swap(wide);
  width_ = width;
}

void Chars::Replace(size_t from, size_t to, const Chars& insert) {
  if (insert.width_ > width_) Widen(insert.width_);
  std::string bytes;
  if (insert.width_ == width_) {
    bytes = insert.data_;
  } else {
    bytes.resize(insert.size() * width_);
    for (size_t i = 0; i < insert.size(); ++i) Put(bytes.data() + i * width_, width_, insert[i]);
  }
  data_.replace(from * width_, (to - from) * width_, bytes);
}

Chars Chars::Slice(size_t from, size_t to) const {
  Chars out;
  out.width_ = width_;
  out.data_ = data_.substr(from * width_, (to - from) * width_);
  return out;
}

std::wstring Chars::Wide(size_t from, size_t to) const {
  std::wstring s;
  s.reserve(to - from);
  for (size_t i = from; i < to; ++i) s.push_back(static_cast<wchar_t>((*this)[i]));
  return s;
}

uint16_t InternFace(std::string_view families) {
  Faces& f = TheFaces();
  std::lock_guard<std::mutex> hold(f.lock);
  for (size_t i = 0; i < f.names.size(); ++i)
    if (f.names[i] == families) return static_cast<uint16_t>(i);
  // A document with more faces than a number holds shares the default.
  if (f.names.size() >= 0xFFFF) return 0;
  f.names.emplace_back(families);
  return static_cast<uint16_t>(f.names.size() - 1);
}

std::string FaceName(uint16_t face) {
  Faces& f = TheFaces();
  std::lock_guard<std::mutex> hold(f.lock);
  return face < f.names.size() ? f.names[face] : f.names[0];
}

std::shared_ptr<const ParaFormat> DefaultParaFormat() {
  static const auto format = std::make_shared<const ParaFormat>();
  return format;
}

const CharFormat& Document::CharAt(int32_t cp) const {
  static const CharFormat kDefault;
  size_t i = RunAt(charRuns, cp);
  return i < charRuns.size() ? charRuns[i].format : kDefault;
}

size_t Document::CharRunAt(int32_t cp) const { return RunAt(charRuns, cp); }

const ParaFormat& Document::ParaAt(int32_t cp) const {
  size_t i = RunAt(paraRuns, cp);
  if (i < paraRuns.size() && paraRuns[i].format) return *paraRuns[i].format;
  return *DefaultParaFormat();
}

void Document::Add(char32_t c, const CharFormat& cf, const std::shared_ptr<const ParaFormat>& pf) {
  int32_t cp = Length();
  chars.push_back(c);
  if (charRuns.empty() || !(charRuns.back().format == cf)) charRuns.push_back({cp, cf});
  if (paraRuns.empty() || !SameFormat(paraRuns.back(), ParaRun{cp, pf})) paraRuns.push_back({cp, pf});
  if (c == kObjectMark) marks.push_back({cp, nullptr, -1});
}

void Document::SetParaFrom(int32_t from, const std::shared_ptr<const ParaFormat>& pf) {
  if (from >= Length()) return;
  size_t i = RunAt(paraRuns, from);
  if (i < paraRuns.size() && paraRuns[i].start == from) {
    paraRuns.resize(i);
  } else {
    paraRuns.resize(i == paraRuns.size() ? 0 : i + 1);
  }
  ParaRun r{from, pf};
  if (paraRuns.empty() || !SameFormat(paraRuns.back(), r)) paraRuns.push_back(std::move(r));
}

size_t Document::MarksBefore(int32_t cp) const {
  auto it = std::lower_bound(marks.begin(), marks.end(), cp, [](const Mark& m, int32_t v) { return m.cp < v; });
  return static_cast<size_t>(it - marks.begin());
}

size_t Document::Replace(int32_t from, int32_t to, const Document& insert) {
  int32_t oldLength = Length();
  from = std::clamp(from, 0, oldLength);
  to = std::clamp(to, from, oldLength);
  int32_t newLength = oldLength - (to - from) + insert.Length();
  SpliceRuns(charRuns, from, to, newLength, insert.charRuns, oldLength);
  SpliceRuns(paraRuns, from, to, newLength, insert.paraRuns, oldLength);
  chars.Replace(static_cast<size_t>(from), static_cast<size_t>(to), insert.chars);
  size_t first = MarksBefore(from);
  size_t last = MarksBefore(to);
  int32_t delta = newLength - oldLength;
  for (size_t i = last; i < marks.size(); ++i) marks[i].cp += delta;
  std::vector<Mark> added = insert.marks;
  for (Mark& m : added) m.cp += from;
  marks.erase(marks.begin() + static_cast<ptrdiff_t>(first), marks.begin() + static_cast<ptrdiff_t>(last));
  marks.insert(marks.begin() + static_cast<ptrdiff_t>(first), added.begin(), added.end());
  return first;
}

size_t Document::MemoryBytes() const {
  return chars.Capacity() + charRuns.capacity() * sizeof(CharRun) + paraRuns.capacity() * sizeof(ParaRun) +
         marks.capacity() * sizeof(Mark);
}

void Document::ShrinkToFit() {
  chars.ShrinkToFit();
  charRuns.shrink_to_fit();
  paraRuns.shrink_to_fit();
  marks.shrink_to_fit();
}

}  // namespace win::rich
