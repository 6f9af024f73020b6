// Port listing benchmark: lists the machine's serial ports (the kernel's tty
// class and /dev/serial/by-id, nothing opened) many times and prints the time
// of one listing against the 16.7 ms of a 60 Hz frame.
// Usage: bench_serial_ports [calls]   (default 2000)
#include "platform/SerialPorts.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <vector>

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    int entries = 0;
    if (DIR* d = opendir("/sys/class/tty"))
    {
        while (dirent* e = readdir(d))
            entries += e->d_name[0] != '.';
        closedir(d);
    }
    else
        printf("warning: /sys/class/tty cannot be read; only /dev/serial/by-id is listed\n");

    size_t ports = 0;
    std::vector<double> us;
    us.reserve((size_t)calls);
    for (int i = 0; i < calls; i++)
    {
        const auto start = std::chrono::steady_clock::now();
        ports = platform::ListSerialPorts().size();
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double u : us)
        sum += u;
    printf("tty class entries                %d\n", entries);
    printf("ports listed                     %zu\n", ports);
    printf("listings                         %d\n", calls);
    printf("one listing, mean (us)           %.1f\n", sum / calls);
    printf("one listing, median (us)         %.1f\n", us[us.size() / 2]);
    printf("one listing, 99th percentile (us) %.1f\n", us[us.size() * 99 / 100]);
    printf("share of a 60 Hz frame (mean)    %.2f%%\n", sum / calls / 16667.0 * 100.0);
    return 0;
}
