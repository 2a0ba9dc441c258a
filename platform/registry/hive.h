#pragma once
// A registry hive in memory and its text form (registry.h shows the format):
// the tree of keys with their values, read from and written to the text of
// a hive file.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reg::hive {

// The platform's limits: a key name part of at most 255 characters, keys
// nested at most 512 levels deep, value names of at most 16383 characters.
inline constexpr size_t kMaxKeyPart = 255;
inline constexpr size_t kMaxDepth = 512;
inline constexpr size_t kMaxValueName = 16383;

struct Value {
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// Names compare without regard to case.
std::string Fold(std::string_view s);
bool SameText(std::string_view a, std::string_view b);

struct Node {
  std::string name;
  std::vector<Value> values;                             // stored order
  std::map<std::string, std::unique_ptr<Node>> subkeys;  // by folded name

  Node* Child(std::string_view part);
  Node* AddChild(std::string_view part);
  Value* FindValue(std::string_view name);
};

using Path = std::vector<std::string>;

// Splits "A\B\C"; empty parts (leading, trailing or doubled "\") are
// skipped. None for a part longer than kMaxKeyPart or more than kMaxDepth
// parts.
std::optional<Path> SplitPath(std::string_view path);
// The node at `path` below `root`, null when a part is missing.
Node* Resolve(Node* root, const Path& path);

// The text of a hive file for the tree.
std::string Serialize(const Node& root);
// Reads the text of a hive file into the empty tree `root`; false when a
// line is not as Serialize writes it (comments, blank lines and CR LF line
// ends aside) or two sections name the same key: the hive is damaged.
bool Parse(std::string_view text, Node* root);

}  // namespace reg::hive
