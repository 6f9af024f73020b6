// The Application and its window, in-process and as the real program.
#include "support/ChildProgram.h"
#include "support/UiHarness.h"

#include "ai/AISettings.h"
#include "render/SceneView.h"
#include "serial/CsvRecorder.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

using uitest::ChildProgram;
using uitest::ConsoleCapture;
using uitest::ProgramDirectory;
using uitest::UiHarness;

// Positions of the lines in text, in the order given; -1 for a missing one.
static std::vector<int> LinePositions(const std::string& text, const std::vector<std::string>& lines)
{
    std::vector<int> positions;
    for (const std::string& line : lines)
    {
        const size_t at = text.find(line);
        positions.push_back(at == std::string::npos ? -1 : static_cast<int>(at));
    }
    return positions;
}

static void ExpectInOrder(const std::string& text, const std::vector<std::string>& lines)
{
    const std::vector<int> at = LinePositions(text, lines);
    for (size_t i = 0; i < lines.size(); i++)
    {
        EXPECT_GE(at[i], 0) << "missing: " << lines[i] << "\n" << text;
        if (i > 0)
        {
            EXPECT_LT(at[i - 1], at[i]) << lines[i - 1] << " before " << lines[i];
        }
    }
}

TEST(Application, StartUpAndShutDownLinesInOrder)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    {
        UiHarness ui;
        ASSERT_TRUE(ui.HasWindow());
        EXPECT_EQ(ApplicationInstance, &ui.App());
        EXPECT_EQ(ui.Window().width, 1024);
        EXPECT_EQ(ui.Window().height, 720);
        EXPECT_EQ(ui.Window().title, "Dravik Lite");
        int w = 0, h = 0;
        glfwGetWindowSize(ui.Window().GetNativeWindow(), &w, &h);
        EXPECT_EQ(w, 1024);
        EXPECT_EQ(h, 720);
        EXPECT_EQ(glfwGetWindowAttrib(ui.Window().GetNativeWindow(), GLFW_CONTEXT_VERSION_MAJOR), 4);
        EXPECT_EQ(glfwGetWindowAttrib(ui.Window().GetNativeWindow(), GLFW_OPENGL_PROFILE), GLFW_OPENGL_CORE_PROFILE);
        ui.RunFrames(3);
    }
    EXPECT_EQ(ApplicationInstance, nullptr);
    ExpectInOrder(console.Out(), {
                                     "OpenGL context initialized successfully\n",
                                     "OpenGL Version: ",
                                     "GLSL Version: ",
                                     "Found fonts directory: ",
                                     "Attempting to load font: ",
                                     "Successfully loaded font: ",
                                     "Attempting to load FontAwesome font: ",
                                     "Successfully loaded FontAwesome font: ",
                                     "Background image loaded successfully from: media/velon-x-standalone.png\n",
                                     "Background texture created: 1200x600\n",
                                     "UI context initialized successfully\n",
                                     "Successfully created framebuffer (595x842)\n",
                                     "Loading vertex shader: trivs.shader\n",
                                     "Vertex shader content length: ",
                                     "Loading fragment shader: trifs.shader\n",
                                     "Fragment shader content length: ",
                                     "UI context terminated successfully\n",
                                     "OpenGL context terminated successfully\n",
                                 });
    EXPECT_TRUE(console.Err().empty()) << console.Err();
}

TEST(Application, SingletonNameAndLoopRefusals)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    ASSERT_TRUE(ui.HasWindow());
    {
        Application second("Dravik Lite");
        EXPECT_EQ(second.window, nullptr);
        EXPECT_EQ(console.ErrLines().back(),
                  "Error: Application singleton already exists - multiple instances not allowed");
        second.RunLoop();
        EXPECT_EQ(console.ErrLines().back(), "Error: Cannot start application loop - window not initialized");
    }
    // The refused instance leaves the first registered.
    EXPECT_EQ(ApplicationInstance, &ui.App());

    // A window that is no longer running starts no loop.
    ui.Window().OnClose();
    ui.App().RunLoop();
    EXPECT_EQ(console.ErrLines().back(), "Error: Cannot start application loop - window not running");
}

TEST(Application, DestructorStopsTheRecording)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    Application* app = new Application("Dravik Lite");
    ASSERT_NE(app->window, nullptr);
    ASSERT_TRUE(StartCsvRecording("shell.csv", {"A"}));
    ASSERT_TRUE(IsCsvRecording());
    delete app;
    EXPECT_FALSE(IsCsvRecording());
    EXPECT_EQ(ApplicationInstance, nullptr);
}

