#include "docviewer/framework/fwtext.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace fw {
namespace {

constexpr int kMaxWidth = 4096;

void AppendUtf8(std::string* out, uint32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Byte length of the first `chars` characters of UTF-8 `text`.
size_t PrefixBytes(std::string_view text, size_t chars) {
  size_t i = 0;
  while (i < text.size() && chars > 0) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    --chars;
  }
  return i;
}

size_t CharCount(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

void Pad(std::string* out, std::string_view text, int width, bool left) {
  size_t chars = CharCount(text);
  size_t fill = width > 0 && static_cast<size_t>(width) > chars ? static_cast<size_t>(width) - chars : 0;
  if (!left) out->append(fill, ' ');
  out->append(text);
  if (left) out->append(fill, ' ');
}

bool IsInteger(const FmtArg& a) {
  return a.kind() == FmtArg::Kind::Int || a.kind() == FmtArg::Kind::UInt || a.kind() == FmtArg::Kind::Ptr;
}

// Reads a width or precision: digits, or "*" taking an integer argument.
bool ReadNumber(std::string_view f, size_t* i, std::span<const FmtArg> args, size_t* ai, int* value,
                bool* fromArg) {
  *fromArg = false;
  if (*i < f.size() && f[*i] == '*') {
    ++*i;
    if (*ai >= args.size() || !IsInteger(args[*ai])) return false;
    const FmtArg& a = args[(*ai)++];
    int64_t v = a.kind() == FmtArg::Kind::Int ? a.i() : static_cast<int64_t>(a.u());
    if (v > kMaxWidth || v < -kMaxWidth) return false;
    *value = static_cast<int>(v);
    *fromArg = true;
    return true;
  }
  int v = -1;
  while (*i < f.size() && f[*i] >= '0' && f[*i] <= '9') {
    v = (v < 0 ? 0 : v) * 10 + (f[*i] - '0');
    if (v > kMaxWidth) return false;
    ++*i;
  }
  *value = v;
  return true;
}

}  // namespace

bool Format(std::string* out, std::string_view f, std::span<const FmtArg> args) {
  out->clear();
  size_t ai = 0;
  size_t i = 0;
  while (i < f.size()) {
    if (f[i] != '%') {
      out->push_back(f[i++]);
      continue;
    }
    if (++i >= f.size()) return false;
    if (f[i] == '%') {
      out->push_back('%');
      ++i;
      continue;
    }
    std::string flags;
    while (i < f.size() && std::string_view("-+ #0").find(f[i]) != std::string_view::npos) flags += f[i++];
    int width = -1;
    bool fromArg = false;
    if (!ReadNumber(f, &i, args, &ai, &width, &fromArg)) return false;
    if (fromArg && width < 0) {
      flags += '-';
      width = -width;
    }
    int precision = -1;
    if (i < f.size() && f[i] == '.') {
      ++i;
      if (!ReadNumber(f, &i, args, &ai, &precision, &fromArg)) return false;
      if (!fromArg && precision < 0) precision = 0;  // "." alone means 0
    }
    // Length modifiers; without a 64-bit one integers are 32-bit.
    bool wide64 = false;
    int narrow = 0;  // 1 h, 2 hh
    while (i < f.size() && std::string_view("hlLzjtq").find(f[i]) != std::string_view::npos) {
      char m = f[i++];
      if (m == 'h') narrow = narrow == 1 ? 2 : 1;
      else if (m != 'L') wide64 = true;
    }
    if (i >= f.size()) return false;
    char conv = f[i++];
    bool left = flags.find('-') != std::string::npos;

    if (conv == 's' || conv == 'S') {
      if (ai >= args.size()) return false;
      const FmtArg& a = args[ai++];
      std::string text;
      if (a.kind() == FmtArg::Kind::Str) text = a.s();
      else if (a.kind() == FmtArg::Kind::WStr) text = Utf8(a.w());
      else return false;
      if (precision >= 0) text.resize(PrefixBytes(text, static_cast<size_t>(precision)));
      Pad(out, text, width, left);
      continue;
    }
    if (conv == 'c') {
      if (ai >= args.size() || !IsInteger(args[ai])) return false;
      const FmtArg& a = args[ai++];
      uint64_t v = a.kind() == FmtArg::Kind::Int ? static_cast<uint64_t>(a.i()) : a.u();
      std::string text;
      AppendUtf8(&text, v > 0x10FFFF ? 0xFFFD : static_cast<uint32_t>(v));
      Pad(out, text, width, left);
      continue;
    }

    std::string conversion = "%" + flags;
    if (width >= 0) conversion += std::to_string(width);
    if (precision >= 0) conversion += "." + std::to_string(precision);
    std::vector<char> buffer(static_cast<size_t>(std::max(width, 0) + std::max(precision, 0)) + 400);
    int n = -1;
    if (conv == 'd' || conv == 'i' || conv == 'u' || conv == 'x' || conv == 'X' || conv == 'o' || conv == 'p') {
      if (ai >= args.size() || !IsInteger(args[ai])) return false;
      const FmtArg& a = args[ai++];
      uint64_t bits = a.kind() == FmtArg::Kind::Int ? static_cast<uint64_t>(a.i()) : a.u();
      if (conv == 'p') {
        // As the platform shows a pointer: upper-case hex, all its digits.
        conversion = "%0" + std::to_string(2 * sizeof(void*)) + "llX";
        n = std::snprintf(buffer.data(), buffer.size(), conversion.c_str(), static_cast<unsigned long long>(bits));
      } else if (conv == 'd' || conv == 'i') {
        int64_t v = static_cast<int64_t>(bits);
        if (narrow == 2) v = static_cast<signed char>(bits);
        else if (narrow == 1) v = static_cast<int16_t>(bits);
        else if (!wide64) v = static_cast<int32_t>(bits);
        conversion += "lld";
        n = std::snprintf(buffer.data(), buffer.size(), conversion.c_str(), static_cast<long long>(v));
      } else {
        uint64_t v = bits;
        if (narrow == 2) v = static_cast<uint8_t>(bits);
        else if (narrow == 1) v = static_cast<uint16_t>(bits);
        else if (!wide64) v = static_cast<uint32_t>(bits);
        conversion += "ll";
        conversion += conv;
        n = std::snprintf(buffer.data(), buffer.size(), conversion.c_str(), static_cast<unsigned long long>(v));
      }
    } else if (std::string_view("eEfFgGaA").find(conv) != std::string_view::npos) {
      if (ai >= args.size()) return false;
      const FmtArg& a = args[ai++];
      double v;
      if (a.kind() == FmtArg::Kind::Dbl) v = a.d();
      else if (a.kind() == FmtArg::Kind::Int) v = static_cast<double>(a.i());
      else if (a.kind() == FmtArg::Kind::UInt) v = static_cast<double>(a.u());
      else return false;
      conversion += conv;
      n = std::snprintf(buffer.data(), buffer.size(), conversion.c_str(), v);
    } else {
      return false;  // %n and unknown conversions
    }
    if (n < 0 || static_cast<size_t>(n) >= buffer.size()) return false;
    out->append(buffer.data(), static_cast<size_t>(n));
  }
  return true;
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(&out, c);
  }
  return out;
}

