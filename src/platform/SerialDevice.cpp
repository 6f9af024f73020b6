#include "platform/SerialDevice.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{
int OpenSerialDevice(const std::string& path)
{
    int fd;
    do
        fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return InvalidSerialDevice;

    // flock holds against every other opener, root included; TIOCEXCL stops
    // programs that do not take the lock. Not a terminal: the state read fails later.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        errno = error;
        return InvalidSerialDevice;
    }
    if (isatty(fd))
    {
        // Root opens a terminal that another program holds exclusively; it
        // is still theirs.
        int exclusive = 0;
        if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive)
        {
            close(fd);
            errno = EBUSY;
            return InvalidSerialDevice;
        }
        ioctl(fd, TIOCEXCL);
    }
    return fd;
}

// After a hang-up our descriptor is dead and refuses every ioctl, but the
// terminal lives on while anyone else holds it, still exclusive. Clear the flag
// through a new descriptor to the same device, opened before ours is closed so
// the terminal is never opened afresh for it.
static void ClearExclusiveOfHungUpDevice(int fd)
{
    struct stat ours;
    if (fstat(fd, &ours) != 0 || !S_ISCHR(ours.st_mode))
        return;
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), path, sizeof(path) - 1);
    if (n <= 0)
        return;
    path[n] = '\0';
    const int other = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (other < 0)
        return; // gone with its device, or refused (only root passes the flag)
    struct stat theirs;
    if (fstat(other, &theirs) == 0 && theirs.st_rdev == ours.st_rdev)
        ioctl(other, TIOCNXCL);
    close(other);
}

void CloseSerialDevice(int fd)
{
    if (fd < 0)
        return;
    // The exclusive flag belongs to the terminal, not to our descriptor: it
    // would outlive us while anyone else keeps the device open. A descriptor
    // that is not a terminal fails with ENOTTY, which is fine.
    if (ioctl(fd, TIOCNXCL) != 0 && errno == EIO)
        ClearExclusiveOfHungUpDevice(fd);
    close(fd);
}

int GetSerialDeviceState(int fd, termios& state)
{
    if (tcgetattr(fd, &state) != 0)
        return errno;
    return 0;
}

static bool BaudConstant(uint32_t baud_rate, speed_t& speed)
{
    struct Rate
    {
        uint32_t rate;
        speed_t speed;
    };
    static const Rate rates[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Rate& r : rates)
        if (r.rate == baud_rate)
        {
            speed = r.speed;
            return true;
        }
    return false;
}

bool SetSerialDeviceState(int fd, termios& state, uint32_t baud_rate, uint8_t stop_bits, uint8_t parity)
{
    speed_t speed;
    if (!BaudConstant(baud_rate, speed))
        return false;

    // Raw bytes: no echo, no line editing, no translation of CR or LF, no
    // signals. Flow control stays as the driver has it.
    const tcflag_t flow = state.c_cflag & CRTSCTS;
    cfmakeraw(&state);
    state.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    state.c_cflag |= CS8 | CREAD | CLOCAL | flow;

    switch (parity)
    {
    case 0: break;
    case 1: state.c_cflag |= PARENB | PARODD; break;
    case 2: state.c_cflag |= PARENB; break;
    default: return false;
    }
    switch (stop_bits)
    {
    case 0: break;
    case 2: state.c_cflag |= CSTOPB; break;
    default: return false; // one and a half stop bits need 5 data bits
    }

    if (cfsetispeed(&state, speed) != 0 || cfsetospeed(&state, speed) != 0)
        return false;
    if (tcsetattr(fd, TCSANOW, &state) != 0)
        return false;

    // tcsetattr succeeds when any part of the request was applied: check the
    // frame size and speed. (Parity is not checked: a pseudo-terminal has none
    // and always clears it.)
    termios applied;
    if (tcgetattr(fd, &applied) != 0)
        return false;
    const tcflag_t mask = CSIZE | CSTOPB;
    if ((applied.c_cflag & mask) != (state.c_cflag & mask) || cfgetospeed(&applied) != speed)
        return false;
    // Go on from what the driver holds, not from what was asked.
    state = applied;
    return true;
}

bool SetSerialDeviceReadsReturnAtOnce(int fd, termios& state)
{
    state.c_cc[VMIN] = 0;
    state.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &state) != 0)
        return false;
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

long ReadSerialDevice(int fd, void* buffer, size_t size)
{
    if (size == 0)
        return 0;
    for (;;)
    {
        const ssize_t n = read(fd, buffer, size);
        if (n > 0)
            return (long)n;
        // With reads that return at once, 0 is both "nothing yet" and the end
        // of a hung-up terminal: only poll tells them apart.
        if (n == 0)
            return IsSerialDeviceHungUp(fd) ? SerialDeviceHungUp : 0;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        // A hung-up terminal may also fail the read (EIO) rather than end it.
        const int error = errno;
        if (IsSerialDeviceHungUp(fd))
            return SerialDeviceHungUp;
        errno = error;
        return -1;
    }
}

bool IsSerialDeviceHungUp(int fd)
{
    pollfd p = {fd, POLLIN, 0};
    int r;
    do
        r = poll(&p, 1, 0);
    while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

long WriteSerialDevice(int fd, const void* data, size_t count)
{
    const char* bytes = (const char*)data;
    size_t written = 0;
    while (written < count)
    {
        const ssize_t n = write(fd, bytes + written, count - written);
        if (n > 0)
        {
            written += (size_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        // The driver's buffer is full: wait for room, but not forever.
        pollfd p = {fd, POLLOUT, 0};
        int r;
        do
            r = poll(&p, 1, 1000);
        while (r < 0 && errno == EINTR);
        if (r <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            break;
    }
    if (written == 0 && count > 0)
        return -1;
    return (long)written;
}

bool PurgeSerialDevice(int fd) { return tcflush(fd, TCIFLUSH) == 0; }
} // namespace platform
