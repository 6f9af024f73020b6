// The chat window in the real program window: it appears docked while AI is
// enabled, takes a typed question and shows the answer; it goes when AI is off.
#include "support/UiHarness.h"
#include "chat_test_setup.h"

#include "dock/Dock.h"
#include "ui/DashboardDockSpace.h"
#include "ui/Sidebar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using chattest::ChatDirectory;
using chattest::ScriptReplying;
using uitest::ProgramDirectory;
using uitest::UiHarness;

namespace
{
const char* ChatTitle = "AI Assistant";
const std::string NoData = "No data streams currently active. Connect a serial device to see real-time data.";

// The chat's message list, a child window of the chat window.
ImGuiWindow* MessageList()
{
    for (ImGuiWindow* w : GImGui->Windows)
        if (w->ParentWindow && std::string(w->ParentWindow->Name) == ChatTitle &&
            std::string(w->Name).find("MessageArea") != std::string::npos)
            return w;
    return nullptr;
}
} // namespace

TEST(AIChatUi, DockedChatAnswersATypedQuestion)
{
    ProgramDirectory program;
    uitest::ConsoleCapture console;
    ChatDirectory chat(false);
    chat.ModelFile(1);
    chat.UseScript(ScriptReplying("x"));
    chat.Settings(1, false);
    {
        UiHarness ui;
        ASSERT_TRUE(ui.HasWindow());
        ui.UI().sidebar->selectedPage = "Dashboard";
        ui.RunFrames(3);
        EXPECT_FALSE(AIChatPanelInstance);

        chat.Settings(1, true);
        ui.RunFrames(3);
        ASSERT_TRUE(AIChatPanelInstance);
        EXPECT_GE(console.FindOut("AI Chat initialized dynamically at runtime"), 0);
        EXPECT_GE(console.FindOut("AI analysis engine initialized successfully!"), 0);
        const ImGuiID space = GetDashboardDockSpaceId();
        EXPECT_TRUE(dock::IsWindowDocked(ChatTitle));
        EXPECT_EQ(dock::GetWindowDockID(ChatTitle), space);

        // Select its tab, then type into the input line and press Enter.
        ui.Click(dock::GetDockSpaceTabRect(space, ChatTitle).GetCenter());
        ASSERT_STREQ(dock::GetSelectedTab(space), ChatTitle);
        AIChatPanelInstance->focusInput = true;
        ui.RunFrames(2);
        for (char c : std::string("Hello there"))
            ImGui::GetIO().AddInputCharacter((unsigned)c);
        ui.RunFrames(1);
        EXPECT_STREQ(AIChatPanelInstance->input, "Hello there");
        ui.PressKey(ImGuiKey_Backspace);
        EXPECT_STREQ(AIChatPanelInstance->input, "Hello ther");
        ui.PressKey(ImGuiKey_Enter);
        EXPECT_STREQ(AIChatPanelInstance->input, "");

        std::vector<ChatMessage> m = AIChatPanelInstance->GetMessages();
        ASSERT_GE(m.size(), 2u);
        EXPECT_EQ(m[1].text, "Hello ther");
        EXPECT_TRUE(m[1].isUser);
        for (int i = 0; i < 30000 && AIChatPanelInstance->isProcessing.load(); i++) // only catches a hang
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            ui.RunFrames(1);
        }
        EXPECT_FALSE(AIChatPanelInstance->isProcessing.load());
        m = AIChatPanelInstance->GetMessages();
        ASSERT_EQ(m.size(), 3u);
        EXPECT_FALSE(m[2].isUser);
        EXPECT_EQ(m[2].text, CannedChatReply("Hello ther", NoData));

        // Enter on an empty line sends nothing.
        ui.PressKey(ImGuiKey_Enter);
        EXPECT_EQ(AIChatPanelInstance->GetMessages().size(), 3u);

        // Escape in the message list keeps the typed text; in the line it clears it.
        for (char c : std::string("keep me"))
            ImGui::GetIO().AddInputCharacter((unsigned)c);
        ui.RunFrames(1);
        ASSERT_STREQ(AIChatPanelInstance->input, "keep me");
        ImGuiWindow* list = MessageList();
        ASSERT_NE(list, nullptr);
        ui.Click(list->InnerRect.GetCenter());
        ASSERT_EQ(GImGui->NavWindow, list);
        ui.PressKey(ImGuiKey_Escape);
        ui.RunFrames(1);
        EXPECT_STREQ(AIChatPanelInstance->input, "keep me");
        AIChatPanelInstance->focusInput = true;
        ui.RunFrames(2);
        ui.PressKey(ImGuiKey_Escape);
        EXPECT_STREQ(AIChatPanelInstance->input, "");

        // AI off: the panel goes on the next Dashboard frame.
        chat.Settings(1, false);
        ui.RunFrames(2);
        EXPECT_FALSE(AIChatPanelInstance);
        EXPECT_GE(console.FindOut("AI Chat shutdown dynamically at runtime"), 0);

        // On again: a fresh panel, which the UI context's end releases.
        chat.Settings(1, true);
        ui.RunFrames(2);
        ASSERT_TRUE(AIChatPanelInstance);
        EXPECT_EQ(AIChatPanelInstance->GetMessages().size(), 1u);
    }
    EXPECT_FALSE(AIChatPanelInstance);
}
