// phone_poll_bench: what polling a phone costs this process, against the phone named by CRATERDIP_PHONE.
//
//   phone_poll_bench source SECONDS   the phone source, read every 100 ms as the game's ticks read it; its
//                                     "off" line (standard error) gives the ages of the samples read
//   phone_poll_bench bare SECONDS     the floor: a bare loop of synchronous WinHTTP requests for the same
//                                     document, ten a second, with nothing else
//
// Prints "measuring" when the timed part begins and "done" when it ends (tools/bench reads the Wine
// server's CPU between the two), then the CPU this process used, as seconds per minute.
#include "phone_source.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <winhttp.h>

#include <string>

namespace {

double CpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const ULONGLONG ticks = (ULONGLONG(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                            (ULONGLONG(user.dwHighDateTime) << 32 | user.dwLowDateTime);
    return ticks / 1e7;
}

// One GET of the document the source asks for, synchronously; the body's size, or -1.
long BareRequest(HINTERNET connection) {
    HINTERNET request = WinHttpOpenRequest(connection, L"GET", L"/get?accX&accY&accZ", nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    long size = -1;
    if (request &&
        WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
        WinHttpReceiveResponse(request, nullptr)) {
        char chunk[4096];
        DWORD read = 0;
        for (size = 0; WinHttpReadData(request, chunk, sizeof chunk, &read) && read > 0;) {
            size += read;
        }
    }
    WinHttpCloseHandle(request);
    return size;
}

// Sleeps until `due`, or not at all when it has passed.
void SleepUntil(ULONGLONG due) {
    const ULONGLONG now = GetTickCount64();
    Sleep(due > now ? static_cast<DWORD>(due - now) : 0);
}

} // namespace

int main(int argc, char** argv) {
    const char* address = getenv("CRATERDIP_PHONE");
    const bool bare = argc > 1 && strcmp(argv[1], "bare") == 0;
    const int seconds = argc > 2 ? atoi(argv[2]) : 30;
    std::wstring host;
    int port = 0;
    std::string problem;
    if (address == nullptr || !phone::ParseAddress(address, &host, &port, &problem) || seconds <= 0) {
        fprintf(stderr, "usage: CRATERDIP_PHONE=HOST:PORT phone_poll_bench source|bare SECONDS\n");
        return 2;
    }
    phone::Source source;
    HINTERNET session = nullptr, connection = nullptr;
    if (bare) {
        session = WinHttpOpen(L"craterDip", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
        WinHttpSetTimeouts(session, phone::kDeadlineMs, phone::kDeadlineMs, phone::kDeadlineMs,
                           phone::kDeadlineMs);
        connection = WinHttpConnect(session, host.c_str(), static_cast<INTERNET_PORT>(port), 0);
    } else if (!source.Start(address, nullptr)) {
        return 1;
    }
    for (int wait = 0; !bare && source.Now().link != kPhoneConnected && wait < 500; ++wait) {
        Sleep(10);
    }
    long failed = 0, made = 0;
    const auto step = [&] {
        if (bare) {
            failed += BareRequest(connection) < 0;
            ++made;
        } else {
            source.Latest();
        }
    };
    ULONGLONG due = GetTickCount64();
    for (int warmUp = 0; warmUp < 10; ++warmUp) { // the connection made, the threads up
        step();
        SleepUntil(due += phone::kPollMs);
    }
    printf("measuring\n");
    fflush(stdout);
    const double before = CpuSeconds();
    for (int tick = 0; tick < seconds * 10; ++tick) {
        step();
        SleepUntil(due += phone::kPollMs);
    }
    const double used = CpuSeconds() - before;
    printf("done\n");
    fflush(stdout);
    if (bare) {
        printf("bare synchronous WinHTTP loop, 10 requests a second: %.2f s per minute (%ld of %ld failed)\n",
               used * 60 / seconds, failed, made);
        WinHttpCloseHandle(connection);
        WinHttpCloseHandle(session);
    } else {
        const phone::Status status = source.Now();
        printf("phone source read 10 times a second: %.2f s per minute (%u samples, %u dropped)\n",
               used * 60 / seconds, status.samples, status.dropped);
        fflush(stdout);
        source.Stop();
    }
    return 0;
}
