#include "support/ChildProgram.h"

#include "support/UiHarness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace uitest
{

ChildProgram::ChildProgram(const std::string& working_dir, const std::vector<std::pair<std::string, std::string>>& env,
                           ChildConsole console)
{
    out_path = working_dir + "/child.out";
    err_path = working_dir + "/child.err";
    const std::string program = RuntimeDirectory() + "/DravikLite";
    pid = fork();
    if (pid == 0)
    {
        if (chdir(working_dir.c_str()) != 0)
            _exit(126);
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        int pipe_ends[2];
        if (console == ChildConsole::BrokenPipe && pipe(pipe_ends) == 0)
        {
            close(pipe_ends[0]);
            dup2(pipe_ends[1], 1);
            // An ignored signal stays ignored across exec; the program must ignore it itself.
            signal(SIGPIPE, SIG_DFL);
        }
        if (console == ChildConsole::Closed)
        {
            // Nothing else may stay open either, so the program's first files take 1 and 2.
            close_range(1, ~0U, 0);
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

ChildProgram::~ChildProgram()
{
    if (pid > 0 && exit_code < 0)
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool ChildProgram::Wait(double timeout_seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    while (std::chrono::steady_clock::now() < deadline)
    {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
        {
            exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    exit_code = 137;
    return false;
}

static std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ChildProgram::Out() const { return ReadFile(out_path); }
std::string ChildProgram::Err() const { return ReadFile(err_path); }

static unsigned long WindowOfPid(Display* display, Window window, Atom pid_atom, pid_t pid)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data)
    {
        const bool match = count == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid;
        XFree(data);
        if (match)
            return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    unsigned long found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &n))
    {
        for (unsigned int i = 0; i < n && !found; i++)
            found = WindowOfPid(display, children[i], pid_atom, pid);
        if (children)
            XFree(children);
    }
    return found;
}

unsigned long ChildProgram::FindWindow(double timeout_seconds) const
{
    return FindWindowOfProcess(pid, timeout_seconds);
}

// Windows of other tests come and go while the tree is walked; Xlib's default
// handler would end the process on the BadWindow that follows.
static int IgnoreXError(Display*, XErrorEvent*) { return 0; }

unsigned long FindWindowOfProcess(pid_t pid, double timeout_seconds)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", False);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    unsigned long window = 0;
    while (!window && std::chrono::steady_clock::now() < deadline)
    {
        window = WindowOfPid(display, DefaultRootWindow(display), pid_atom, pid);
        if (!window)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return window;
}

std::pair<int, int> WindowIconSize(unsigned long window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {0, 0};
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::pair<int, int> size = {0, 0};
    // Width and height lead the property; Xlib hands 32-bit items as longs.
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0, 2, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success &&
        data)
    {
        if (count == 2)
        {
            const unsigned long* items = reinterpret_cast<unsigned long*>(data);
            size = {static_cast<int>(items[0]), static_cast<int>(items[1])};
        }
        XFree(data);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return size;
}

void SendWindowClose(unsigned long window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
}

} // namespace uitest
