#pragma once
// The serial devices present on this machine, for the port pages' device chooser, and the
// device a port page's choice resolves to.

#include <string>
#include <vector>

namespace vesk {

// Every /dev/serial/by-id/* link and every /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS* device
// that exists under `devRoot`, in that order (numbers in numeric order).
std::vector<std::string> ListSerialDevices(const std::string& devRoot = "/dev");

// The device a port number and an optional device path open: the path when set, else the
// port's /dev/ttyS device; symbolic links (such as /dev/serial/by-id/...) followed.
std::string ResolvePortDevice(int port, const std::string& device);

}  // namespace vesk