// A read-only folder gives the system's reason; a writable one is left as it was.
TEST(Application, FolderWriteErrorTellsAReadOnlyFolder)
{
    EXPECT_EQ(FolderWriteError("/sys"), std::strerror(EROFS));
    char folder[] = "/tmp/dravik-write.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    EXPECT_EQ(FolderWriteError(folder), "");
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    std::filesystem::remove(folder);
}

TEST(Application, EmptyNameGetsNoWindow)
{
    ConsoleCapture console;
    Application* app = new Application("");
    EXPECT_EQ(app->window, nullptr);
    EXPECT_EQ(ApplicationInstance, app);
    EXPECT_EQ(console.ErrLines(), std::vector<std::string>{"Error: Application name cannot be empty"});
    delete app;
    EXPECT_EQ(ApplicationInstance, nullptr);
}

// The program's size callback, wrapped to count how deeply size events nest.
static GLFWwindowsizefun ProgramSizeCallback = nullptr;
static int SizeDepth = 0, DeepestSize = 0, SizeEvents = 0;
static void CountingSizeCallback(GLFWwindow* window, int width, int height)
{
    SizeEvents++;
    DeepestSize = std::max(DeepestSize, ++SizeDepth);
    ProgramSizeCallback(window, width, height);
    SizeDepth--;
}

TEST(Application, CloseEndsTheLoopAndResizeRepaints)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    ASSERT_TRUE(ui.HasWindow());
    GLFWwindow* native = ui.Window().GetNativeWindow();
    ui.RunFrames(2);

    // A size event re-creates the scene's frame buffer and draws a frame at once.
    const int frames = ImGui::GetFrameCount();
    glfwSetWindowSize(native, 800, 600);
    for (int i = 0; i < 1200 && ui.Window().width != 800; i++) // a limit that only catches a hang
        glfwWaitEventsTimeout(0.05);
    EXPECT_EQ(ui.Window().width, 800);
    EXPECT_EQ(ui.Window().height, 600);
    EXPECT_GE(console.FindOut("Successfully created framebuffer (800x600)"), 0) << console.Out();
    EXPECT_GT(ImGui::GetFrameCount(), frames);

    // A burst of size events repaints each one without nesting frames: a frame drawn from the
    // callback does not poll events again.
    ProgramSizeCallback = glfwSetWindowSizeCallback(native, CountingSizeCallback);
    for (int i = 0; i < 40; i++)
        glfwSetWindowSize(native, 700 + i % 2, 500 + i % 2);
    glfwSetWindowSize(native, 800, 600);
    for (int i = 0; i < 200 && (SizeEvents < 41 || ui.Window().width != 800); i++)
        glfwWaitEventsTimeout(0.05);
    glfwSetWindowSizeCallback(native, ProgramSizeCallback);
    EXPECT_EQ(SizeEvents, 41);
    EXPECT_EQ(DeepestSize, 1);
    EXPECT_EQ(ui.Window().width, 800);

    // A minimised window reports 0 x 0: a warning, and the size is kept.
    GLFWwindowsizefun size_callback = glfwSetWindowSizeCallback(native, nullptr);
    glfwSetWindowSizeCallback(native, size_callback);
    ASSERT_NE(size_callback, nullptr);
    size_callback(native, 0, 0);
    EXPECT_EQ(console.ErrLines().back(), "Warning: Invalid window dimensions (0x0)");
    EXPECT_EQ(ui.Window().width, 800);

    // The window manager's close request ends the loop after the current frame.
    const unsigned long own_window = uitest::FindWindowOfProcess(getpid(), 10.0);
    ASSERT_NE(own_window, 0u);
    std::thread waker([own_window] {
        for (int i = 0; i < 500; i++, usleep(1000))
            glfwPostEmptyEvent();
        uitest::SendWindowClose(own_window);
    });
    const int start_frame = ImGui::GetFrameCount();
    const double start = glfwGetTime();
    ui.App().RunLoop();
    waker.join();
    // At most 60 frames a second, also while events keep ending the wait early.
    EXPECT_LE(ImGui::GetFrameCount() - start_frame, (int)((glfwGetTime() - start) * 60.0) + 1);
    EXPECT_FALSE(ui.Window().IsRunning());
}

