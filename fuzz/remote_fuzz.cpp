// Remote-control datagrams and sender allow-lists.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "control/remote_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)vesk::ParseRemoteCommand(std::span(data, size));
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t split = text.find('|');
  if (split != std::string_view::npos) {
    (void)vesk::IsRemoteSenderAllowed(text.substr(0, split), text.substr(split + 1));
  }
  return 0;
}
