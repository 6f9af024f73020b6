// The "Live View Settings" section of the Settings page.
#pragma once

void LiveViewSettingsPage();
void ChannelConfigurationSection();
// Once a frame, after the page: ends a data size edit whose field is no longer drawn.
void FinishDataSizeEdit();
