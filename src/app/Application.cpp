#include "app/Application.h"

#include "ai/AISettings.h"
#include "render/RenderContext.h"
#include "serial/CsvRecorder.h"

#include <GLFW/glfw3.h>

#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sys/prctl.h>
#include <unistd.h>

Application* ApplicationInstance = nullptr;

static std::atomic<int> CloseSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

// Runs on whichever thread the signal reaches: it only notes the signal, the frame loop closes.
// A closed terminal may send SIGHUP twice (the kernel and the shell), a service stop SIGTERM to
// every process; only a second Ctrl+C means that the user wants out before the shut-down ends.
static void OnCloseSignal(int signal_number)
{
    int none = 0;
    if (!CloseSignal.compare_exchange_strong(none, signal_number) && signal_number == SIGINT)
    {
        // Ended on purpose, not crashed: a model load cut short here is tried again next time.
        RemoveModelLoadMarkerInSignalHandler();
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
    }
}

void InstallCloseSignalHandlers()
{
    struct sigaction action = {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
    {
        // Ignored when we were started (nohup, a background job of a script): it stays ignored.
        struct sigaction previous = {};
        if (sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal_number, &action, nullptr);
    }
    // Started to be killed when our parent ends (scripts/run's build root asks for SIGKILL):
    // a SIGTERM ends us as surely, and through the shut-down, so the port is released.
    struct sigaction term = {};
    int parent_death = 0;
    if (prctl(PR_GET_PDEATHSIG, &parent_death) == 0 && parent_death == SIGKILL &&
        sigaction(SIGTERM, nullptr, &term) == 0 && term.sa_handler == OnCloseSignal)
        prctl(PR_SET_PDEATHSIG, SIGTERM);
}

int CloseSignalReceived() { return CloseSignal.load(); }

// A real file is made and removed: the mode bits do not tell (root passes them, a read-only
// mount or a full disk does not).
std::string FolderWriteError(const std::string& folder)
{
    std::string path = folder + "/.dravik-write-check-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd == -1)
        return std::strerror(errno);
    close(fd);
    unlink(path.c_str());
    return std::string();
}

void WarnIfWorkingFolderCannotBeWritten()
{
    std::error_code ec;
    const std::string folder = std::filesystem::current_path(ec).string();
    const std::string error = ec ? ec.message() : FolderWriteError(folder);
    if (!error.empty())
        std::cerr << "Warning: the working folder " << folder << " cannot be written (" << error
                  << "): the window layout, the assistant's settings, the terminal log, downloaded models and "
                     "recordings named there will not be saved"
                  << std::endl;
}

std::unique_ptr<nwindow::GLWindow> MakeWindow() { return std::make_unique<nwindow::GLWindow>(); }

Application::Application(const std::string& name)
{
    if (ApplicationInstance != nullptr)
    {
        std::cerr << "Error: Application singleton already exists - multiple instances not allowed" << std::endl;
        return;
    }
    ApplicationInstance = this;

    if (name.empty())
    {
        std::cerr << "Error: Application name cannot be empty" << std::endl;
        return;
    }

    window = MakeWindow();
    const int code = window->Init(ApplicationWindowWidth, ApplicationWindowHeight, name);
    if (code != nrender::RenderSuccess)
    {
        std::cerr << "Error: Failed to initialize application window - error code: " << code << std::endl;
        window.reset();
    }
}

Application::~Application()
{
    if (IsCsvRecording())
        StopCsvRecording();
    window.reset();
    // A refused second instance leaves the first one registered.
    if (ApplicationInstance == this)
        ApplicationInstance = nullptr;
}

void Application::RunLoop()
{
    if (!window)
    {
        std::cerr << "Error: Cannot start application loop - window not initialized" << std::endl;
        return;
    }
    if (!window->IsRunning())
    {
        std::cerr << "Error: Cannot start application loop - window not running" << std::endl;
        return;
    }

    // Frames start on a grid of one period: each waits for its point of the grid, also when an
    // event ends the wait early (its callbacks have run; the UI sees it in the frame). A frame
    // late by less than a period keeps the grid, a later one starts it anew, so there are never
    // more than 60 frames a second and, when frames are quick, not fewer.
    double next = glfwGetTime() + FramePeriod;
    while (window->IsRunning())
    {
        for (double left = next - glfwGetTime(); left > 0.0; left = next - glfwGetTime())
            glfwWaitEventsTimeout(left);
        const double now = glfwGetTime();
        next = now - next < FramePeriod ? next + FramePeriod : now + FramePeriod;
        // The wait lasts at most one frame period, so a signal is acted on within it.
        const int signal_number = CloseSignalReceived();
        if (signal_number != 0 && window->IsRunning())
        {
            std::cout << "Received SIG" << sigabbrev_np(signal_number) << ", closing the window" << std::endl;
            window->OnClose();
        }
        window->OnUpdate();
    }
}
