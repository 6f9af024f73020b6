#include "platform/SerialDevice.h"
#include "platform/SerialPorts.h"
#include "support/PtyDevice.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/inotify.h>
#include <sys/ioctl.h>
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

    // Nothing waiting: the read returns at once with nothing (a read that
    // waited for data would hang here).
    char buffer[64];
    EXPECT_EQ(platform::ReadSerialDevice(fd, buffer, sizeof(buffer)), 0);

    // Raw both ways: CR, LF, NUL, DEL and high bytes pass unchanged.
    const std::string bytes("a\r\nb\0\x7f\xc3\x03\x1a", 9);
    ASSERT_TRUE(device.Send(bytes));
    ASSERT_TRUE(device.WaitUntilPending((int)bytes.size()));
    std::string got;
    long n = 0;
    while (got.size() < bytes.size() && (n = platform::ReadSerialDevice(fd, buffer, sizeof(buffer))) > 0)
        got.append(buffer, (size_t)n);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(platform::WriteSerialDevice(fd, bytes.data(), bytes.size()), (long)bytes.size());
    EXPECT_EQ(device.Receive(), bytes);

    // Purge drops what waits for us, never what we sent and the device has not taken yet.
    ASSERT_TRUE(device.Send("stale"));
    ASSERT_TRUE(device.WaitUntilPending(5));
    const std::string sent(10000, 's');
    EXPECT_EQ(platform::WriteSerialDevice(fd, sent.data(), sent.size()), (long)sent.size());
    EXPECT_TRUE(platform::PurgeSerialDevice(fd));
    EXPECT_EQ(platform::ReadSerialDevice(fd, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(device.Receive().size(), sent.size());

    platform::CloseSerialDevice(fd);
    const int again = platform::OpenSerialDevice(device.Path());
    EXPECT_NE(again, platform::InvalidSerialDevice);
    platform::CloseSerialDevice(again);

    // Another program holding it exclusively without a lock: busy, even for
    // root, and its hold stays.
    const int other = open(device.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
    errno = 0;
    EXPECT_EQ(platform::OpenSerialDevice(device.Path()), platform::InvalidSerialDevice);
    EXPECT_EQ(errno, EBUSY);
    int exclusive = 0;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_TRUE(exclusive);
    ioctl(other, TIOCNXCL);
    close(other);

    // A hang-up kills our descriptor but not the terminal, which the other side
    // still holds: closing must still leave it free for the next opener.
    const int hung = platform::OpenSerialDevice(device.Path());
    ASSERT_GE(hung, 0);
    const int hanger = open(device.Path().c_str(), O_RDWR | O_NOCTTY); // root passes the flag
    ASSERT_GE(hanger, 0);
    if (ioctl(hanger, TIOCVHANGUP) != 0)
        GTEST_SKIP() << "hanging up a terminal needs CAP_SYS_ADMIN";
    close(hanger);
    EXPECT_TRUE(platform::IsSerialDeviceHungUp(hung));
    platform::CloseSerialDevice(hung);
    const int next = open(device.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(next, 0);
    exclusive = 1;
    ASSERT_EQ(ioctl(next, TIOCGEXCL, &exclusive), 0);
    EXPECT_FALSE(exclusive);
    close(next);
}

TEST(SerialPorts, ListsWhatTheKernelPublishesWithoutOpening)
{
    PtyDevice a, b, c, held;
    TempFolder sys, dev, by_id;
    // A tty class entry as sysfs shows it: a device behind it, and for UARTs a port type.
    auto publish = [&](const std::string& name, const char* type, bool device) {
        ASSERT_TRUE(std::filesystem::create_directories(sys.path + "/" + name + (device ? "/device" : "")));
        if (type)
            std::ofstream(sys.path + "/" + name + "/type") << type << "\n";
    };
    publish("ttyUSB10", nullptr, true);
    publish("ttyUSB2", nullptr, true);
    publish("ttyACM0", nullptr, true);
    publish("ttyS2", "4", true);
    publish("ttyS1", "0", true);       // an empty UART slot
    publish("tty3", nullptr, false);   // a virtual console
    publish("ttyUSB7", nullptr, true); // its /dev node is missing
    publish("ttyS5", "4", true);       // its /dev node is a plain file
    for (auto [name, pty] :
         {std::pair{"ttyUSB10", &a}, {"ttyUSB2", &b}, {"ttyACM0", &c}, {"ttyS2", &held}, {"ttyS1", &a}, {"tty3", &a}})
        ASSERT_EQ(symlink(pty->Path().c_str(), (dev.path + "/" + name).c_str()), 0);
    std::ofstream(dev.path + "/ttyS5") << "plain file";
    ASSERT_EQ(symlink(b.Path().c_str(), (by_id.path + "/usb-Maker_Board_123-if00").c_str()), 0);
    ASSERT_EQ(symlink(a.Path().c_str(), (by_id.path + "/usb-Acme_Probe_9-if00").c_str()), 0);
    ASSERT_EQ(symlink("/nowhere", (by_id.path + "/usb-Gone_1-if00").c_str()), 0);

    // A port in use is listed all the same: it fails when opened.
    const int fd = platform::OpenSerialDevice(held.Path());
    ASSERT_GE(fd, 0);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (PtyDevice* pty : {&a, &b, &c})
        ASSERT_GE(inotify_add_watch(watch, pty->Path().c_str(), IN_OPEN), 0);
    const std::vector<platform::SerialPortEntry> ports = platform::ListSerialPortsIn(sys.path, dev.path, by_id.path);
    char event[4096];
    EXPECT_LT(read(watch, event, sizeof(event)), 0) << "listing opened a device";
    close(watch);
    platform::CloseSerialDevice(fd);

    std::vector<std::string> names, paths;
    for (const platform::SerialPortEntry& p : ports)
    {
        names.push_back(p.name);
        paths.push_back(p.path);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS2", "ttyUSB2", "ttyUSB10", "usb-Acme_Probe_9-if00",
                                               "usb-Maker_Board_123-if00"}));
    EXPECT_EQ(paths[2], dev.path + "/ttyUSB2");
    EXPECT_EQ(paths[5], by_id.path + "/usb-Maker_Board_123-if00");

    // Missing folders list nothing.
    EXPECT_TRUE(platform::ListSerialPortsIn("/nowhere", "/nowhere", "/nowhere/by-id").empty());
}
