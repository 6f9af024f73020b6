#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "support/PtyDevice.h"

#include <gtest/gtest.h>

TEST(SerialPort, OpenResults)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenSerialPort("/dev/no-such-serial-device", 9600, 0, 0), SerialOpenFailed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // Opens, but is no terminal: its state cannot be read.
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenSerialPort("/dev/null", 9600, 0, 0), SerialStateFailed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error getting serial port state. Error code: 25\n");

    PtyDevice device;
    // One and a half stop bits cannot go with 8 data bits; neither can an unknown parity code.
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenSerialPort(device.Path(), 9600, 1, 0), SerialStateFailed);
    EXPECT_EQ(OpenSerialPort(device.Path(), 9600, 0, 7), SerialStateFailed);
    EXPECT_EQ(OpenSerialPort(device.Path(), 12345, 0, 0), SerialStateFailed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error setting serial port state\nError setting serial port state\nError setting serial port state\n");

    // Each failure closed the port again, so it opens now, for us alone.
    for (uint8_t parity = 0; parity <= 2; parity++)
    {
        EXPECT_EQ(OpenSerialPort(device.Path(), 115200, 2, parity), SerialSuccess);
        CloseSerialPort();
    }

    // What the device sent before the port was set up is not read as data.
    ASSERT_TRUE(device.Send("1,2\r\n3,"));
    ASSERT_TRUE(device.WaitUntilPending(1));
    ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
    uint8_t buffer[16];
    EXPECT_EQ(ReadSerialPort(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(device.PendingForProgram(), 0);
    CloseSerialPort();
}

TEST(SerialPort, SendResults)
{
    PtyDevice device;
    SetSerialPortOpen(false);
    EXPECT_EQ(SendSerialString("abc"), SerialNothingSent);

    ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
    // Closed until the settings say it is open.
    EXPECT_EQ(SendSerialString("abc"), SerialNothingSent);
    SetSerialPortOpen(true);
    EXPECT_EQ(SendSerialString(""), SerialNothingSent);
    EXPECT_EQ(SendSerialBytes(nullptr, 4), SerialNothingSent);
    const uint8_t bytes[] = {'x', 0x00, 0xFF};
    EXPECT_EQ(SendSerialBytes(bytes, 0), SerialNothingSent);

    // Raw: CR and LF reach the device unchanged, and so do NUL and 0xFF.
    EXPECT_EQ(SendSerialString("1,2\r\n"), SerialSuccess);
    EXPECT_EQ(SendSerialBytes(bytes, sizeof(bytes)), SerialSuccess);
    EXPECT_EQ(device.Receive(), std::string("1,2\r\nx\0\xFF", 8));
    // A device that stops taking bytes: the send is not a success, and says how much went.
    const std::string flood(1 << 20, 'f');
    size_t sent = 0;
    EXPECT_EQ(SendSerialString(flood, &sent), SerialWriteFailed);
    EXPECT_TRUE(sent > 0 && sent < flood.size()) << sent;
    EXPECT_EQ(device.Receive().size(), sent);

    SetSerialPortOpen(false);
    CloseSerialPort();
    EXPECT_EQ(SendSerialString("abc"), SerialNothingSent);
    // The flag alone does not bring a closed handle back.
    SetSerialPortOpen(true);
    EXPECT_EQ(SendSerialString("abc"), SerialNothingSent);
    SetSerialPortOpen(false);
    EXPECT_EQ(device.Receive(50), "");
}
