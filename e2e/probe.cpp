// probe.exe: the end-to-end tests' eyes inside the phone's desktop. It runs beside the game, reads one
// command per line on standard input and answers one line on standard output, so that a test can look at
// windows and at the tilt the sensor library hands out without starting Wine for each question.
//
//   wait CLASS TITLE MS      -> "ok L T R B" when such a visible top-level window exists (else "timeout")
//   gone CLASS TITLE MS      -> "ok" when no such window exists any more
//   count CLASS TITLE        -> "ok N": top-level windows of that class and title
//   client CLASS TITLE       -> "ok X Y W H": the window's client area in screen pixels
//   texts CLASS TITLE        -> "ok text|text|...": the texts of the window's children
//   front                    -> "ok CLASS": the class of the foreground window ("-" for none)
//   input                    -> "ok ...": the foreground thread's input state, for failure messages
//   samples MIN MS           -> "ok N X Y" once N >= MIN samples were handed out; X Y the last one
//   quit
// CLASS or TITLE "-" matches any; "_" in a title stands for a space.
#include "coredll.h"
#include "tilt_shared.h"

#include <stdio.h>
#include <string.h>
#include <string>

namespace {

struct Query {
    std::wstring windowClass;
    std::wstring title;
    bool anyClass;
    bool anyTitle;
    int count;
    HWND first;
    bool visibleOnly;
};

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* p = text; *p; ++p) {
        wide.push_back(*p == '_' ? L' ' : static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    }
    return wide;
}

BOOL CALLBACK Match(HWND window, LPARAM context) {
    Query* query = reinterpret_cast<Query*>(context);
    wchar_t text[256];
    if (!query->anyClass) {
        GetClassNameW(window, text, 256);
        if (query->windowClass != text) {
            return TRUE;
        }
    }
    if (!query->anyTitle) {
        GetWindowTextW(window, text, 256);
        if (query->title != text) {
            return TRUE;
        }
    }
    if (query->visibleOnly && !IsWindowVisible(window)) {
        return TRUE;
    }
    if (query->count++ == 0) {
        query->first = window;
    }
    return TRUE;
}

Query Find(const char* windowClass, const char* title, bool visibleOnly) {
    Query query;
    query.anyClass = strcmp(windowClass, "-") == 0;
    query.anyTitle = strcmp(title, "-") == 0;
    query.windowClass = Widen(windowClass);
    query.title = Widen(title);
    query.count = 0;
    query.first = nullptr;
    query.visibleOnly = visibleOnly;
    EnumWindows(Match, reinterpret_cast<LPARAM>(&query));
    return query;
}

BOOL CALLBACK CollectText(HWND child, LPARAM context) {
    std::wstring* texts = reinterpret_cast<std::wstring*>(context);
    wchar_t text[512];
    if (GetWindowTextW(child, text, 512) > 0) {
        if (!texts->empty()) {
            texts->push_back(L'|');
        }
        texts->append(text);
    }
    return TRUE;
}

void Answer(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Answer(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
    fflush(stdout);
}

const TiltShared* SharedTilt() {
    static const TiltShared* tilt = nullptr;
    if (!tilt) {
        HANDLE mapping;
        tilt = OpenTiltShared(&mapping);
    }
    return tilt;
}

void Run(char* line) {
    char* words[5] = {};
    int count = 0;
    for (char* word = strtok(line, " \t\r\n"); word && count < 5; word = strtok(nullptr, " \t\r\n")) {
        words[count++] = word;
    }
    if (count == 0) {
        return;
    }
    const char* command = words[0];
    if ((strcmp(command, "wait") == 0 || strcmp(command, "gone") == 0) && count == 4) {
        const bool wantGone = command[0] == 'g';
        const DWORD deadline = GetTickCount() + static_cast<DWORD>(atoi(words[3]));
        for (;;) {
            Query query = Find(words[1], words[2], !wantGone);
            if (wantGone && query.count == 0) {
                Answer("ok");
                return;
            }
            if (!wantGone && query.count > 0) {
                RECT r;
                GetWindowRect(query.first, &r);
                Answer("ok %ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
                return;
            }
            if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
                Answer("timeout");
                return;
            }
            Sleep(20);
        }
    }
    if (strcmp(command, "count") == 0 && count == 3) {
        Answer("ok %d", Find(words[1], words[2], false).count);
        return;
    }
    if (strcmp(command, "front") == 0 && count == 1) {
        char name[64] = "-";
        HWND front = GetForegroundWindow();
        if (front) {
            GetClassNameA(front, name, sizeof name);
        }
        Answer("ok %s", name);
        return;
    }
    if (strcmp(command, "input") == 0 && count == 1) {
        HWND front = GetForegroundWindow();
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!front || !GetGUIThreadInfo(GetWindowThreadProcessId(front, nullptr), &info)) {
            Answer("ok no foreground thread");
            return;
        }
        char active[64] = "-", focus[64] = "-", capture[64] = "-";
        GetClassNameA(info.hwndActive, active, sizeof active);
        GetClassNameA(info.hwndFocus, focus, sizeof focus);
        GetClassNameA(info.hwndCapture, capture, sizeof capture);
        Answer("ok active %s focus %s capture %s flags %#lx enabled %d", active, focus, capture,
               static_cast<unsigned long>(info.flags), IsWindowEnabled(front) ? 1 : 0);
        return;
    }
    if (strcmp(command, "client") == 0 && count == 3) {
        Query query = Find(words[1], words[2], true);
        if (!query.count) {
            Answer("none");
            return;
        }
        RECT r;
        GetClientRect(query.first, &r);
        POINT origin = {0, 0};
        ClientToScreen(query.first, &origin);
        Answer("ok %ld %ld %ld %ld", origin.x, origin.y, r.right, r.bottom);
        return;
    }
    if (strcmp(command, "texts") == 0 && count == 3) {
        Query query = Find(words[1], words[2], true);
        if (!query.count) {
            Answer("none");
            return;
        }
        std::wstring texts;
        EnumChildWindows(query.first, CollectText, reinterpret_cast<LPARAM>(&texts));
        std::string narrow;
        for (wchar_t c : texts) {
            narrow.push_back(c < 128 ? static_cast<char>(c) : '?');
        }
        Answer("ok %s", narrow.c_str());
        return;
    }
    if (strcmp(command, "samples") == 0 && count == 3) {
        const LONG wanted = atol(words[1]);
        const DWORD deadline = GetTickCount() + static_cast<DWORD>(atoi(words[2]));
        for (;;) {
            const TiltShared* tilt = SharedTilt();
            int16_t x = 0, y = 0;
            LONG sequence = 0;
            if (tilt && ReadTiltShared(tilt, &x, &y, &sequence) && sequence / 2 >= wanted) {
                Answer("ok %ld %d %d", static_cast<long>(sequence / 2), x, y);
                return;
            }
            if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
                Answer("timeout %ld", tilt ? static_cast<long>(tilt->sequence / 2) : -1L);
                return;
            }
            Sleep(10);
        }
    }
    Answer("error unknown command");
}

} // namespace

int main() {
    char line[512];
    Answer("ready");
    while (fgets(line, sizeof line, stdin)) {
        if (strncmp(line, "quit", 4) == 0) {
            break;
        }
        Run(line);
    }
    return 0;
}
