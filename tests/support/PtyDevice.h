// A pseudo-terminal standing in for a serial device. The program opens Path()
// as its port; the test plays the device on the master side: Send() writes
// bytes the program will read, Receive() returns bytes the program wrote.
#pragma once

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

class PtyDevice
{
public:
    PtyDevice()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        path = name;
        // Raw from the start, so nothing sent before the program opens the
        // port is echoed back or translated.
        termios state;
        tcgetattr(slave, &state);
        cfmakeraw(&state);
        tcsetattr(slave, TCSANOW, &state);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
    }
    ~PtyDevice()
    {
        if (master >= 0)
            close(master);
        if (slave >= 0)
            close(slave);
    }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    // Closes the device side, as unplugging a USB adapter does: the program's
    // side hangs up, and the path is gone.
    void Unplug()
    {
        close(master);
        master = -1;
    }

    // The device path the program opens, e.g. "/dev/pts/3".
    const std::string& Path() const { return path; }
    int MasterFd() const { return master; }

    // Writes every byte (blocking while the terminal's buffer is full).
    bool Send(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size())
        {
            const ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += (size_t)n;
        }
        return true;
    }

    // Bytes the program wrote to the port: waits up to timeout_ms for the
    // first, then takes whatever follows within a few milliseconds.
    std::string Receive(int timeout_ms = 10000)
    {
        std::string out;
        pollfd p = {master, POLLIN, 0};
        int wait = timeout_ms;
        while (poll(&p, 1, wait) > 0 && (p.revents & POLLIN))
        {
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof(buffer));
            if (n <= 0)
                break;
            out.append(buffer, (size_t)n);
            wait = 20;
        }
        return out;
    }

    // Bytes sent that the program has not read yet. The kernel moves written
    // bytes to the input queue later (a long Send in parts); a poll on an
    // empty queue completes that first, so 0 means nothing is on its way.
    int PendingForProgram() const
    {
        pollfd p = {slave, POLLIN, 0};
        poll(&p, 1, 0);
        int n = 0;
        ioctl(slave, FIONREAD, &n);
        return n;
    }

    // Waits until n bytes wait for the program (Send has returned for them).
    // The limit only catches a hang.
    bool WaitUntilPending(int n, int timeout_ms = 60000) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (PendingForProgram() < n)
        {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }

    // Waits until the program has read (or purged) everything sent so far.
    // The limit only catches a hang.
    bool WaitUntilRead(int timeout_ms = 60000) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (PendingForProgram() > 0)
        {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    int master = -1;
    int slave = -1; // kept open so the terminal lives while the program closes and reopens it
    std::string path;
};
