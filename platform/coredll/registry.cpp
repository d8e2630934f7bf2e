// The phone's registry access rule and its wide-name entry-point lookup.
//
// CE ignores the access argument of RegOpenKeyExW and RegCreateKeyExW; the desktop grants exactly what is
// asked, so an access of 0 gives a handle that can neither query nor set. An access of 0 is therefore
// widened to reading and writing, and to reading alone where the key does not allow writing (a machine-wide
// key for an ordinary user), so that a read still works as it does on the phone.
#include "coredll.h"

#undef RegOpenKeyExW
#undef RegCreateKeyExW

namespace {

const REGSAM kPhoneAccess = KEY_READ | KEY_WRITE;

} // namespace

extern "C" LONG CeRegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    if (access != 0) {
        return RegOpenKeyExW(root, subKey, options, access, result);
    }
    LONG status = RegOpenKeyExW(root, subKey, options, kPhoneAccess, result);
    if (status == ERROR_ACCESS_DENIED) {
        status = RegOpenKeyExW(root, subKey, options, KEY_READ, result);
    }
    return status;
}

extern "C" LONG CeRegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                                  REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                  LPDWORD disposition) {
    if (access != 0) {
        return RegCreateKeyExW(root, subKey, reserved, className, options, access, security, result,
                               disposition);
    }
    LONG status = RegCreateKeyExW(root, subKey, reserved, className, options, kPhoneAccess, security, result,
                                  disposition);
    if (status == ERROR_ACCESS_DENIED) {
        status = RegCreateKeyExW(root, subKey, reserved, className, options, KEY_READ, security, result,
                                 disposition);
    }
    return status;
}

// Entry-point names are ASCII; a name with any other character cannot name an export.
extern "C" FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
    if (IS_INTRESOURCE(procName)) {
        return GetProcAddress(module, reinterpret_cast<LPCSTR>(procName));
    }
    char name[256];
    size_t i = 0;
    for (; procName[i] != L'\0'; ++i) {
        if (procName[i] > 0x7F || i + 1 >= sizeof name) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        name[i] = static_cast<char>(procName[i]);
    }
    name[i] = '\0';
    return GetProcAddress(module, name);
}