TEST(Program, ClosedByTheUserExitsZeroAfterTearingDown)
{
    // No run-time files in the working directory: fonts, background, shaders and icon are the
    // ones beside the program, also with someone else's "fonts" folders here and one level up.
    ProgramDirectory dir(false);
    std::filesystem::create_directories(dir.Path() + "/fonts/fonts");
    ChildProgram program(dir.Path() + "/fonts");
    const unsigned long window = program.FindWindow(60.0);
    ASSERT_NE(window, 0u) << program.Out() << program.Err();
    // Let it run some frames, then close it as a user does.
    for (int i = 0; i < 1200 && program.Out().find("Fragment shader content length") == std::string::npos; i++)
        usleep(50000);
    EXPECT_EQ(uitest::WindowIconSize(window), std::make_pair(128, 128));
    uitest::SendWindowClose(window);
    ASSERT_TRUE(program.Wait(60.0)) << program.Out() << program.Err();
    EXPECT_EQ(program.ExitCode(), 0) << program.Err();
    ExpectInOrder(program.Out(), {
                                     "OpenGL context initialized successfully\n",
                                     "UI context initialized successfully\n",
                                     "Successfully created framebuffer (595x842)\n",
                                     "UI context terminated successfully\n",
                                     "OpenGL context terminated successfully\n",
                                 });
    ExpectInOrder(program.Out(),
                  {"Successfully loaded font: " + uitest::RuntimeDirectory() + "/fonts/",
                   "Successfully loaded FontAwesome font: ", "Background image loaded successfully from: "});
    EXPECT_EQ(program.Err().find("Error: "), std::string::npos) << program.Err();
    EXPECT_EQ(program.Err().find("Failed to open"), std::string::npos) << program.Err();
}

TEST(Program, SurvivesAClosedConsole)
{
    // Standard output a pipe whose reader has gone, then no standard descriptors at all: the
    // program draws, closes on request and saves its layout all the same.
    for (uitest::ChildConsole console : {uitest::ChildConsole::BrokenPipe, uitest::ChildConsole::Closed})
    {
        ProgramDirectory dir;
        ChildProgram program(dir.Path(), {}, console);
        const unsigned long window = program.FindWindow(60.0);
        ASSERT_NE(window, 0u) << program.Err();
        uitest::SendWindowClose(window);
        ASSERT_TRUE(program.Wait(60.0)) << program.Err();
        EXPECT_EQ(program.ExitCode(), 0) << program.Err();
        EXPECT_TRUE(std::ifstream(dir.Path() + "/imgui.ini").good()) << "the layout was not saved";
    }
}

TEST(Application, CloseSignalsKeepIgnoresAndOnlyASecondCtrlCEndsAtOnce)
{
    // In a child of ours: the handlers are process-wide and the last signal ends the process.
    ProgramDirectory dir;
    const pid_t child = fork();
    if (child == 0)
    {
        std::signal(SIGHUP, SIG_IGN); // as under nohup
        InstallCloseSignalHandlers();
        // A closed terminal may send SIGHUP twice, a service stop SIGTERM to every process: only a
        // second Ctrl+C ends at once.
        for (int signal_number : {SIGHUP, SIGTERM, SIGTERM})
            raise(signal_number);
        if (CloseSignalReceived() != SIGTERM || !WriteModelLoadMarker("model.gguf"))
            _exit(1);
        raise(SIGINT); // during a model load: the next start loads the model
        _exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "exit code " << WEXITSTATUS(status);
    EXPECT_FALSE(std::filesystem::exists(ModelLoadMarkerPath()));
}

TEST(Program, WithoutOpenGL41ExitsOneWithTheTwoLines)
{
    ProgramDirectory dir;
    ChildProgram program(dir.Path(), {{"MESA_GL_VERSION_OVERRIDE", "3.3"}, {"MESA_GLSL_VERSION_OVERRIDE", "330"}});
    ASSERT_TRUE(program.Wait(60.0)) << program.Out() << program.Err();
    EXPECT_EQ(program.ExitCode(), 1) << program.Err();
    ExpectInOrder(program.Err(), {
                                     "Error: GLFW window creation failed\n",
                                     "Error: Failed to initialize application window - error code: 5\n",
                                     "Error: Cannot start application loop - window not initialized\n",
                                 });
    // The UI context was never initialised.
    EXPECT_EQ(program.Out().find("UI context initialized successfully"), std::string::npos);
    EXPECT_EQ(program.Out().find("Successfully created framebuffer"), std::string::npos);
}
