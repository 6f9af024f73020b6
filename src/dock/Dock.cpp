// Docking layer: see Dock.h.
//
// Ordering within a frame: the host window calls DockSpace() first, which draws the tab bar from
// the windows submitted on the previous frame, handles tab clicks and drags, and the drop of a
// dragged floating window. The docked windows come later in the frame through dock::Begin(), which
// places the window over the dock space (below the tab bar), hides it unless its tab is selected,
// and keeps it just in front of the host window, so floating windows stay in front of docked ones.
//
// Cost: windows are found by id in a hash map, and a dock space's tabs are the docked windows
// submitted on the previous frame, so a frame costs the same however many windows the ini file
// names. Only the windows submitted during this run are written back.
#define IMGUI_DEFINE_MATH_OPERATORS
#include "dock/Dock.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace dock
{

namespace
{

struct DockWindow
{
    ImGuiID ID = 0;                  // == ImGui's window id, ImHashStr(Name)
    std::string Name;                // as given to Begin, written to the ini file
    ImGuiID DockId = 0;              // dock space it is docked into, 0 = floating
    ImVec2 FloatSize = ImVec2(0, 0); // size to take back when it floats again (0 = keep)
    int Order = 0;                   // tab order within its dock space: lower first
    bool Selected = false;           // selected tab, as read from the ini file
    bool NoSave = false;             // ImGuiWindowFlags_NoSavedSettings
    bool SetOnce = false;            // an ImGuiCond_Once dock request was applied
    int LastFrameActive = -1;        // last frame dock::Begin ran for it; -1 = not yet in this run
    bool WantFocus = false;          // its tab was clicked, or it was dropped
    bool HiddenTab = false;          // hidden last frame as an unselected tab
    bool WantUndock = false;         // its tab was dragged out of the bar this frame
    ImVec2 UndockPos = ImVec2(0, 0); // where the floating window starts
    ImRect TabRect;                  // its tab, as drawn on TabFrame
    int TabFrame = -1;
};

struct DockSpaceState
{
    ImGuiID ID = 0;
    int Flags = 0;
    int LastFrameActive = -1;
    ImGuiWindow* HostWindow = nullptr;
    ImRect Rect;                 // whole area
    ImRect BarRect;              // tab bar along the top (empty while nothing is docked)
    ImRect ContentRect;          // what the selected window fills
    ImVector<ImGuiID> Tabs;      // docked windows submitted on the previous frame, in tab order
    ImVector<ImGuiID> Submitted; // docked windows submitted on SubmitFrame
    int SubmitFrame = -1;
    ImGuiID SelectedId = 0;
};

struct DockContext
{
    std::unordered_map<ImGuiID, DockWindow> Windows; // by id; entries stay where they are as it grows
    std::vector<ImGuiID> LiveWindows;                // went through Begin in this run, in that order
    std::unordered_map<ImGuiID, DockSpaceState> Spaces;
    std::unordered_map<ImGuiID, ImGuiID> LoadedSelection; // dock space -> its selected window, from the ini file
    std::unordered_map<ImGuiID, int> DockedCount;         // dock space -> windows docked there, submitted or not
    int NextOrder = 0;

    // SetNextWindowDockID() data; valid while g.NextWindowData carries NextWindowDataFlags_HasDock,
    // so that a plain ImGui::Begin in between consumes it as it consumes ImGui's own next-window data.
    ImGuiID NextDockId = 0;
    ImGuiCond NextCond = 0;

    // The floating window being moved with the mouse.
    int DragFrame = -1;
    ImGuiID DragWindowId = 0;
    bool DragDockable = false;   // one of ours, floating, moved by its title bar
    ImGuiID DroppedWindowId = 0; // released on this frame
};

// A bit of ImGui's next-window flags that ImGui does not use; ImGui::Begin clears every bit.
const ImGuiNextWindowDataFlags NextWindowDataFlags_HasDock = 1 << 24;

DockContext* GDock = nullptr;
std::string GSavedIni; // the layout as Shutdown left it, for ImGui's final save in DestroyContext
DockStyle GStyle;

DockWindow* FindDockWindow(ImGuiID id)
{
    auto it = GDock->Windows.find(id);
    return it == GDock->Windows.end() ? nullptr : &it->second;
}

DockWindow* CreateDockWindow(const char* name)
{
    const ImGuiID id = ImHashStr(name);
    DockWindow& w = GDock->Windows[id];
    w.ID = id;
    w.Name = name;
    return &w;
}

DockSpaceState* FindDockSpace(ImGuiID id)
{
    if (id == 0)
        return nullptr;
    auto it = GDock->Spaces.find(id);
    return it == GDock->Spaces.end() ? nullptr : &it->second;
}

DockSpaceState* FindOrCreateDockSpace(ImGuiID id)
{
    if (DockSpaceState* ds = FindDockSpace(id))
        return ds;
    DockSpaceState& ds = GDock->Spaces[id];
    ds.ID = id;
    auto loaded = GDock->LoadedSelection.find(id);
    if (loaded != GDock->LoadedSelection.end())
        ds.SelectedId = loaded->second;
    return &ds;
}

// Submitted on the previous frame (DockSpace runs before this frame's windows).
bool WasActiveLastFrame(const DockWindow& w) { return w.LastFrameActive >= ImGui::GetFrameCount() - 1; }

// Once per frame and dock space, before its first use in the frame: the windows submitted into it
// on the previous frame become its tabs, in tab order.
void BeginDockSpaceFrame(DockSpaceState* ds)
{
    const int frame = ImGui::GetFrameCount();
    if (ds->SubmitFrame == frame)
        return;
    ds->Tabs.clear();
    if (ds->SubmitFrame == frame - 1)
        ds->Tabs.swap(ds->Submitted);
    ds->Submitted.clear();
    ds->SubmitFrame = frame;
    std::stable_sort(ds->Tabs.begin(), ds->Tabs.end(),
                     [](ImGuiID a, ImGuiID b) { return FindDockWindow(a)->Order < FindDockWindow(b)->Order; });
}

// A tab of the dock space that is still docked there (a tab dragged out this frame is not).
DockWindow* TabWindow(const DockSpaceState& ds, int i)
{
    DockWindow* w = FindDockWindow(ds.Tabs[i]);
    return w && w->DockId == ds.ID ? w : nullptr;
}

// The dock space a window is docked into, while that dock space is submitted. A window docked into
// a dock space that is not submitted shows as a floating window, so it stays within reach.
DockSpaceState* ActiveDockSpace(const DockWindow& w)
{
    DockSpaceState* ds = FindDockSpace(w.DockId);
    return ds && ds->LastFrameActive >= ImGui::GetFrameCount() - 1 ? ds : nullptr;
}

// Moves a window into a dock space, at the end of its tabs, or out of docking with dock_id 0.
void DockWindowInto(DockWindow* w, ImGuiID dock_id)
{
    if (w->DockId == dock_id)
        return;
    if (DockSpaceState* old = FindDockSpace(w->DockId))
    {
        // The tab that takes its place takes the selection.
        int idx = old->Tabs.index_from_ptr(old->Tabs.find(w->ID));
        if (idx < old->Tabs.Size)
            old->Tabs.erase(old->Tabs.Data + idx);
        old->Submitted.find_erase(w->ID);
        if (old->SelectedId == w->ID)
            old->SelectedId = old->Tabs.empty() ? 0 : old->Tabs[ImMin(idx, old->Tabs.Size - 1)];
    }
    if (w->DockId != 0)
        GDock->DockedCount[w->DockId]--;
    w->DockId = dock_id;
    w->Selected = false;
    if (dock_id != 0)
    {
        GDock->DockedCount[dock_id]++;
        w->Order = GDock->NextOrder++;
        DockSpaceState* ds = FindOrCreateDockSpace(dock_id);
        if (ds->SelectedId == 0)
            ds->SelectedId = w->ID;
    }
    ImGui::MarkIniSettingsDirty();
}

// Keeps a docked window just in front of its host window: in front of the host, behind every
// floating window. ImGui draws and hit-tests windows in the order of g.Windows, back to front.
void KeepJustInFrontOfHost(ImGuiWindow* window, ImGuiWindow* host)
{
    ImGuiContext& g = *GImGui;
    int host_idx = -1, idx = -1;
    for (int i = 0; i < g.Windows.Size; i++)
    {
        if (g.Windows[i] == host)
            host_idx = i;
        else if (g.Windows[i] == window)
            idx = i;
    }
    if (host_idx < 0 || idx < 0 || idx == host_idx + 1)
        return;
    g.Windows.erase(g.Windows.Data + idx);
    if (idx < host_idx)
        host_idx--;
    g.Windows.insert(g.Windows.Data + host_idx + 1, window);
}

// Once per frame: follow the floating window being moved, and notice its release.
void UpdateDrag()
{
    ImGuiContext& g = *GImGui;
    DockContext& dc = *GDock;
    if (dc.DragFrame == g.FrameCount)
        return;
    dc.DragFrame = g.FrameCount;
    dc.DroppedWindowId = 0;

    ImGuiWindow* moving = g.MovingWindow ? g.MovingWindow->RootWindow : nullptr;
    if (moving)
    {
        if (moving->ID != dc.DragWindowId)
        {
            // A move that starts on the title bar can dock; a move from the window body cannot.
            DockWindow* w = FindDockWindow(moving->ID);
            dc.DragWindowId = moving->ID;
            dc.DragDockable = w && !ActiveDockSpace(*w) && g.ActiveId == moving->MoveId &&
                              g.ActiveIdClickOffset.y >= 0.0f && g.ActiveIdClickOffset.y < moving->TitleBarHeight;
        }
    }
    else if (dc.DragWindowId != 0)
    {
        if (dc.DragDockable && g.IO.MouseReleased[0])
            dc.DroppedWindowId = dc.DragWindowId;
        dc.DragWindowId = 0;
        dc.DragDockable = false;
    }
}

ImRect DropTargetRect(const DockSpaceState& ds)
{
    ImGuiContext& g = *GImGui;
    ImVec2 c = ds.ContentRect.GetCenter();
    float half = ImMin(g.FontSize * 2.0f, ImMin(ds.ContentRect.GetWidth(), ds.ContentRect.GetHeight()) * 0.25f);
    return ImRect(c.x - half, c.y - half, c.x + half, c.y + half);
}

// The drop targets are the box in the middle of the area and, while windows are docked, the tab bar.
void DropTarget(DockSpaceState* ds)
{
    ImGuiContext& g = *GImGui;
    DockContext& dc = *GDock;
    if (!(dc.DragWindowId != 0 && dc.DragDockable) && dc.DroppedWindowId == 0)
        return;
    const ImVec2 mouse = g.IO.MousePos;
    if (!ds->Rect.Contains(mouse))
        return;
    const ImRect target = DropTargetRect(*ds);
    const bool over = target.Contains(mouse) || (GetDockedWindowCount(ds->ID) > 0 && ds->BarRect.Contains(mouse));

    if (dc.DroppedWindowId != 0)
    {
        DockWindow* w = FindDockWindow(dc.DroppedWindowId);
        if (over && w && !ActiveDockSpace(*w))
        {
            if (ImGuiWindow* window = ImGui::FindWindowByID(w->ID))
                w->FloatSize = window->SizeFull;
            DockWindowInto(w, ds->ID);
            ds->SelectedId = w->ID;
            w->WantFocus = true;
        }
        dc.DroppedWindowId = 0;
        return;
    }

    ImDrawList* draw_list = ImGui::GetForegroundDrawList(ds->HostWindow->Viewport);
    ImVec4 col = GStyle.Colors[DockCol_DockingPreview];
    ImVec4 col_dim = col;
    col_dim.w *= 0.5f;
    if (over)
        draw_list->AddRectFilled(ds->ContentRect.Min, ds->ContentRect.Max, ImGui::ColorConvertFloat4ToU32(col_dim));
    draw_list->AddRectFilled(target.Min, target.Max, ImGui::ColorConvertFloat4ToU32(over ? col : col_dim),
                             g.Style.FrameRounding);
    draw_list->AddRect(target.Min, target.Max, ImGui::ColorConvertFloat4ToU32(col), g.Style.FrameRounding, 0, 2.0f);
}

// One tab per docked window that was submitted on the previous frame.
void TabBar(DockSpaceState* ds)
{
    ImGuiContext& g = *GImGui;
    const ImGuiStyle& style = g.Style;
    ImGuiWindow* host = ds->HostWindow;
    ImDrawList* draw_list = host->DrawList;

    // Focused: the selected docked window has keyboard focus.
    bool focused = g.NavWindow && g.NavWindow->RootWindow->ID == ds->SelectedId;
    draw_list->AddRectFilled(ds->BarRect.Min, ds->BarRect.Max,
                             ImGui::GetColorU32(focused ? ImGuiCol_TitleBgActive : ImGuiCol_TitleBg));

    // Tabs as wide as their labels; all shrunk alike when they do not fit the bar.
    float width_sum = 0.0f;
    int tab_count = 0;
    for (int i = 0; i < ds->Tabs.Size; i++)
    {
        DockWindow* w = TabWindow(*ds, i);
        if (!w)
            continue;
        const char* label = w->Name.c_str();
        width_sum += ImGui::CalcTextSize(label, ImGui::FindRenderedTextEnd(label)).x + style.FramePadding.x * 2.0f;
        tab_count++;
    }
    const float room = ds->BarRect.GetWidth() - style.ItemInnerSpacing.x * (tab_count - 1);
    const float shrink = width_sum > room && width_sum > 0.0f ? ImMax(room, 0.0f) / width_sum : 1.0f;

    // The bar's lower edge in the selected tab's colour, as ImGui's tab bars draw it.
    if (style.TabBarBorderSize > 0.0f)
        draw_list->AddRectFilled(ImVec2(ds->BarRect.Min.x, ds->BarRect.Max.y - style.TabBarBorderSize), ds->BarRect.Max,
                                 ImGui::GetColorU32(focused ? ImGuiCol_TabSelected : ImGuiCol_TabDimmedSelected));

    float x = ds->BarRect.Min.x;
    for (int i = 0; i < ds->Tabs.Size; i++)
    {
        DockWindow* w = TabWindow(*ds, i);
        if (!w)
            continue;
        const char* label = w->Name.c_str();
        const char* label_end = ImGui::FindRenderedTextEnd(label);
        const ImVec2 label_size = ImGui::CalcTextSize(label, label_end);
        const float width = ImTrunc((label_size.x + style.FramePadding.x * 2.0f) * shrink);
        ImRect bb(x, ds->BarRect.Min.y, x + ImMax(width, 1.0f), ds->BarRect.Max.y);
        x = bb.Max.x + style.ItemInnerSpacing.x;
        w->TabRect = bb;
        w->TabFrame = g.FrameCount;

        ImGuiID tab_id = ImHashData(&w->ID, sizeof(w->ID), ds->ID);
        if (!ImGui::ItemAdd(bb, tab_id))
            continue;
        bool hovered, held;
        if (ImGui::ButtonBehavior(bb, tab_id, &hovered, &held, ImGuiButtonFlags_PressedOnClick))
        {
            if (ds->SelectedId != w->ID)
                ImGui::MarkIniSettingsDirty();
            ds->SelectedId = w->ID;
            w->WantFocus = true;
            g.ActiveIdNoClearOnFocusLoss = true; // focusing the tab's window must not drop the held tab
        }
        const bool selected = ds->SelectedId == w->ID;
        ImGuiCol col = selected  ? (focused ? ImGuiCol_TabSelected : ImGuiCol_TabDimmedSelected)
                       : hovered ? ImGuiCol_TabHovered
                                 : (focused ? ImGuiCol_Tab : ImGuiCol_TabDimmed);
        ImGui::TabItemBackground(draw_list, bb, 0, ImGui::GetColorU32(col));
        ImGui::RenderTextClipped(bb.Min + style.FramePadding, ImVec2(bb.Max.x, bb.Max.y - style.FramePadding.y), label,
                                 label_end, &label_size, ImVec2(0, 0), &bb);

        // Dragged out of the bar: the window floats at the mouse, still held by it.
        ImRect keep = ds->BarRect;
        keep.Expand(g.FontSize);
        if (held && ImGui::IsMouseDragging(ImGuiMouseButton_Left) && !keep.Contains(g.IO.MousePos))
        {
            w->WantUndock = true;
            w->UndockPos = g.IO.MousePos - (g.IO.MouseClickedPos[0] - bb.Min);
            DockWindowInto(w, 0);
            break; // the list changed
        }
    }
}

// ini file: one "[Dock][window name]" entry per window that went through dock::Begin in the run that
// wrote it. A window named twice keeps its last entry.
void* Settings_ReadOpen(ImGuiContext*, ImGuiSettingsHandler*, const char* name)
{
    DockWindow* w = FindDockWindow(ImHashStr(name));
    if (!w)
        w = CreateDockWindow(name);
    w->DockId = 0;
    w->Order = 0;
    w->Selected = false;
    w->FloatSize = ImVec2(0, 0);
    return (void*)(intptr_t)w->ID;
}

void Settings_ReadLine(ImGuiContext*, ImGuiSettingsHandler*, void* entry, const char* line)
{
    DockWindow* w = FindDockWindow((ImGuiID)(intptr_t)entry);
    if (!w)
        return;
    unsigned int u;
    int i;
    float x, y;
    if (sscanf(line, "DockId=0x%X", &u) == 1)
        w->DockId = u;
    else if (sscanf(line, "Order=%d", &i) == 1)
        w->Order = ImClamp(i, 0, 1 << 30); // room for the tabs docked after it
    else if (sscanf(line, "Selected=%d", &i) == 1)
        w->Selected = i != 0;
    else if (sscanf(line, "FloatSize=%f,%f", &x, &y) == 2 && x >= 1.0f && y >= 1.0f && x <= 16384.0f && y <= 16384.0f)
        w->FloatSize = ImVec2(x, y); // anything else (NaN, negative, absurd) keeps the window's own size
}

// The selected tab of each dock space, for when the dock space is submitted; new tabs go after
// every tab read.
void Settings_ApplyAll(ImGuiContext*, ImGuiSettingsHandler*)
{
    DockContext& dc = *GDock;
    std::unordered_map<ImGuiID, const DockWindow*> selected;
    dc.DockedCount.clear();
    for (const auto& [id, w] : dc.Windows)
    {
        if (w.DockId == 0)
            continue;
        dc.DockedCount[w.DockId]++;
        dc.NextOrder = ImMax(dc.NextOrder, w.Order + 1);
        const DockWindow*& s = selected[w.DockId];
        if (w.Selected && (!s || s->Order <= w.Order))
            s = &w;
    }
    for (const auto& [dock_id, w] : selected)
    {
        if (!w)
            continue;
        dc.LoadedSelection[dock_id] = w->ID;
        if (DockSpaceState* ds = FindDockSpace(dock_id))
            ds->SelectedId = w->ID;
    }
}

bool IsSelectedTab(const DockWindow& w)
{
    const DockSpaceState* ds = FindDockSpace(w.DockId);
    return ds ? ds->SelectedId == w.ID : w.Selected;
}

// The windows of this run only; tab orders written as 0, 1, 2... within each dock space.
void WriteLayout(ImGuiTextBuffer* buf)
{
    std::vector<const DockWindow*> saved;
    for (ImGuiID id : GDock->LiveWindows)
        if (const DockWindow* w = FindDockWindow(id); w && !w->NoSave)
            saved.push_back(w);
    std::vector<const DockWindow*> docked;
    for (const DockWindow* w : saved)
        if (w->DockId != 0)
            docked.push_back(w);
    std::stable_sort(docked.begin(), docked.end(), [](const DockWindow* a, const DockWindow* b) {
        return a->DockId != b->DockId ? a->DockId < b->DockId : a->Order < b->Order;
    });
    std::unordered_map<ImGuiID, int> order;
    for (size_t i = 0; i < docked.size(); i++)
        order[docked[i]->ID] = i > 0 && docked[i - 1]->DockId == docked[i]->DockId ? order[docked[i - 1]->ID] + 1 : 0;

    for (const DockWindow* w : saved)
    {
        buf->appendf("[Dock][%s]\n", w->Name.c_str());
        buf->appendf("DockId=0x%08X\n", w->DockId);
        if (w->DockId != 0)
        {
            buf->appendf("Order=%d\n", order[w->ID]);
            buf->appendf("Selected=%d\n", IsSelectedTab(*w) ? 1 : 0);
        }
        if (w->FloatSize.x > 0.0f && w->FloatSize.y > 0.0f)
            buf->appendf("FloatSize=%d,%d\n", (int)w->FloatSize.x, (int)w->FloatSize.y);
        buf->append("\n");
    }
}

void Settings_WriteAll(ImGuiContext*, ImGuiSettingsHandler*, ImGuiTextBuffer* buf)
{
    if (GDock)
        WriteLayout(buf);
    else
        buf->append(GSavedIni.c_str());
}

void Settings_ClearAll(ImGuiContext*, ImGuiSettingsHandler*)
{
    if (!GDock)
        return;
    GDock->Windows.clear();
    GDock->LiveWindows.clear();
    GDock->Spaces.clear();
    GDock->LoadedSelection.clear();
    GDock->DockedCount.clear();
    GDock->NextOrder = 0;
}

} // namespace

DockStyle::DockStyle()
{
    Colors[DockCol_DockingPreview] = ImVec4(0.26f, 0.59f, 0.98f, 0.70f);
    Colors[DockCol_DockingEmptyBg] = ImVec4(0.20f, 0.20f, 0.20f, 1.00f);
}

DockStyle& GetStyle() { return GStyle; }

void Initialize()
{
    IM_ASSERT(GImGui != nullptr && "dock::Initialize() needs an ImGui context");
    delete GDock;
    GDock = new DockContext();
    GSavedIni.clear();

    ImGuiSettingsHandler handler;
    handler.TypeName = "Dock";
    handler.TypeHash = ImHashStr("Dock");
    handler.ClearAllFn = Settings_ClearAll;
    handler.ReadOpenFn = Settings_ReadOpen;
    handler.ReadLineFn = Settings_ReadLine;
    handler.ApplyAllFn = Settings_ApplyAll;
    handler.WriteAllFn = Settings_WriteAll;
    if (ImGui::FindSettingsHandler(handler.TypeName) == nullptr)
        ImGui::AddSettingsHandler(&handler);
}

void Shutdown()
{
    if (!GDock)
        return;
    ImGuiTextBuffer buf;
    WriteLayout(&buf);
    GSavedIni = buf.c_str();
    delete GDock;
    GDock = nullptr;
}

ImGuiID DockSpace(ImGuiID id, const ImVec2& size_arg, int flags)
{
    ImGuiContext& g = *GImGui;
    IM_ASSERT(GDock != nullptr && "dock::Initialize() not called");
    ImGuiWindow* host = ImGui::GetCurrentWindow();
    DockSpaceState* ds = FindOrCreateDockSpace(id);
    BeginDockSpaceFrame(ds);
    ds->Flags = flags;
    ds->HostWindow = host;
    ds->LastFrameActive = g.FrameCount;

    const ImVec2 avail = ImGui::GetContentRegionAvail();
    ImVec2 size = ImTrunc(size_arg);
    if (size.x <= 0.0f)
        size.x = ImMax(avail.x + size.x, 4.0f);
    if (size.y <= 0.0f)
        size.y = ImMax(avail.y + size.y, 4.0f);
    const ImVec2 pos = host->DC.CursorPos;
    ds->Rect = ImRect(pos, pos + size);
    ImGui::ItemSize(size);

    UpdateDrag();

    // Tabs are the docked windows submitted on the previous frame. Keep the selection on one of them;
    // while none was submitted yet (the first frame) keep the selection that was loaded.
    int tab_count = 0;
    ImGuiID first_tab = 0;
    bool selected_has_tab = false;
    for (int i = 0; i < ds->Tabs.Size; i++)
    {
        DockWindow* w = TabWindow(*ds, i);
        if (!w)
            continue;
        if (tab_count++ == 0)
            first_tab = w->ID;
        if (w->ID == ds->SelectedId)
            selected_has_tab = true;
    }
    if (tab_count > 0 && !selected_has_tab)
    {
        ds->SelectedId = first_tab;
        ImGui::MarkIniSettingsDirty();
    }

    if (GetDockedWindowCount(id) > 0)
    {
        const float bar_height = ImGui::GetFrameHeight();
        ds->BarRect = ImRect(ds->Rect.Min, ImVec2(ds->Rect.Max.x, ImMin(ds->Rect.Min.y + bar_height, ds->Rect.Max.y)));
        ds->ContentRect = ImRect(ImVec2(ds->Rect.Min.x, ds->BarRect.Max.y), ds->Rect.Max);
    }
    else
    {
        ds->BarRect = ImRect();
        ds->ContentRect = ds->Rect;
    }

    if (tab_count == 0)
    {
        if (flags & DockNodeFlags_PassthruCentralNode)
            ImGui::SetWindowHitTestHole(host, ds->Rect.Min, ds->Rect.GetSize());
        else
            host->DrawList->AddRectFilled(ds->Rect.Min, ds->Rect.Max,
                                          ImGui::ColorConvertFloat4ToU32(GStyle.Colors[DockCol_DockingEmptyBg]));
    }
    else
    {
        TabBar(ds);
    }
    DropTarget(ds);
    return id;
}

void SetNextWindowDockID(ImGuiID dock_id, ImGuiCond cond)
{
    ImGuiContext& g = *GImGui;
    IM_ASSERT(cond == 0 || ImIsPowerOfTwo(cond)); // one condition, as ImGui's SetNextWindow* functions
    GDock->NextDockId = dock_id;
    GDock->NextCond = cond ? cond : ImGuiCond_Always;
    g.NextWindowData.HasFlags |= NextWindowDataFlags_HasDock;
}

bool Begin(const char* name, bool* p_open, ImGuiWindowFlags flags)
{
    ImGuiContext& g = *GImGui;
    DockContext& dc = *GDock;
    const ImGuiID id = ImHashStr(name);
    DockWindow* w = FindDockWindow(id);
    const bool first_use = (w == nullptr);
    if (!w)
        w = CreateDockWindow(name);
    w->NoSave = (flags & ImGuiWindowFlags_NoSavedSettings) != 0;

    if (g.NextWindowData.HasFlags & NextWindowDataFlags_HasDock)
    {
        g.NextWindowData.HasFlags &= ~NextWindowDataFlags_HasDock;
        const ImGuiCond cond = dc.NextCond;
        bool apply = (cond & ImGuiCond_Always) != 0;
        if ((cond & ImGuiCond_FirstUseEver) && first_use)
            apply = true;
        if ((cond & ImGuiCond_Once) && !w->SetOnce)
            apply = w->SetOnce = true;
        if ((cond & ImGuiCond_Appearing) && !WasActiveLastFrame(*w))
            apply = true;
        if (apply && dc.NextDockId != w->DockId)
        {
            if (dc.NextDockId != 0 && w->DockId == 0)
            {
                // Remember the floating size for when it floats again.
                if (ImGuiWindow* window = ImGui::FindWindowByID(id))
                    w->FloatSize = window->SizeFull;
                else if (g.NextWindowData.HasFlags & ImGuiNextWindowDataFlags_HasSize)
                    w->FloatSize = g.NextWindowData.SizeVal;
            }
            DockWindowInto(w, dc.NextDockId);
        }
    }

    DockSpaceState* ds = ActiveDockSpace(*w);
    bool visible;
    if (ds)
    {
        BeginDockSpaceFrame(ds);
        if (w->LastFrameActive != g.FrameCount)
            ds->Submitted.push_back(id);
        if (ds->SelectedId == 0)
            ds->SelectedId = id;
        const bool selected = ds->SelectedId == id;
        ImGui::SetNextWindowPos(ds->ContentRect.Min, ImGuiCond_Always);
        ImGui::SetNextWindowSize(ds->ContentRect.GetSize(), ImGuiCond_Always);
        ImGui::SetNextWindowCollapsed(false, ImGuiCond_Always);
        g.NextWindowData.HasFlags &= ~ImGuiNextWindowDataFlags_HasSizeConstraint; // limits are for the floating window
        flags |= ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                 ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBringToFrontOnFocus;
        ImGuiWindow* window = ImGui::FindWindowByID(id);
        if (window && w->HiddenTab)
            window->HiddenFramesCanSkipItems = selected ? 0 : 1;
        ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
        visible = ImGui::Begin(name, p_open, flags);
        ImGui::PopStyleVar();
        window = g.CurrentWindow;
        w->HiddenTab = !selected;
        if (!selected)
        {
            // As ImGui hides an unselected docked tab: not drawn, not hovered, items skipped; the
            // counter also hides the child windows begun inside it this frame.
            window->HiddenFramesCanSkipItems = 1;
            window->Hidden = true;
            window->SkipItems = true;
            visible = false;
        }
        if (selected)
            KeepJustInFrontOfHost(window, ds->HostWindow);
        if (w->WantFocus && selected)
            ImGui::FocusWindow(window);
        w->WantFocus = false;
    }
    else
    {
        ImGuiWindow* window = ImGui::FindWindowByID(id);
        if (window && w->HiddenTab)
            window->HiddenFramesCanSkipItems = 0;
        w->HiddenTab = false;
        if (w->WantUndock)
        {
            ImGui::SetNextWindowPos(w->UndockPos, ImGuiCond_Always);
            if (w->FloatSize.x > 0.0f && w->FloatSize.y > 0.0f)
                ImGui::SetNextWindowSize(w->FloatSize, ImGuiCond_Always);
            ImGui::SetNextWindowCollapsed(false, ImGuiCond_Always);
        }
        visible = ImGui::Begin(name, p_open, flags);
        if (w->WantUndock)
        {
            // Keep the drag going: the window follows the mouse by its title bar and may dock again.
            window = g.CurrentWindow;
            ImGui::StartMouseMovingWindow(window);
            g.ActiveIdClickOffset = g.IO.MousePos - window->Pos;
            dc.DragWindowId = window->ID;
            dc.DragDockable = true;
            w->WantUndock = false;
        }
        w->WantFocus = false;
    }
    if (w->LastFrameActive < 0)
        dc.LiveWindows.push_back(id);
    w->LastFrameActive = g.FrameCount;
    return visible;
}

void End() { ImGui::End(); }

bool IsWindowDocked(const char* name) { return GetWindowDockID(name) != 0; }

ImGuiID GetWindowDockID(const char* name)
{
    DockWindow* w = GDock ? FindDockWindow(ImHashStr(name)) : nullptr;
    return w ? w->DockId : 0;
}

const char* GetSelectedTab(ImGuiID dock_id)
{
    DockSpaceState* ds = GDock ? FindDockSpace(dock_id) : nullptr;
    DockWindow* w = ds ? FindDockWindow(ds->SelectedId) : nullptr;
    return w ? w->Name.c_str() : nullptr;
}

int GetDockedWindowCount(ImGuiID dock_id)
{
    if (!GDock)
        return 0;
    auto it = GDock->DockedCount.find(dock_id);
    return it == GDock->DockedCount.end() ? 0 : it->second;
}

ImRect GetDockSpaceRect(ImGuiID dock_id)
{
    DockSpaceState* ds = GDock ? FindDockSpace(dock_id) : nullptr;
    return ds ? ds->Rect : ImRect();
}

ImRect GetDockSpaceTabBarRect(ImGuiID dock_id)
{
    DockSpaceState* ds = GDock ? FindDockSpace(dock_id) : nullptr;
    return ds ? ds->BarRect : ImRect();
}

ImRect GetDockSpaceTabRect(ImGuiID dock_id, const char* name)
{
    DockWindow* w = GDock ? FindDockWindow(ImHashStr(name)) : nullptr;
    if (!w || w->DockId != dock_id || w->TabFrame != ImGui::GetFrameCount())
        return ImRect();
    return w->TabRect;
}

} // namespace dock
