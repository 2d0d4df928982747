#pragma once

#include "remote/CServerDlg.h"
#include "shell/SettingsStore.h"

namespace tembrel::shell {

// Fills the controller's port and Location fields, the volume, the spectrum
// state and the DSP check mark from the store; returns everything loaded
// (also what belongs to no controller field, such as the web port).
LoadedSettings loadSettings(const SettingsStore& store, remote::CServerDlg& controller);
// The save button: stores port and Locations, then tells the user
// "Settings Saved".
void saveSettings(SettingsStore& store, remote::CServerDlg& controller);
// Every exit: stores volume and spectrum rate, silently.
void saveExitSettings(SettingsStore& store, remote::CServerDlg& controller);

} // namespace tembrel::shell
