// aygshell.h: the Windows Mobile shell library (our aygshell.dll), as the game sees it.
//
// SHInitExtraControls, SHCreateMenuBar, SHLoadImageFile and SHIdleTimerReset are linked directly.
// RegistryNotifyWindow and RegistryCloseNotification are exported too, but the game binds them by name at
// run time, exactly as on the phone; their pointer types are given here.
#pragma once

#include "coredll.h"

#ifdef AYGSHELL_BUILD
#define AYGSHELL_API extern "C" __declspec(dllexport)
#else
#define AYGSHELL_API extern "C" __declspec(dllimport)
#endif

// ---- Menu bar
// The request for SHCreateMenuBar. cbSize is sizeof(SHMENUBARINFO) of the build (36 on the 32-bit phone).
typedef struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId; // menu-bar definition: RCDATA and menu template of this id
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB; // out: the menu-bar window
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// Sent to the menu bar: lParam is the command id of a button; the result is the pop-up menu it opens.
#define SHCMBM_GETSUBMENU (WM_USER + 401)

// Values of the menu-bar definition (RCDATA) and of its toolbar buttons.
#define I_IMAGENONE (-2)
#define NOMENU 0xFFFF

// SHInitExtraControls: registers the shell's extra window classes. Called first thing by start-up.
AYGSHELL_API BOOL WINAPI SHInitExtraControls(void);

// SHCreateMenuBar: creates the two-soft-key bar across the bottom of the screen from the RCDATA, string and
// menu resources named in the request; fills hwndMB. Called by the main window's WM_CREATE.
AYGSHELL_API BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info);

// ---- Pictures
// SHLoadImageFile: loads a GIF (or any picture WIC decodes) into a bitmap whose pixels work with the
// colour-to-monochrome BitBlt of transparent drawing; null on any failure. Called by LoadGraphics.
AYGSHELL_API HBITMAP WINAPI SHLoadImageFile(LPCWSTR fileName);

// ---- Idle timer
// SHIdleTimerReset: the shell's idle-timer reset. Called by KeepAwake.
AYGSHELL_API void WINAPI SHIdleTimerReset(void);

// ---- Registry change notifications
DECLARE_HANDLE(HREGNOTIFY);

typedef enum REG_COMPARISONTYPE {
    REG_CT_ANYCHANGE,
    REG_CT_EQUAL,
    REG_CT_NOT_EQUAL,
    REG_CT_GREATER,
    REG_CT_GREATER_OR_EQUAL,
    REG_CT_LESS,
    REG_CT_LESS_OR_EQUAL,
    REG_CT_CONTAINS,
    REG_CT_STARTS_WITH,
    REG_CT_ENDS_WITH
} REG_COMPARISONTYPE;

typedef struct NOTIFICATIONCONDITION {
    REG_COMPARISONTYPE ctComparisonType;
    union {
        DWORD dw;
        LPCWSTR psz;
    } TargetValue;
    DWORD dwMask;
} NOTIFICATIONCONDITION;

// RegistryNotifyWindow: posts `message` to `window`, with `userData` in lParam, whenever the value changes
// (every change when condition is null); the registration's handle goes to *notify.
typedef HRESULT(WINAPI* RegistryNotifyWindowProc)(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HWND window,
                                                  UINT message, DWORD userData,
                                                  NOTIFICATIONCONDITION* condition, HREGNOTIFY* notify);
// RegistryCloseNotification: ends a registration; a null handle is harmless.
typedef HRESULT(WINAPI* RegistryCloseNotificationProc)(HREGNOTIFY notify);
