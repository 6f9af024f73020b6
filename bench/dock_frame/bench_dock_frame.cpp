// CPU time of one frame of the docking layer (a host window with the dock space and three windows
// docked in it as tabs) after "imgui.ini" named N other windows docked there in earlier runs, the
// time to read that file, and how many entries are written back. Needs a display (Xvfb).
//
// Usage: bench_dock_frame [frames] [largest N]
#include "dock/Dock.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <time.h>
#include <vector>

namespace
{

double ThreadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

ImGuiID dockId = 0;

void Ui()
{
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(vp->WorkPos);
    ImGui::SetNextWindowSize(vp->WorkSize);
    ImGui::Begin("InvisibleWindow", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoBringToFrontOnFocus);
    dockId = dock::DockSpace(ImGui::GetID("InvisibleWindowDockSpace"), ImVec2(0, 0),
                             dock::DockNodeFlags_PassthruCentralNode);
    ImGui::End();
    for (const char* name : {"Live View", "Serial Terminal", "Channel Statistics"})
    {
        dock::SetNextWindowDockID(dockId, ImGuiCond_FirstUseEver);
        if (dock::Begin(name))
            ImGui::Text("%s", name);
        dock::End();
    }
}

// CPU of NewFrame, the interface and Render; the OpenGL drawing is left out.
double Frame(GLFWwindow* window)
{
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    const double t0 = ThreadCpuMs();
    ImGui::NewFrame();
    Ui();
    ImGui::Render();
    const double t1 = ThreadCpuMs();
    int w, h;
    glfwGetFramebufferSize(window, &w, &h);
    glViewport(0, 0, w, h);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    glfwSwapBuffers(window);
    glfwPollEvents();
    return t1 - t0;
}

struct Result
{
    double loadMs, medianMs, p95Ms;
    int written;
};

Result Measure(GLFWwindow* window, int history, int frames)
{
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    dock::Initialize();
    ImGui_ImplGlfw_InitForOpenGL(window, false);
    ImGui_ImplOpenGL3_Init("#version 410");
    Frame(window);

    std::string ini;
    char entry[128];
    for (int i = 0; i < history; i++)
    {
        snprintf(entry, sizeof(entry), "[Dock][Old window %d]\nDockId=0x%08X\nOrder=%d\nSelected=0\n\n", i, dockId,
                 i + 3);
        ini += entry;
    }
    const double t0 = ThreadCpuMs();
    ImGui::LoadIniSettingsFromMemory(ini.c_str(), ini.size());
    const double loadMs = ThreadCpuMs() - t0;

    for (int i = 0; i < 10; i++)
        Frame(window);
    std::vector<double> ms;
    for (int i = 0; i < frames; i++)
        ms.push_back(Frame(window));
    std::sort(ms.begin(), ms.end());

    const std::string saved = ImGui::SaveIniSettingsToMemory();
    int written = 0;
    for (size_t at = saved.find("[Dock]["); at != std::string::npos; at = saved.find("[Dock][", at + 1))
        written++;

    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    dock::Shutdown();
    ImGui::DestroyContext();
    return Result{loadMs, ms[ms.size() / 2], ms[(size_t)(ms.size() * 0.95)], written};
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 200;
    const int largest = argc > 2 ? atoi(argv[2]) : 200000;
    if (!glfwInit())
    {
        fprintf(stderr, "bench_dock_frame: no display\n");
        return 1;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* window = glfwCreateWindow(1024, 720, "bench_dock_frame", nullptr, nullptr);
    if (!window)
    {
        fprintf(stderr, "bench_dock_frame: no OpenGL 4.1 window\n");
        return 1;
    }
    glfwMakeContextCurrent(window);
    glfwSwapInterval(0);

    printf("Docking layer frame (NewFrame, host window with the dock space, 3 docked tabs, Render), CPU of this\n"
           "thread, %d frames, after an imgui.ini naming N other windows docked in the same dock space\n",
           frames);
    printf("%10s %14s %16s %14s %16s\n", "N", "read ms", "median ms/frame", "p95 ms/frame", "entries written");
    for (int history : {0, 2000, 20000, 200000})
    {
        if (history > largest)
            break;
        const Result r = Measure(window, history, frames);
        printf("%10d %14.2f %16.4f %14.4f %16d\n", history, r.loadMs, r.medianMs, r.p95Ms, r.written);
        fflush(stdout);
    }
    printf("goal: the frame costs the same for every N; only the windows of the run are written back\n");
    glfwDestroyWindow(window);
    glfwTerminate();
    return 0;
}
