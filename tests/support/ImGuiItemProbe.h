// For UI tests that work the real program window through its widgets: the ID
// ImGui gives a widget, the place it was drawn on the last frame, clicks and
// typing on it, and the text every frame draws.
//
//     const ImGuiID open = uitest::WidgetId("SettingsFullWindow", {"UIContextSerial", "Open COM Port"});
//     uitest::ClickItem(ui, open);
//     uitest::FrameText text;            // from here on
//     ui.RunFrames(1);
//     EXPECT_TRUE(text.Contains("Close COM Port"));
#pragma once

#include "support/UiHarness.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <string>

namespace uitest
{

// The ID of the widget at the end of path inside the top-level window, each
// earlier step a PushID scope (or a widget that pushes its label, as InputInt does).
inline ImGuiID WidgetId(const char* window, std::initializer_list<const char*> path)
{
    ImGuiID id = ImHashStr(window);
    for (const char* step : path)
        id = ImHashStr(step, 0, id);
    return id;
}

// The ID under a further PushID(int) scope, as Combo gives each of its entries.
inline ImGuiID WidgetId(ImGuiID seed, int n, const char* label)
{
    return ImHashStr(label, 0, ImHashData(&n, sizeof(n), seed));
}

// The ID of entry n of the open combo popup (one combo open at a time).
inline ImGuiID ComboEntryId(int n, const char* label) { return WidgetId(ImHashStr("##Combo_00"), n, label); }

// Draws one frame and returns the rectangle of the widget with this ID, or an
// empty one when no such widget was drawn. ImGui's item locator outlines the
// widget (grown by 3 pixels) on the foreground draw list; the mouse is moved
// off the window so its guide line ends far outside.
inline ImRect LocateItem(UiHarness& ui, ImGuiID id)
{
    ImGui::GetIO().AddMousePosEvent(-FLT_MAX, -FLT_MAX);
    ImGui::DebugLocateItem(id);
    ui.RunFrames(1);
    if (GImGui->DebugLocateId != 0)
        return ImRect();

    ImRect box(FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX);
    const ImDrawData* data = ImGui::GetDrawData();
    for (int n = 0; data && n < data->CmdListsCount; n++)
    {
        const ImDrawList* list = data->CmdLists[n];
        if (!list->_OwnerName || std::string(list->_OwnerName) != "##Foreground")
            continue;
        for (const ImDrawVert& v : list->VtxBuffer)
            if (v.col == IM_COL32(0, 255, 0, 255) && std::fabs(v.pos.x) < 1e6f && std::fabs(v.pos.y) < 1e6f)
                box.Add(v.pos);
    }
    if (box.Min.x > box.Max.x)
        return ImRect();
    // Less the 3 pixels and the outline's half pixel on each side.
    return ImRect(box.Min.x + 3.5f, box.Min.y + 3.5f, box.Max.x - 3.5f, box.Max.y - 3.5f);
}

inline bool ItemDrawn(UiHarness& ui, ImGuiID id) { return LocateItem(ui, id).GetWidth() > 0.0f; }

// Clicks the widget's centre; false when it is not drawn or lies off the screen.
inline bool ClickItem(UiHarness& ui, ImGuiID id, bool ctrl = false)
{
    const ImRect r = LocateItem(ui, id);
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    if (r.GetWidth() <= 0.0f || !ImRect(vp->Pos, ImVec2(vp->Pos.x + vp->Size.x, vp->Pos.y + vp->Size.y)).Contains(r))
        return false;
    ImGuiIO& io = ImGui::GetIO();
    if (ctrl)
        io.AddKeyEvent(ImGuiMod_Ctrl, true);
    ui.Click(r.GetCenter());
    if (ctrl)
    {
        io.AddKeyEvent(ImGuiMod_Ctrl, false);
        ui.RunFrames(1);
    }
    return true;
}

// Types into the text field that has the keyboard: selects all of it first,
// then one character per frame.
inline void TypeText(UiHarness& ui, const std::string& text)
{
    ImGuiIO& io = ImGui::GetIO();
    io.AddKeyEvent(ImGuiMod_Ctrl, true);
    io.AddKeyEvent(ImGuiKey_A, true);
    ui.RunFrames(1);
    io.AddKeyEvent(ImGuiKey_A, false);
    io.AddKeyEvent(ImGuiMod_Ctrl, false);
    ui.RunFrames(1);
    for (char c : text)
    {
        io.AddInputCharacter(static_cast<unsigned char>(c));
        ui.RunFrames(1);
    }
}

// Every text the frames draw while it lives (labels, texts, combo previews),
// through ImGui's text log; Last() holds the latest complete frame's.
class FrameText
{
public:
    FrameText()
    {
        ImGuiContextHook begin;
        begin.Type = ImGuiContextHookType_NewFramePost;
        begin.Callback = [](ImGuiContext*, ImGuiContextHook*) { ImGui::LogToBuffer(0); };
        ImGuiContextHook end;
        end.Type = ImGuiContextHookType_EndFramePre;
        end.UserData = this;
        end.Callback = [](ImGuiContext* ctx, ImGuiContextHook* hook) {
            static_cast<FrameText*>(hook->UserData)->last = ctx->LogBuffer.c_str();
            ImGui::LogFinish();
        };
        beginHook = ImGui::AddContextHook(GImGui, &begin);
        endHook = ImGui::AddContextHook(GImGui, &end);
    }
    ~FrameText()
    {
        ImGui::RemoveContextHook(GImGui, beginHook);
        ImGui::RemoveContextHook(GImGui, endHook);
    }
    FrameText(const FrameText&) = delete;
    FrameText& operator=(const FrameText&) = delete;

    const std::string& Last() const { return last; }
    bool Contains(const std::string& text) const { return last.find(text) != std::string::npos; }

private:
    std::string last;
    ImGuiID beginHook = 0, endHook = 0;
};

} // namespace uitest
