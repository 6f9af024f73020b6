// The "Live View Settings" section of the Settings page.
#pragma once

void LiveViewSettingsPage();
void ChannelConfigurationSection();
