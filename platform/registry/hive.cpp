#include "platform/registry/hive.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "platform/registry/registry.h"
#include "platform/runtime/strings.h"

namespace reg::hive {

namespace {

constexpr std::string_view kHeader = "; ORN registry hive, format 1";
constexpr std::string_view kTrailer = "; end of hive";

const char kHex[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string QuoteText(std::string_view s) {
  std::string out = "\"";
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

// Reads a quoted text at s[*pos]; false on any malformation.
bool UnquoteText(std::string_view s, size_t* pos, std::string* out) {
  size_t i = *pos;
  if (i >= s.size() || s[i] != '"') return false;
  out->clear();
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case '\\': *out += '\\'; break;
      case '"': *out += '"'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      case 't': *out += '\t'; break;
      case 'x': {
        if (i + 2 >= s.size()) return false;
        int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return false;  // no closing quote
}

std::string EscapeKeyPart(std::string_view s) {
  std::string out;
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '%') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

bool UnescapeKeyPath(std::string_view s, std::string* out) {
  out->clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      *out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
    if (hi < 0 || lo < 0) return false;
    *out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

bool IsPlainText(const std::vector<uint8_t>& d) {
  if (d.empty() || d.back() != 0) return false;
  return std::memchr(d.data(), 0, d.size() - 1) == nullptr;
}

std::string ValueLine(const Value& v) {
  std::string line = v.name.empty() ? "@" : QuoteText(v.name);
  line += '=';
  if ((v.type == kString || v.type == kExpandString) && IsPlainText(v.data)) {
    line += v.type == kString ? "sz:" : "expand_sz:";
    line += QuoteText(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
  } else if (v.type == kDword && v.data.size() == 4) {
    uint32_t x = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<uint32_t>(v.data[3]) << 24;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", x);
    line += "dword:";
    line += buf;
  } else {
    line += v.type == kBinary ? "hex:" : "hex(" + std::to_string(v.type) + "):";
    for (size_t i = 0; i < v.data.size(); ++i) {
      if (i) line += ',';
      line += kHex[v.data[i] >> 4];
      line += kHex[v.data[i] & 15];
    }
  }
  return line;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>* out) {
  out->clear();
  if (s.empty()) return true;
  for (size_t i = 0;; i += 3) {
    if (i + 2 > s.size()) return false;
    int hi = HexValue(s[i]), lo = HexValue(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<uint8_t>(hi * 16 + lo));
    if (i + 2 == s.size()) return true;
    if (s[i + 2] != ',') return false;
  }
}

bool ParseValueLine(std::string_view line, Value* v) {
  size_t pos = 0;
  if (line.substr(0, 1) == "@") {
    v->name.clear();
    pos = 1;
  } else if (!UnquoteText(line, &pos, &v->name) || v->name.empty()) {
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  std::string_view rest = line.substr(pos + 1);
  size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view kind = rest.substr(0, colon), body = rest.substr(colon + 1);
  if (kind == "sz" || kind == "expand_sz") {
    std::string text;
    size_t p = 0;
    if (!UnquoteText(body, &p, &text) || p != body.size()) return false;
    v->type = kind == "sz" ? kString : kExpandString;
    v->data.assign(text.begin(), text.end());
    v->data.push_back(0);
    return true;
  }
  if (kind == "dword") {
    if (body.size() != 8) return false;
    uint32_t x = 0;
    for (char c : body) {
      int h = HexValue(c);
      if (h < 0) return false;
      x = x << 4 | static_cast<uint32_t>(h);
    }
    v->type = kDword;
    v->data = {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x >> 16),
               static_cast<uint8_t>(x >> 24)};
    return true;
  }
  if (kind == "hex") {
    v->type = kBinary;
  } else if (kind.size() > 5 && kind.substr(0, 4) == "hex(" && kind.back() == ')') {
    std::string_view num = kind.substr(4, kind.size() - 5);
    if (num.empty() || num.size() > 10) return false;
    uint64_t t = 0;
    for (char c : num) {
      if (c < '0' || c > '9') return false;
      t = t * 10 + static_cast<uint64_t>(c - '0');
    }
    if (t > UINT32_MAX) return false;
    v->type = static_cast<uint32_t>(t);
  } else {
    return false;
  }
  return ParseHexBytes(body, &v->data);
}

void WriteNode(const Node& n, const std::string& path, std::string* out) {
  *out += "[" + path + "]\n";
  for (const auto& v : n.values) *out += ValueLine(v) + "\n";
  for (const auto& [folded, child] : n.subkeys) {
    WriteNode(*child, (path.empty() ? "" : path + "\\") + EscapeKeyPart(child->name), out);
  }
}

}  // namespace

std::string Fold(std::string_view s) { return rt::LCase(s); }

bool SameText(std::string_view a, std::string_view b) {
  return rt::StrComp(a, b, rt::kTextCompare) == 0;
}

Node* Node::Child(std::string_view part) {
  auto it = subkeys.find(Fold(part));
  return it == subkeys.end() ? nullptr : it->second.get();
}

Node* Node::AddChild(std::string_view part) {
  auto& slot = subkeys[Fold(part)];
  if (!slot) {
    slot = std::make_unique<Node>();
    slot->name = std::string(part);
  }
  return slot.get();
}

Value* Node::FindValue(std::string_view n) {
  for (auto& v : values) {
    if (SameText(v.name, n)) return &v;
  }
  return nullptr;
}

std::optional<Path> SplitPath(std::string_view path) {
  Path parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (part.size() > kMaxKeyPart) return std::nullopt;
    if (!part.empty()) {
      // Checked while splitting: a path of a million levels is refused
      // without first being taken apart.
      if (parts.size() == kMaxDepth) return std::nullopt;
      parts.emplace_back(part);
    }
    start = end + 1;
  }
  return parts;
}

Node* Resolve(Node* root, const Path& path) {
  Node* n = root;
  for (const auto& part : path) {
    if (!(n = n->Child(part))) return nullptr;
  }
  return n;
}

std::string Serialize(const Node& root) {
  std::string out(kHeader);
  out += '\n';
  WriteNode(root, "", &out);
  out += kTrailer;
  out += '\n';
  return out;
}

bool Parse(std::string_view text, Node* root) {
  if (text.empty() || text.back() != '\n') return false;
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    std::string_view l = text.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);  // edited elsewhere
    lines.push_back(l);
    start = end + 1;
  }
  if (lines.size() < 2 || lines.front() != kHeader || lines.back() != kTrailer) return false;
  Node* current = nullptr;
  // Keys seen by their folded parts: "[a]", "[A]", "[a\]" and "[%61]" are
  // one key, and a second section for it would be lost on the next write.
  std::set<Path> seenKeys;
  std::set<std::string> seenValues;  // folded names of `current`'s values
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    std::string_view l = lines[i];
    if (l.empty() || l[0] == ';') continue;
    if (l[0] == '[') {
      std::string path;
      if (l.size() < 2 || l.back() != ']' || !UnescapeKeyPath(l.substr(1, l.size() - 2), &path)) {
        return false;
      }
      auto parts = SplitPath(path);
      if (!parts) return false;
      Path folded;
      for (const auto& p : *parts) folded.push_back(Fold(p));
      if (!seenKeys.insert(std::move(folded)).second) return false;
      seenValues.clear();
      current = root;
      for (const auto& p : *parts) current = current->AddChild(p);
      continue;
    }
    Value v;
    if (!current || !ParseValueLine(l, &v) || !seenValues.insert(Fold(v.name)).second) return false;
    current->values.push_back(std::move(v));
  }
  return true;
}

}  // namespace reg::hive
