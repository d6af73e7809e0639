#include "display/uwm_events.h"

#include <gtest/gtest.h>

#include <set>

namespace vesk {
namespace {

TEST(UwmEvents, EveryMessageHasItsOwnEventTypeAndComesBack) {
  std::set<int> types;
  for (int i = 0; i < kUwmCount; ++i) {
    const auto message = static_cast<Uwm>(i);
    const QEvent::Type type = UwmEventType(message);
    EXPECT_GE(type, QEvent::User);
    types.insert(type);
    ASSERT_TRUE(UwmFromEventType(type).has_value());
    EXPECT_EQ(*UwmFromEventType(type), message);
    EXPECT_TRUE(UwmName(message).starts_with("UWM_"));
    EXPECT_TRUE(UwmName(message).ends_with("_5645534B"));
  }
  EXPECT_EQ(types.size(), static_cast<std::size_t>(kUwmCount));
  EXPECT_FALSE(UwmFromEventType(QEvent::MouseButtonPress).has_value());
}

}  // namespace
}  // namespace vesk
