// The application object: owns the one window and runs the frame loop.
#pragma once

#include "window/GLWindow.h"

#include <memory>
#include <string>

class Application
{
public:
    explicit Application(const std::string& name);
    ~Application();

    // Runs frames until the window's running flag is cleared.
    void RunLoop();

    std::unique_ptr<nwindow::GLWindow> window;
};

// The one Application, or null.
extern Application* ApplicationInstance;

// SIGINT, SIGTERM and SIGHUP ask the window to close, so the program ends through its own
// shut-down (layout saved, port released, recording closed). A second Ctrl+C while that
// shut-down runs ends the program at once. A signal ignored at start stays ignored. A program
// started to be killed with its parent gets a SIGTERM instead.
void InstallCloseSignalHandlers();
// The signal that asked for the close, 0 when none has.
int CloseSignalReceived();

// Empty when a file can be created in folder; otherwise the system's reason.
std::string FolderWriteError(const std::string& folder);
// Says once on standard error that the working folder cannot be written, and what is lost.
void WarnIfWorkingFolderCannotBeWritten();

// The window in its initial state: contexts created, nothing initialised.
std::unique_ptr<nwindow::GLWindow> MakeWindow();

constexpr uint16_t ApplicationWindowWidth = 1024;
constexpr uint16_t ApplicationWindowHeight = 720;
constexpr double FramePeriod = 1.0 / 60.0;
