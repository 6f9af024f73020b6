// A real GLFW window with an OpenGL core context (Xvfb in the test run), ImGui with its OpenGL3
// renderer back end and an ImPlot context; frames on demand, input fed through ImGui's events.
// ImGui's GLFW platform back end is left out on purpose: while the window has the focus it reports
// the real X pointer, which other tests on the same display move, and it would fight the input
// the tests feed.
#pragma once

#include "plot/implot_internal.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_opengl3.h>

#include <functional>
#include <vector>

struct PlotUiFixture
{
    GLFWwindow* window = nullptr;
    ImGuiContext* context = nullptr;
    ImPlotContext* plotContext = nullptr;
    int width = 0, height = 0;

    bool Open(int w = 900, int h = 600)
    {
        if (!glfwInit())
            return false;
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
        window = glfwCreateWindow(w, h, "plot test", nullptr, nullptr);
        if (!window)
            return false;
        glfwMakeContextCurrent(window);
        width = w;
        height = h;
        context = ImGui::CreateContext();
        plotContext = ImPlot::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2((float)w, (float)h);
        return ImGui_ImplOpenGL3_Init("#version 410");
    }

    ~PlotUiFixture()
    {
        if (context)
        {
            ImGui_ImplOpenGL3_Shutdown();
            ImPlot::DestroyContext(plotContext);
            ImGui::DestroyContext(context);
        }
        if (window)
            glfwDestroyWindow(window);
        glfwTerminate();
    }

    // One frame of 1/60 s: the events are queued, then ui() builds the frame,
    // which is rendered into the back buffer (read it with Pixels before the next frame).
    void Frame(const std::function<void()>& ui, const std::function<void(ImGuiIO&)>& input = nullptr)
    {
        ImGui_ImplOpenGL3_NewFrame();
        ImGuiIO& io = ImGui::GetIO();
        io.DeltaTime = 1.0f / 60.0f;
        io.AddMousePosEvent(mouse.x, mouse.y);
        if (input)
            input(io);
        ImGui::NewFrame();
        ui();
        ImGui::Render();
        int fw = 0, fh = 0;
        glfwGetFramebufferSize(window, &fw, &fh);
        glViewport(0, 0, fw, fh);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        glFinish();
    }

    // A full-window ImGui window holding one thing.
    static void FullWindow(const char* name, const std::function<void()>& body)
    {
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
        ImGui::Begin(name, nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
        body();
        ImGui::End();
    }

    // The back buffer as RGBA rows from the top.
    std::vector<unsigned char> Pixels() const
    {
        std::vector<unsigned char> rgba((size_t)width * height * 4);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        std::vector<unsigned char> flipped(rgba.size());
        for (int y = 0; y < height; ++y)
            std::copy(rgba.begin() + (size_t)(height - 1 - y) * width * 4,
                      rgba.begin() + (size_t)(height - y) * width * 4, flipped.begin() + (size_t)y * width * 4);
        return flipped;
    }

    // Pixels inside r in which colour component c (0 red, 1 green, 2 blue) exceeds both others by
    // margin: a line of that colour, anti-aliased or not, over the grey and dark plot.
    int CountDominant(const std::vector<unsigned char>& px, int c, const ImRect& r, int margin = 80) const
    {
        int n = 0;
        for (int y = ImMax(0, (int)r.Min.y); y < ImMin(height, (int)r.Max.y); ++y)
            for (int x = ImMax(0, (int)r.Min.x); x < ImMin(width, (int)r.Max.x); ++x)
            {
                const unsigned char* p = &px[((size_t)y * width + x) * 4];
                if ((int)p[c] - ImMax((int)p[(c + 1) % 3], (int)p[(c + 2) % 3]) >= margin)
                    ++n;
            }
        return n;
    }

    ImVec2 mouse = ImVec2(-FLT_MAX, -FLT_MAX);
};

// Writes pixels as a binary PPM file (for looking at a failing picture).
inline bool WritePpm(const char* path, const std::vector<unsigned char>& px, int w, int h)
{
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (size_t i = 0; i < (size_t)w * h; ++i)
        fwrite(&px[i * 4], 1, 3, f);
    fclose(f);
    return true;
}
