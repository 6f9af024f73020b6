// An ImGui and ImPlot context without a window: frames are built (NewFrame to Render) and the draw
// lists can be inspected, nothing is shown.
#pragma once

#include "plot/implot_internal.h"

#include <functional>

struct HeadlessPlot
{
    ImGuiContext* context = nullptr;
    ImPlotContext* plotContext = nullptr;

    HeadlessPlot(float w = 800, float h = 600)
    {
        context = ImGui::CreateContext();
        plotContext = ImPlot::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(w, h);
        io.DeltaTime = 1.0f / 60.0f;
        // Textures are requested but never uploaded; nothing is drawn on a screen.
        io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
    }

    ~HeadlessPlot()
    {
        ImPlot::DestroyContext(plotContext);
        ImGui::DestroyContext(context);
    }

    // One frame with body() inside a full-size window named "Host".
    void Frame(const std::function<void()>& body, const std::function<void(ImGuiIO&)>& input = nullptr)
    {
        ImGuiIO& io = ImGui::GetIO();
        if (input)
            input(io);
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(io.DisplaySize);
        ImGui::Begin("Host", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
        body();
        ImGui::End();
        ImGui::Render();
    }
};
