#include "acquisition/serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <cstring>
#include <string>

#include "test_support/pty.h"
#include "test_support/temp_dir.h"

namespace vesk {
namespace {

using test::Pty;

termios Attributes(const CSerialPort& port) {
  termios t{};
  EXPECT_EQ(tcgetattr(port.NativeHandle(), &t), 0);
  return t;
}

// What `op` throws; a failure (and an empty exception) when it throws nothing.
template <class Op>
CSerialException Thrown(Op op) {
  try {
    op();
  } catch (const CSerialException& e) {
    return e;
  }
  ADD_FAILURE() << "no CSerialException thrown";
  return CSerialException(0, "");
}

// What the codes make of a device's settings (a pty cannot show parity or character size:
// recent kernels keep it at 8 bits without parity).
TEST(SerialPort, LineCodesGiveTermiosSettings) {
  struct Case {
    int bitRate, parity, dataBits, stopCode;
    bool valid;
    tcflag_t parityBits;  // of PARENB | PARODD | CMSPAR
    tcflag_t size;
    bool cstopb;
    speed_t speed;
  } cases[] = {
      {115200, 0, 8, 0, true, PARENB, CS8, false, B115200},                    // even
      {115200, 1, 8, 0, true, PARENB | PARODD | CMSPAR, CS8, false, B115200},  // mark
      {9600, 3, 7, 0, true, PARENB | PARODD, CS7, false, B9600},               // odd
      {9600, 4, 7, 2, true, PARENB | CMSPAR, CS7, true, B9600},                // space
      {4800, 2, 5, 1, true, 0, CS5, true, B4800},  // 1.5 stop bits: 5-bit characters only
      {9600, 5, 8, 0, false, 0, 0, false, 0},
      {9600, -1, 8, 0, false, 0, 0, false, 0},
      {9600, 2, 8, 1, false, 0, 0, false, 0},
      {9600, 2, 5, 2, false, 0, 0, false, 0},
      {9600, 2, 8, 3, false, 0, 0, false, 0},
      {9600, 2, 9, 0, false, 0, 0, false, 0},
      {0, 2, 8, 0, false, 0, 0, false, 0},  // never B0: it would hang the line up
      {12345, 2, 8, 0, false, 0, 0, false, 0},
  };
  for (const Case& c : cases) {
    termios t{};
    t.c_cflag = PARENB | CSTOPB | CS7;  // whatever the device had
    t.c_lflag = ICANON | ECHO;
    const std::string what = std::to_string(c.bitRate) + " " + std::to_string(c.parity) + " " +
                             std::to_string(c.dataBits) + " " + std::to_string(c.stopCode);
    if (!c.valid) {
      EXPECT_THROW(ApplyLineCodes(t, c.bitRate, c.parity, c.dataBits, c.stopCode, 0, "dev"),
                   CSerialException)
          << what;
      continue;
    }
    ApplyLineCodes(t, c.bitRate, c.parity, c.dataBits, c.stopCode, 0, "dev");
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits) << what;
    EXPECT_EQ(t.c_cflag & CSIZE, c.size) << what;
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.cstopb) << what;
    EXPECT_EQ(cfgetospeed(&t), c.speed) << what;
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u) << what;  // raw
    EXPECT_TRUE(t.c_cflag & CLOCAL);
  }
}

// On a real device: the line and flow codes reach it, and a refused code leaves it closed.
TEST(SerialPort, OpeningAppliesTheCodesOrStaysClosed) {
  Pty pty;
  CSerialPort port;
  port.Open(1, 9600, 2, 8, 2, 5, pty.Slave());
  ASSERT_TRUE(port.IsOpen());
  termios t = Attributes(port);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_EQ(cfgetispeed(&t), speed_t{B9600});
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
  EXPECT_TRUE(t.c_iflag & IXON);  // XON/XOFF both ways
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);

  port.Open(1, 115200, 2, 8, 0, 1, pty.Slave());
  t = Attributes(port);
  EXPECT_EQ(cfgetospeed(&t), speed_t{B115200});
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));

  EXPECT_THROW(port.Open(1, 12345, 2, 8, 0, 0, pty.Slave()), CSerialException);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.DevicePath(), "");
  for (int dsrCode : {3, 4}) {  // DSR flow control cannot be had on Linux: said so
    port.Open(1, 115200, 2, 8, 0, 0, pty.Slave());
    const auto e = Thrown([&] { port.Open(1, 115200, 2, 8, 0, dsrCode, pty.Slave()); });
    EXPECT_NE(std::string(e.what()).find("DSR"), std::string::npos) << e.what();
    EXPECT_FALSE(port.IsOpen());
  }
}

