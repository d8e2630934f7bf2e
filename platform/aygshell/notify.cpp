// Registry change notifications of the shell library: RegistryNotifyWindow and RegistryCloseNotification.
//
// Each registration owns a worker thread that waits on RegNotifyChangeKeyValue for its key. The key reports
// every change of any of its values, so the worker compares the watched value's type and data with what it
// saw before and posts the window's message only when that value itself changed (and the condition, if
// any, holds for the new value).
#include "aygshell.h"

#include <string.h>
#include <wchar.h>

#include <initializer_list>
#include <new>
#include <string>
#include <vector>

namespace {

// A value as last seen: absent, or its type and bytes.
struct ValueSnapshot {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    bool operator==(const ValueSnapshot& other) const {
        return present == other.present && type == other.type && data == other.data;
    }
};

struct Registration {
    HKEY key = nullptr;
    std::wstring valueName;
    HWND window = nullptr;
    UINT message = 0;
    DWORD userData = 0;
    bool hasCondition = false;
    NOTIFICATIONCONDITION condition = {};
    std::wstring conditionText; // own copy of condition.TargetValue.psz
    HANDLE changed = nullptr;   // signalled by the registry
    HANDLE stop = nullptr;      // signalled by RegistryCloseNotification
    HANDLE ready = nullptr;     // signalled once the worker watches the key
    HANDLE thread = nullptr;
    bool watching = false; // set by the worker before `ready`
    ValueSnapshot last;
};

ValueSnapshot ReadValue(HKEY key, const std::wstring& name) {
    ValueSnapshot value;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        value.data.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        if (status == ERROR_SUCCESS) {
            value.data.resize(size);
            value.present = true;
            break;
        }
    }
    return value;
}

int CompareText(const std::wstring& value, const std::wstring& target) {
    return _wcsicmp(value.c_str(), target.c_str());
}

// The string held by a REG_SZ-like value, up to its first zero.
std::wstring TextOf(const ValueSnapshot& value) {
    std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
    memcpy(&text[0], value.data.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

// Whether the new value satisfies the registration's condition. DWORD values are masked with dwMask and
// compared as unsigned numbers; strings are compared without regard to case.
bool ConditionHolds(const Registration& r, const ValueSnapshot& value) {
    if (!r.hasCondition || r.condition.ctComparisonType == REG_CT_ANYCHANGE) {
        return true;
    }
    if (!value.present) {
        return false;
    }
    int order = 0;
    std::wstring text;
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number;
        memcpy(&number, value.data.data(), sizeof number);
        number &= r.condition.dwMask;
        order = number < r.condition.TargetValue.dw ? -1 : number > r.condition.TargetValue.dw ? 1 : 0;
    } else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        text = TextOf(value);
        order = CompareText(text, r.conditionText);
    } else {
        return false;
    }
    auto lower = [](std::wstring s) {
        for (wchar_t& c : s) {
            c = towlower(c);
        }
        return s;
    };
    switch (r.condition.ctComparisonType) {
    case REG_CT_EQUAL:
        return order == 0;
    case REG_CT_NOT_EQUAL:
        return order != 0;
    case REG_CT_GREATER:
        return order > 0;
    case REG_CT_GREATER_OR_EQUAL:
        return order >= 0;
    case REG_CT_LESS:
        return order < 0;
    case REG_CT_LESS_OR_EQUAL:
        return order <= 0;
    case REG_CT_CONTAINS:
        return value.type != REG_DWORD && lower(text).find(lower(r.conditionText)) != std::wstring::npos;
    case REG_CT_STARTS_WITH:
        return value.type != REG_DWORD &&
               lower(text).compare(0, r.conditionText.size(), lower(r.conditionText)) == 0;
    case REG_CT_ENDS_WITH:
        return value.type != REG_DWORD && text.size() >= r.conditionText.size() &&
               lower(text).compare(text.size() - r.conditionText.size(), r.conditionText.size(),
                                   lower(r.conditionText)) == 0;
    default:
        return false;
    }
}

