#include "testsupport.h"

#include <vector>

std::wstring BesideThisProgram(const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

HWND CreateTestWindow(int x, int y, int width, int height, WNDPROC procedure) {
    const std::wstring name = L"craterdipTest" + std::to_wstring(reinterpret_cast<UINT_PTR>(procedure));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc); // fails harmlessly after the first time
    return CreateWindowExW(0, name.c_str(), L"test", WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

std::wstring TempPath(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp + name;
}

void StoreInstallDir(const char* unixFolder) {
    std::wstring folder = L"Z:";
    for (const char* c = unixFolder; *c; ++c) {
        folder += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Apps\\tundraBit craterDip", L"InstallDir", REG_SZ,
                    folder.c_str(), static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

int FreeGdiSlots() {
    std::vector<HGDIOBJ> made;
    for (HGDIOBJ pen; made.size() < 1000000 && (pen = CreatePen(PS_SOLID, 1, 0)) != nullptr;) {
        made.push_back(pen);
    }
    for (HGDIOBJ pen : made) {
        DeleteObject(pen);
    }
    return static_cast<int>(made.size());
}