TEST(SerialPort, SecondOpenOfABusyDeviceFailsAndLeavesThePortClosed) {
  Pty busy, other;
  CSerialPort first, second;
  first.Open(1, 115200, 2, 8, 0, 0, busy.Slave());
  second.Open(1, 115200, 2, 8, 0, 0, other.Slave());
  ASSERT_TRUE(second.IsOpen());
  const auto e = Thrown([&] { second.Open(1, 115200, 2, 8, 0, 0, busy.Slave()); });
  EXPECT_NE(e.ErrorCode(), 0);
  EXPECT_NE(std::string(e.what()).find(busy.Slave()), std::string::npos) << e.what();
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(second.DevicePath(), "");

  // The holder is not disturbed, and after it closes the device can be taken.
  busy.Send("x");
  char b = 0;
  EXPECT_EQ(first.Read(&b, 1, 2000), 1u);
  EXPECT_EQ(b, 'x');
  first.Close();
  second.Open(1, 115200, 2, 8, 0, 0, busy.Slave());
  EXPECT_TRUE(second.IsOpen());
}

TEST(SerialPort, MissingOrWrongDevicesThrowWithTheSystemText) {
  CSerialPort port;
  const auto e = Thrown([&] { port.Open(1, 9600, 2, 8, 0, 0, "/dev/no-such-serial-device"); });
  EXPECT_EQ(e.ErrorCode(), ENOENT);
  const std::string text = e.what();
  EXPECT_NE(text.find("/dev/no-such-serial-device"), std::string::npos);
  EXPECT_NE(text.find(strerror(ENOENT)), std::string::npos) << text;
  EXPECT_FALSE(e.IsDeviceGone());
  const test::TempDir dir;
  test::WriteFile(dir / "file", "");
  EXPECT_THROW(port.Open(1, 9600, 2, 8, 0, 0, dir / "file"), CSerialException);
  EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, ReadTimesOutWithZero) {
  Pty pty;
  CSerialPort port;
  port.Open(1, 115200, 2, 8, 0, 0, pty.Slave());
  char buf[16];
  EXPECT_EQ(port.Read(buf, sizeof buf, 30), 0u);
  port.SetTimeouts(0, 0, 30, 0, 0);
  EXPECT_EQ(port.Read(buf, sizeof buf), 0u);
  port.SetTimeouts(kSerialMaxWait, 0, 0, 0, 0);
  EXPECT_EQ(port.Read(buf, sizeof buf), 0u);
}

TEST(SerialPort, BytesTravelBothWaysUnchanged) {
  Pty pty;
  CSerialPort port;
  port.Open(1, 115200, 2, 8, 0, 0, pty.Slave());
  // Every byte value, CR/LF and the XON/XOFF characters included, arrives as sent.
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  pty.Send(all);
  port.SetTimeouts(0, 0, 2000, 0, 0);
  std::string got(256, '\0');
  EXPECT_EQ(port.Read(got.data(), got.size()), 256u);
  EXPECT_EQ(got, all);

  EXPECT_EQ(port.Write(all.data(), all.size()), 256u);
  EXPECT_EQ(pty.Receive(256), all);

  pty.Send("12\r\n");
  port.Purge(kPurgeRxClear | kPurgeTxClear);
  char b;
  EXPECT_EQ(port.Read(&b, 1, 20), 0u);
}

TEST(SerialPort, HangUpReportsTheDeviceGone) {
  Pty pty;
  CSerialPort port;
  port.Open(1, 115200, 2, 8, 0, 0, pty.Slave());
  pty.Close();
  char buf[8];
  EXPECT_TRUE(Thrown([&] { port.Read(buf, sizeof buf, 1000); }).IsDeviceGone());
  port.SetTimeouts(0, 0, 1000, 0, 0);
  EXPECT_TRUE(Thrown([&] { port.Read(buf, sizeof buf); }).IsDeviceGone());
  EXPECT_TRUE(Thrown([&] { port.Write("q", 1); }).IsDeviceGone());
}

}  // namespace
}  // namespace vesk
