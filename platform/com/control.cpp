#include "platform/com/control.h"

#include <map>

namespace com {
namespace {

std::map<std::string, ControlFactory, std::less<>>& Classes() {
  static std::map<std::string, ControlFactory, std::less<>> classes;
  return classes;
}

}  // namespace

void RegisterControlClass(std::string progId, ControlFactory factory) {
  Classes()[std::move(progId)] = std::move(factory);
}

std::shared_ptr<Control> CreateControl(std::string_view progId) {
  auto it = Classes().find(progId);
  if (it == Classes().end()) return nullptr;
  return it->second();
}

}  // namespace com
