// The settings store: the install folder (read only) and the user's three settings.
#include "settings.h"

#include <string.h>
#include <wchar.h>

namespace {

const wchar_t kInstallKey[] = L"Software\\Apps\\tundraBit craterDip";
const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
const wchar_t kDefaultInstallDir[] = L"\\Program Files\\craterDip";

// Reads a 4-byte REG_DWORD into *field. A value of any other type or size counts as missing, so the field
// keeps what it held rather than taking partial or foreign bytes.
void QueryDword(HKEY key, const wchar_t* name, int* field) {
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof data) {
        *field = static_cast<int>(data);
    }
}

// Opens or creates the settings key, writes each (name, field) pair as a REG_DWORD, flushes and closes.
// When the key can be neither opened nor created, nothing is written.
void SaveDwords(const wchar_t* const* names, const int* const* fields, int count) {
    wchar_t noClass[] = L"";
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, noClass, 0, 0, nullptr, &key, &disposition) !=
        ERROR_SUCCESS) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        DWORD data = static_cast<DWORD>(*fields[i]);
        RegSetValueExW(key, names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    }
    RegFlushKey(key);
    RegCloseKey(key);
}

} // namespace

void LoadInstallDir() {
    wchar_t buffer[kInstallDirLength];
    memset(buffer, 0, sizeof buffer);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallKey, 0, 0, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer;
    LONG status =
        RegQueryValueExW(key, L"InstallDir", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);

    // Only a string that fits the buffer with room for its terminating zero is used; a longer one
    // (ERROR_MORE_DATA, or exactly 260 units with no zero) or a value of another type is treated as
    // missing, so it never runs past the buffer nor is taken cut short.
    bool usable = status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
                  wmemchr(buffer, L'\0', kInstallDirLength) != nullptr;
    if (usable && buffer[0] != L'\0') {
        wcscpy(g_state.installDir, buffer);
    } else {
        wcscpy(g_state.installDir, kDefaultInstallDir);
    }
}

void LoadSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key) != ERROR_SUCCESS) {
        return;
    }
    QueryDword(key, L"tiltX", &g_state.calibTiltX);
    QueryDword(key, L"tiltY", &g_state.calibTiltY);
    QueryDword(key, L"level", &g_state.level);
    RegCloseKey(key);
}

void SaveCalibration() {
    const wchar_t* const names[] = {L"tiltX", L"tiltY"};
    const int* const fields[] = {&g_state.calibTiltX, &g_state.calibTiltY};
    SaveDwords(names, fields, 2);
}

void SaveLevel() {
    const wchar_t* const names[] = {L"level"};
    const int* const fields[] = {&g_state.level};
    SaveDwords(names, fields, 1);
}
