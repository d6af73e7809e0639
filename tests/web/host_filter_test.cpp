#include "web/host_filter.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(HostFilter, AllowListsAgainstPeers) {
  struct Case {
    const char* allowed;
    std::vector<std::pair<const char*, bool>> peers;
    std::size_t warnings;
  };
  const Case cases[] = {
      // Empty: this computer only, however its peers' addresses are written.
      {"",
       {{"127.0.0.1", true}, {"::1", true}, {"::ffff:127.0.0.1", true}, {"203.0.113.7", false}},
       0},
      {" * ", {{"203.0.113.7", true}, {"2001:db8::1", true}}, 0},
      {"10.0.0.0/24, 2001:db8::/32",
       {{"10.0.0.77", true},
        {"::ffff:10.0.0.77", true},
        {"10.0.1.1", false},
        {"2001:db8::5", true},
        {"127.0.0.1", false}},
       0},
      {"10.0.0.5,, localhost", {{"10.0.0.5", true}, {"10.0.0.6", false}, {"127.0.0.1", true}}, 0},
      // Nothing usable allows nobody, never everybody.
      {"10.0.0.0/99", {{"10.0.0.1", false}, {"127.0.0.1", false}}, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::string> warnings;
    const HostFilter filter(c.allowed, warnings);
    EXPECT_EQ(warnings.size(), c.warnings) << c.allowed;
    for (const auto& [peer, allowed] : c.peers) {
      EXPECT_EQ(filter.Allows(QHostAddress(QString::fromLatin1(peer))), allowed)
          << c.allowed << " / " << peer;
    }
  }
}

}  // namespace
}  // namespace vesk
