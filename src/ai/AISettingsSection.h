// The "AI Model Settings" section of the Settings page: the assistant's switch,
// the model choice, its status and its download.
#pragma once

void AIModelSettingsPage();
void AIModelSelectionSection();
void AIStatusSection();
void AIConfigurationSection();
