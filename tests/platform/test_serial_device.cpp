#include "platform/SerialDevice.h"
#include "platform/SerialPorts.h"
#include "support/PtyDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace
{
struct TempFolder
{
    std::string path;
    TempFolder()
    {
        char name[] = "/tmp/dravik-ports.XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() { std::system(("rm -rf " + path).c_str()); }
};

int OpenConfigured(const std::string& path)
{
    const int fd = platform::OpenSerialDevice(path);
    termios state;
    EXPECT_EQ(platform::GetSerialDeviceState(fd, state), 0);
    EXPECT_TRUE(platform::SetSerialDeviceState(fd, state, 921600, 0, 0));
    EXPECT_TRUE(platform::SetSerialDeviceReadsReturnAtOnce(fd, state));
    return fd;
}
} // namespace

TEST(SerialDevice, ExclusiveRawAndReadsReturnAtOnce)
{
    PtyDevice device;
    const int fd = OpenConfigured(device.Path());
    ASSERT_GE(fd, 0);

    // Nobody else opens it while we hold it; after closing, it opens again.
    EXPECT_EQ(platform::OpenSerialDevice(device.Path()), platform::InvalidSerialDevice);
    EXPECT_FALSE(platform::CanOpenSerialDevice(device.Path()));

    // Nothing waiting: the read returns at once with nothing.
    char buffer[64];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::ReadSerialDevice(fd, buffer, sizeof(buffer)), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

    // Raw both ways: CR, LF, NUL, DEL and high bytes pass unchanged.
    const std::string bytes("a\r\nb\0\x7f\xc3\x03\x1a", 9);
    ASSERT_TRUE(device.Send(bytes));
    std::string got;
    for (int i = 0; i < 200 && got.size() < bytes.size(); i++)
    {
        const long n = platform::ReadSerialDevice(fd, buffer, sizeof(buffer));
        ASSERT_GE(n, 0);
        got.append(buffer, (size_t)n);
        usleep(1000);
    }
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(platform::WriteSerialDevice(fd, bytes.data(), bytes.size()), (long)bytes.size());
    EXPECT_EQ(device.Receive(), bytes);

    // Purge drops what waits for us.
    ASSERT_TRUE(device.Send("stale"));
    while (device.PendingForProgram() < 5)
        usleep(200);
    EXPECT_TRUE(platform::PurgeSerialDevice(fd));
    EXPECT_EQ(platform::ReadSerialDevice(fd, buffer, sizeof(buffer)), 0);

    platform::CloseSerialDevice(fd);
    EXPECT_TRUE(platform::CanOpenSerialDevice(device.Path()));
}

TEST(SerialPorts, ListsOpenableDevicesInStableOrder)
{
    PtyDevice a, b, c, held;
    TempFolder dev, by_id;
    ASSERT_EQ(symlink(a.Path().c_str(), (dev.path + "/ttyUSB10").c_str()), 0);
    ASSERT_EQ(symlink(b.Path().c_str(), (dev.path + "/ttyUSB2").c_str()), 0);
    ASSERT_EQ(symlink(c.Path().c_str(), (dev.path + "/ttyACM0").c_str()), 0);
    ASSERT_EQ(symlink(held.Path().c_str(), (dev.path + "/ttyS1").c_str()), 0);
    ASSERT_EQ(symlink(c.Path().c_str(), (dev.path + "/console").c_str()), 0); // not a serial port name
    ASSERT_EQ(symlink("/dev/null", (dev.path + "/ttyS0").c_str()), 0);        // opens, but no terminal
    ASSERT_EQ(symlink("/nowhere", (dev.path + "/ttyUSB0").c_str()), 0);       // gone
    std::ofstream(dev.path + "/ttyS5") << "plain file";
    ASSERT_EQ(symlink(b.Path().c_str(), (by_id.path + "/usb-Maker_Board_123-if00").c_str()), 0);
    ASSERT_EQ(symlink(a.Path().c_str(), (by_id.path + "/usb-Acme_Probe_9-if00").c_str()), 0);

    const int fd = platform::OpenSerialDevice(held.Path()); // in use: not offered
    ASSERT_GE(fd, 0);
    const std::vector<platform::SerialPortEntry> ports = platform::ListSerialPortsIn(dev.path, by_id.path);
    platform::CloseSerialDevice(fd);

    std::vector<std::string> names, paths;
    for (const platform::SerialPortEntry& p : ports)
    {
        names.push_back(p.name);
        paths.push_back(p.path);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyUSB2", "ttyUSB10", "usb-Acme_Probe_9-if00",
                                               "usb-Maker_Board_123-if00"}));
    EXPECT_EQ(paths[1], dev.path + "/ttyUSB2");
    EXPECT_EQ(paths[4], by_id.path + "/usb-Maker_Board_123-if00");

    // Missing folders list nothing.
    EXPECT_TRUE(platform::ListSerialPortsIn("/nowhere", "/nowhere/by-id").empty());
}
