// The "Data Reception Settings" section of the Settings page: the channel count.
#pragma once

void DataReceptionSettingsPage();