std::u16string Wide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t len;
    if (b < 0x80) { cp = b; len = 1; }
    else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; len = 2; }
    else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; len = 3; }
    else if ((b & 0xF8) == 0xF0) { cp = b & 0x07; len = 4; }
    else { cp = 0xFFFD; len = 1; }
    bool ok = i + len <= text.size();
    for (size_t k = 1; ok && k < len; ++k) {
      unsigned char cont = static_cast<unsigned char>(text[i + k]);
      if ((cont & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (cont & 0x3F);
    }
    if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      cp = 0xFFFD;
      len = 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::u16string Fit(std::u16string text, size_t max) {
  if (text.size() <= max) return text;
  size_t keep = max >= 2 ? max - 2 : 0;
  // Do not split a surrogate pair.
  if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
  text.resize(keep);
  text += u"..";
  return text;
}

std::string Fit(std::string text, size_t max) {
  if (text.size() <= max) return text;
  size_t keep = max >= 2 ? max - 2 : 0;
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
  text.resize(keep);
  text += "..";
  return text;
}

std::string_view BaseName(std::string_view path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

uint32_t CurrentThreadId() {
  static std::atomic<uint32_t> next{1};
  thread_local uint32_t id = 0;
  while (id == 0 || id == 0xFFFFFFFF) id = next.fetch_add(1);
  return id;
}

uint32_t TickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

}  // namespace fw
