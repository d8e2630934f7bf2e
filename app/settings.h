// settings.h: the settings store: the installation folder and the user's settings in the registry.
//
// HKEY_LOCAL_MACHINE "Software\Apps\tundraBit craterDip" "InstallDir" names the folder of the asset files;
// HKEY_CURRENT_USER "Software\tundraBit\craterDip" holds "tiltX", "tiltY" and "level" as REG_DWORD values.
// None of the four reports a failure: a missing value leaves its field as it was, a failed save is skipped.
// All run on the user-interface thread.
#pragma once

#include "game.h"

// LoadInstallDir: reads "InstallDir" into g_state.installDir; "\Program Files\craterDip" when the key
// exists but the value is missing, empty or unusable; unchanged when the key does not exist.
// Called by InitInstance, before the pictures are loaded.
void LoadInstallDir();

// LoadSettings: reads "tiltX", "tiltY" and "level" into calibTiltX, calibTiltY and level; each field keeps
// its value when its value is missing or not a 4-byte REG_DWORD. Called by InitInstance before the first
// round.
void LoadSettings();

// SaveCalibration: writes calibTiltX and calibTiltY as "tiltX" and "tiltY", creating the key when missing.
// Called by CalibrateTilt right after it has set the rest position.
void SaveCalibration();

// SaveLevel: writes level as "level", creating the key when missing. Called by the main window's
// WM_DESTROY.
void SaveLevel();
