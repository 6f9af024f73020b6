// The "General Settings" section of the Settings page: the theme.
#pragma once

void GeneralSettingsPage();
