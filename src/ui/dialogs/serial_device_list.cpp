#include "ui/dialogs/serial_device_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "acquisition/serial_port.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;

// "ttyS10" after "ttyS9": the name's prefix, then its trailing number.
bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    std::size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1])) != 0) --digits;
    const std::string number = s.substr(digits);
    return std::make_pair(s.substr(0, digits),
                          number.empty() ? -1L : std::stol(number.substr(0, 9)));
  };
  return split(a) < split(b);
}

std::vector<std::string> Matching(const fs::path& dir, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0 && name.size() > prefix.size()) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  std::vector<std::string> paths;
  for (const std::string& n : names) paths.push_back((dir / n).string());
  return paths;
}

}  // namespace

std::vector<std::string> ListSerialDevices(const std::string& devRoot) {
  const fs::path root(devRoot);
  std::vector<std::string> out = Matching(root / "serial" / "by-id", "");
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    std::vector<std::string> found = Matching(root, prefix);
    out.insert(out.end(), found.begin(), found.end());
  }
  return out;
}

std::string ResolvePortDevice(int port, const std::string& device) {
  const std::string path = device.empty() ? CSerialPort::DevicePathForPort(port) : device;
  std::error_code ec;
  const fs::path real = fs::canonical(path, ec);
  return ec ? fs::path(path).lexically_normal().string() : real.string();
}

}  // namespace vesk
