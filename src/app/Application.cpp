#include "app/Application.h"

#include "render/RenderContext.h"
#include "serial/CsvRecorder.h"

#include <GLFW/glfw3.h>

#include <iostream>

Application* ApplicationInstance = nullptr;

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

    // Elapsed time counts from the start of the previous turn, its wait included.
    double previous = glfwGetTime();
    while (window->IsRunning())
    {
        const double now = glfwGetTime();
        const double elapsed = now - previous;
        previous = now;
        if (elapsed < FramePeriod)
            glfwWaitEventsTimeout(FramePeriod - elapsed);
        window->OnUpdate();
    }
}
