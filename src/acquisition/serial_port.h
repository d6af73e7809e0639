#pragma once
// One serial device (a real tty, a USB adapter or a pseudo-terminal) opened with the line
// codes the program stores for its ports, and the exception every failing operation throws.
// Port number n is /dev/ttyS{n-1} unless a device path is given.

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vesk {

class CSerialException : public std::runtime_error {
 public:
  // `context` says what failed ("Cannot open /dev/ttyS0"); the system's text for
  // `errorCode` follows it in what(). `deviceGone` marks a device that vanished under an
  // open port (unplugged adapter, hung-up line): the caller may reopen it.
  CSerialException(int errorCode, const std::string& context, bool deviceGone = false);

  int ErrorCode() const { return errorCode_; }
  bool IsDeviceGone() const { return deviceGone_; }
  // The whole message text (the same as what()).
  std::string GetErrorMessage() const { return what(); }
  // The message text cut to `capacity` characters (terminator included); false and an
  // empty text when there is no text.
  bool GetErrorMessage(char* buffer, std::size_t capacity) const;

 private:
  int errorCode_;
  bool deviceGone_;
};

// Read and write time-outs in milliseconds, with the meaning the program's port code
// expects: a blocking read waits at most readTotalMultiplierMs * count +
// readTotalConstantMs for `count` bytes and also returns when readIntervalMs passes between
// two bytes. Both totals 0 and the interval kSerialMaxWait: return at once with what is
// there. All read values 0: wait until `count` bytes arrived. Writes wait at most
// writeTotalMultiplierMs * count + writeTotalConstantMs, or a bound derived from the bit
// rate when both are 0 (a write never blocks forever).
inline constexpr std::uint32_t kSerialMaxWait = 0xFFFFFFFFu;
struct SerialTimeouts {
  std::uint32_t readIntervalMs = 0;
  std::uint32_t readTotalMultiplierMs = 0;
  std::uint32_t readTotalConstantMs = 200;
  std::uint32_t writeTotalMultiplierMs = 0;
  std::uint32_t writeTotalConstantMs = 0;
};

// Purge flags (may be combined).
inline constexpr unsigned kPurgeTxAbort = 0x1;
inline constexpr unsigned kPurgeRxAbort = 0x2;
inline constexpr unsigned kPurgeTxClear = 0x4;
inline constexpr unsigned kPurgeRxClear = 0x8;

// Puts the line codes of CSerialPort::Open (and the raw mode the program reads in) into
// `tio`, which holds the device's current settings. Throws CSerialException for a code
// that termios cannot carry out (naming it), an unknown code or an unsupported rate;
// `devicePath` goes into the message.
void ApplyLineCodes(termios& tio, int bitRate, int parityCode, int dataBits, int stopBitsCode,
                    int flowCode, const std::string& devicePath);

class CSerialPort {
 public:
  CSerialPort() = default;
  ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Codes: parity 0 even, 1 mark, 2 none, 3 odd, 4 space; stop bits 0 one, 1 one and a
  // half (5 data bits only), 2 two; flow 0 none, 1 CTS/RTS, 2 CTS/DTR, 3 DSR/RTS,
  // 4 DSR/DTR, 5 XON/XOFF (another code keeps the device's flow settings). Closes the port
  // first if open; takes the device exclusively. Throws CSerialException on any failure
  // and then leaves the port closed.
  void Open(int portNumber, int bitRate, int parityCode, int dataBits, int stopBitsCode,
            int flowCode, const std::string& devicePath = "");
  // Closes the device; does nothing when closed.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The device path of the open port ("" when closed).
  const std::string& DevicePath() const { return path_; }
  // The device that port number n names when no path is set: /dev/ttyS{n-1}.
  static std::string DevicePathForPort(int portNumber);

  // Blocking read bounded by the time-outs (SetTimeouts): the count of bytes read, 0 when
  // the time-out expired first.
  std::size_t Read(void* buffer, std::size_t count);
  // Waits up to timeoutMs for data, then returns what is there (at most `count` bytes);
  // 0 on time-out.
  std::size_t Read(void* buffer, std::size_t count, int timeoutMs);
  // True when bytes can be read within timeoutMs (the wait for a received character).
  bool WaitForData(int timeoutMs);
  // Writes, waiting at most the write time-out; returns the bytes written (fewer when the
  // time-out expired first).
  std::size_t Write(const void* buffer, std::size_t count);
  // Discards the receive and/or transmit buffers (kPurge... flags).
  void Purge(unsigned flags);
  void SetTimeouts(const SerialTimeouts& timeouts);
  void SetTimeouts(std::uint32_t readIntervalMs, std::uint32_t readTotalMultiplierMs,
                   std::uint32_t readTotalConstantMs, std::uint32_t writeTotalMultiplierMs,
                   std::uint32_t writeTotalConstantMs);
  const SerialTimeouts& GetTimeouts() const { return timeouts_; }
  // The file descriptor of the open port (-1 when closed), for callers that poll it.
  int NativeHandle() const { return fd_; }

 private:
  void RequireOpen(const char* operation) const;
  // Reads what is there now; throws on a vanished device or another error.
  std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t count);
  // poll() for `events`; timeoutMs < 0 waits without end. Returns the revents (0 on
  // time-out).
  short PollFor(short events, int timeoutMs);

  int fd_ = -1;
  int bitRate_ = 0;
  std::string path_;
  SerialTimeouts timeouts_;
};

}  // namespace vesk
