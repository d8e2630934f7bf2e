// sensorsvc.exe: the sensor service on its own, for tests. Runs until the named event
// "craterDipSensorServiceStop" is signalled or the console is interrupted; exits 1 if the service
// cannot start.
#include "coredll.h"
#include "sensorsvc.h"

namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleSignal(DWORD) {
    SetEvent(g_stop);
    return TRUE;
}

} // namespace

int main() {
    g_stop = CreateEventW(nullptr, TRUE, FALSE, L"craterDipSensorServiceStop");
    if (g_stop == nullptr || !StartSensorService()) {
        return 1;
    }
    SetConsoleCtrlHandler(OnConsoleSignal, TRUE);
    WaitForSingleObject(g_stop, INFINITE);
    StopSensorService();
    CloseHandle(g_stop);
    return 0;
}
