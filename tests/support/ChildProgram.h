// The real program started as a child process, with its console captured and
// its window reachable through X.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace uitest
{

// Captured: standard output and error go to files (Out, Err). BrokenPipe: standard output is
// a pipe whose reader has gone, as under `| head`. Closed: standard output and error are
// closed, as under `>&- 2>&-`.
enum class ChildConsole
{
    Captured,
    BrokenPipe,
    Closed,
};

class ChildProgram
{
public:
    // Starts build/<kind>/bin/DravikLite in working_dir with extra environment entries.
    ChildProgram(const std::string& working_dir, const std::vector<std::pair<std::string, std::string>>& env = {},
                 ChildConsole console = ChildConsole::Captured);
    ~ChildProgram();

    // Waits for the exit; false when it has not ended within the time-out (it is then killed).
    bool Wait(double timeout_seconds);
    int ExitCode() const { return exit_code; }
    std::string Out() const;
    std::string Err() const;
    pid_t Pid() const { return pid; }

    // The X window of this process, 0 when it does not appear within the time-out.
    unsigned long FindWindow(double timeout_seconds) const;

private:
    pid_t pid = -1;
    int exit_code = -1;
    std::string out_path, err_path;
};

// The X window of a process (by _NET_WM_PID), 0 when none appears within the time-out.
unsigned long FindWindowOfProcess(pid_t pid, double timeout_seconds);

// Width and height of the icon an X window carries (_NET_WM_ICON); 0 x 0 without one.
std::pair<int, int> WindowIconSize(unsigned long window);

// Asks an X window to close, as a window manager's close button does (WM_DELETE_WINDOW).
void SendWindowClose(unsigned long window);

} // namespace uitest
