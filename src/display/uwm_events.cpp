#include "display/uwm_events.h"

#include <array>
#include <map>
#include <mutex>
#include <string>

namespace vesk {
namespace {

// QEvent::registerEventType takes no name: this table maps each message name to its type.
struct Registry {
  Registry() {
    for (int i = 0; i < kUwmCount; ++i) {
      const auto message = static_cast<Uwm>(i);
      const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
      byName[std::string(UwmName(message))] = type;
      types[i] = type;
      byType[type] = message;
    }
  }
  std::map<std::string, QEvent::Type> byName;
  std::array<QEvent::Type, kUwmCount> types{};
  std::map<QEvent::Type, Uwm> byType;
};

const Registry& TheRegistry() {
  static const Registry registry;
  return registry;
}

}  // namespace

QEvent::Type UwmEventType(Uwm message) {
  return TheRegistry().types[static_cast<int>(message)];
}

std::optional<Uwm> UwmFromEventType(QEvent::Type type) {
  const auto& byType = TheRegistry().byType;
  const auto it = byType.find(type);
  if (it == byType.end()) return std::nullopt;
  return it->second;
}

}  // namespace vesk