bool Watch(Registration* r) {
    return RegNotifyChangeKeyValue(r->key, FALSE, REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME,
                                   r->changed, TRUE) == ERROR_SUCCESS;
}

// The worker: the watch is renewed before each read, so a change made while the value is being read is
// reported by the next wake rather than lost.
DWORD WINAPI WatchKey(void* parameter) {
    Registration* r = static_cast<Registration*>(parameter);
    r->watching = Watch(r);
    r->last = ReadValue(r->key, r->valueName);
    SetEvent(r->ready);
    if (!r->watching) {
        return 1;
    }
    HANDLE waits[] = {r->stop, r->changed};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        if (!Watch(r)) {
            return 1;
        }
        ValueSnapshot now = ReadValue(r->key, r->valueName);
        if (!(now == r->last)) {
            r->last = now;
            if (ConditionHolds(*r, now)) {
                PostMessageW(r->window, r->message, 0, static_cast<LPARAM>(r->userData));
            }
        }
    }
    return 0;
}

void Free(Registration* r) {
    if (r->thread != nullptr) {
        SetEvent(r->stop);
        WaitForSingleObject(r->thread, INFINITE);
        CloseHandle(r->thread);
    }
    for (HANDLE h : {r->changed, r->stop, r->ready}) {
        if (h != nullptr) {
            CloseHandle(h);
        }
    }
    if (r->key != nullptr) {
        RegCloseKey(r->key);
    }
    delete r;
}

} // namespace

AYGSHELL_API HRESULT WINAPI RegistryNotifyWindow(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HWND window,
                                                 UINT message, DWORD userData,
                                                 NOTIFICATIONCONDITION* condition, HREGNOTIFY* notify) {
    if (notify == nullptr || window == nullptr || root == nullptr) {
        return E_INVALIDARG;
    }
    *notify = nullptr;
    Registration* r = new (std::nothrow) Registration;
    if (r == nullptr) {
        return E_OUTOFMEMORY;
    }
    // The key is created when missing, so a value that a service writes later is still seen.
    const REGSAM access = KEY_NOTIFY | KEY_QUERY_VALUE;
    LONG status = RegOpenKeyExW(root, subKey, 0, access, &r->key);
    if (status == ERROR_FILE_NOT_FOUND) {
        status = RegCreateKeyExW(root, subKey, 0, nullptr, 0, access, nullptr, &r->key, nullptr);
    }
    if (status != ERROR_SUCCESS) {
        r->key = nullptr;
        Free(r);
        return HRESULT_FROM_WIN32(status);
    }
    r->valueName = valueName != nullptr ? valueName : L"";
    r->window = window;
    r->message = message;
    r->userData = userData;
    if (condition != nullptr) {
        r->hasCondition = true;
        r->condition = *condition;
        bool textual = condition->ctComparisonType != REG_CT_ANYCHANGE && condition->dwMask == 0;
        if (textual && condition->TargetValue.psz != nullptr) {
            r->conditionText = condition->TargetValue.psz;
        }
    }
    r->changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    r->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    r->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (r->changed == nullptr || r->stop == nullptr || r->ready == nullptr) {
        Free(r);
        return HRESULT_FROM_WIN32(GetLastError());
    }
    r->thread = CreateThread(nullptr, 0, WatchKey, r, 0, nullptr);
    if (r->thread == nullptr) {
        DWORD error = GetLastError();
        Free(r);
        return HRESULT_FROM_WIN32(error);
    }
    HANDLE waits[] = {r->ready, r->thread};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 || !r->watching) {
        Free(r);
        return E_FAIL;
    }
    *notify = reinterpret_cast<HREGNOTIFY>(r);
    return S_OK;
}

AYGSHELL_API HRESULT WINAPI RegistryCloseNotification(HREGNOTIFY notify) {
    if (notify == nullptr) {
        return S_OK;
    }
    Free(reinterpret_cast<Registration*>(notify));
    return S_OK;
}
