// DrawScene: one complete frame of the game, composed off-screen and copied to the window in one blit.
#include "render.h"

#include "arithmetic.h"

#include <wchar.h>

namespace {

const COLORREF kPadColour = RGB(0, 0, 156);
const COLORREF kStatusColour = RGB(255, 255, 255);
const COLORREF kScoreColour = RGB(255, 0, 0);
const UINT kTextFlags = DT_SINGLELINE | DT_NOPREFIX;
const int kExplosionFrames = 10;

// c times a scale factor: the single-precision factor widened to double, the product truncated.
int Scaled(double c, float scale) {
    return Trunc(c * static_cast<double>(scale));
}

// The few products the layout forms in single precision; on a 368-pixel-high screen they differ from the
// double ones (200 times the scale 0.575 gives 115 here, 114 in double precision).
int ScaledSingle(float c, float scale) {
    return Trunc(c * scale);
}

// The picture stretched over the whole client area, or a plain white rectangle (a new memory context's
// white brush, its black outline outside the client area).
void DrawBackground(HDC buffer, int width, int height) {
    GameState& s = g_state;
    if (s.backgroundBitmap != nullptr) {
        HDC picture = CreateCompatibleDC(buffer);
        HGDIOBJ old = SelectObject(picture, s.backgroundBitmap);
        BITMAP info = {};
        GetObjectW(s.backgroundBitmap, sizeof info, &info);
        StretchBlt(buffer, 0, 0, width, height, picture, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(picture, old);
        DeleteDC(picture);
    } else {
        Rectangle(buffer, -10, -10, Scaled(490.0, s.scaleX), Scaled(650.0, s.scaleY));
    }
}

void DrawPad(HDC buffer) {
    GameState& s = g_state;
    const int width = Trunc(4.0 * static_cast<double>(s.scaleY) + 1.0);
    const int y = Scaled(515.0, s.scaleY);
    HPEN pen = CreatePen(PS_SOLID, width, kPadColour);
    HGDIOBJ old = SelectObject(buffer, pen);
    const POINT line[2] = {{s.padLeft, y}, {s.padRight, y}};
    Polyline(buffer, line, 2);
    SelectObject(buffer, old);
    DeleteObject(pen);
}

// The explosion frame, the lander sprite, or the fallback disc.
void DrawLander(HDC buffer) {
    GameState& s = g_state;
    const int left = s.landerX - Scaled(25.0, s.scaleX);
    const int top = Scaled(475.0, s.scaleY) - s.altitude;
    if (s.crashed) {
        // Counts on below zero on every paint of a crashed round; the timer stops once it is below 1.
        const int n = s.explosionFramesLeft;
        s.explosionFramesLeft = WrapAdd(n, -1);
        if (n > 0) {
            DrawStripFrame(buffer, s.explosionBitmap, left, top, kExplosionFrames - n, kExplosionFrames);
        }
    } else if (s.landerBitmap != nullptr) {
        // The sprites of a shrunken screen sit 5 pixels higher; the explosion does not.
        const int lift = s.scaleY < 1.0f ? 5 : 0;
        DrawTransparent(buffer, s.thrusting ? s.flameBitmap : s.landerBitmap, left, top - lift);
    } else {
        Ellipse(buffer, s.landerX - 10, Scaled(490.0, s.scaleY) - s.altitude, s.landerX + 10,
                Scaled(510.0, s.scaleY) - s.altitude);
    }
}

void DrawStatus(HDC buffer) {
    GameState& s = g_state;
    wchar_t text[32];
    SetBkMode(buffer, TRANSPARENT);
    SetTextColor(buffer, kStatusColour);
    RECT status = {Scaled(310.0, s.scaleX), 20, Scaled(480.0, s.scaleX), ScaledSingle(200.0f, s.scaleY)};
    swprintf(text, 32, L"Speed: %d", Trunc(s.speed));
    status.top += DrawTextW(buffer, text, -1, &status, kTextFlags);
    swprintf(text, 32, L"Fuel:  %d", s.fuel);
    DrawTextW(buffer, text, -1, &status, kTextFlags);

    if (s.roundOver && s.score != 0) {
        SetTextColor(buffer, kScoreColour);
        RECT score = {Scaled(170.0, s.scaleX), Scaled(300.0, s.scaleY), Scaled(480.0, s.scaleX),
                      ScaledSingle(400.0f, s.scaleY)};
        swprintf(text, 32, L"Score:  %d", s.score);
        DrawTextW(buffer, text, -1, &score, kTextFlags);
    }
}

} // namespace

void DrawScene(HWND window) {
    GameState& s = g_state;
    RECT client = {};
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;

    HDC buffer = s.backBuffer;
    DrawBackground(buffer, width, height);
    DrawPad(buffer);
    DrawLander(buffer);
    DrawStatus(buffer);

    PAINTSTRUCT paint;
    HDC screen = BeginPaint(window, &paint);
    BitBlt(screen, 0, 0, width, height, buffer, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
}
