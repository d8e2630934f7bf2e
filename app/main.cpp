// The program's entry: the sensor first, then start-up, the message loop, and the sensor's release.
#include "app.h"

#include "sensor/sensor.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
    // Without a sensor the game still starts (its reads give 0 and 0).
    LoadSensorSdk();
    if (!InitInstance(instance, showCommand)) {
        return 0;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) != 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CloseSensor();
    StopSensorNotifications();
    return static_cast<int>(message.wParam); // PostQuitMessage's 0
}
