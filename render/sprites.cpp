// The back buffer, the pictures and the two sprite-drawing primitives.
#include "render.h"

#include <wchar.h>

namespace {

// Loads one picture when its file exists; a name that does not fit counts as a missing file. The loader's
// null result for an existing but unreadable file is stored as it is.
HBITMAP LoadPicture(const wchar_t* format) {
    wchar_t name[kAssetNameLength];
    if (!FormAssetName(name, format)) {
        return nullptr;
    }
    if (GetFileAttributesW(name) == 0xFFFFFFFF) {
        return nullptr;
    }
    return SHLoadImageFile(name);
}

} // namespace

bool FormAssetName(wchar_t (&name)[kAssetNameLength], const wchar_t* format) {
    // mingw's swprintf returns -1 or the full length when the text is cut; either means "does not fit".
    const int length = swprintf(name, kAssetNameLength, format, g_state.installDir);
    if (length < 0 || length >= kAssetNameLength) {
        name[0] = L'\0';
        return false;
    }
    return true;
}

void LoadGraphics(RECT windowRect) {
    GameState& s = g_state;
    HDC display = GetDC(s.mainWindow);
    s.backBuffer = CreateCompatibleDC(display);

    // "%ls" is the wide folder under both the C99 and the Microsoft reading of the format.
    s.backgroundBitmap = LoadPicture(L"%ls\\back.gif");

    // Both tests widen the single-precision scale and compare with the double 0.8, so a scale that is 0.8
    // in single precision (a little above) is not small.
    const bool small = static_cast<double>(s.scaleX) < 0.8 || static_cast<double>(s.scaleY) < 0.8;
    if (small) {
        s.landerBitmap = LoadPicture(L"%ls\\mlander_small.gif");
        s.flameBitmap = LoadPicture(L"%ls\\mlander_fire_small.gif");
    } else {
        s.landerBitmap = LoadPicture(L"%ls\\mlander.gif");
        s.flameBitmap = LoadPicture(L"%ls\\mlander_fire.gif");
    }
    s.explosionBitmap = LoadPicture(L"%ls\\explosion.gif");

    // The buffer reaches the window's right and bottom edges on the screen, so the client area, whose
    // corner the scene maps to (0, 0), always fits in it.
    HBITMAP buffer = CreateCompatibleBitmap(display, windowRect.right, windowRect.bottom);
    SelectObject(s.backBuffer, buffer);
    ReleaseDC(s.mainWindow, display);
}

void DrawTransparent(HDC target, HBITMAP bitmap, int x, int y) {
    if (target == nullptr || bitmap == nullptr) {
        return;
    }
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    const int w = info.bmWidth;
    const int h = info.bmHeight;

    // The mask's 1 bits become the target's background colour and its 0 bits the text colour in the AND
    // blit: white keeps the target pixel, black clears it for the sprite pixel.
    const COLORREF oldBk = SetBkColor(target, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));

    HDC image = CreateCompatibleDC(nullptr);
    HDC mask = CreateCompatibleDC(nullptr);
    HGDIOBJ oldImage = SelectObject(image, bitmap);
    const COLORREF key = GetPixel(image, 0, 0);

    HBITMAP maskBitmap = CreateBitmap(w, h, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(mask, maskBitmap);

    // Colour to monochrome: pixels equal to the image context's background colour become 1.
    SetBkColor(image, key);
    BitBlt(mask, 0, 0, w, h, image, 0, 0, SRCCOPY);

    // target ^ image, then & mask (sprite pixels cleared, key pixels kept), then ^ image again: key pixels
    // are XORed twice and come back unchanged, sprite pixels end as the image.
    BitBlt(target, x, y, w, h, image, 0, 0, SRCINVERT);
    BitBlt(target, x, y, w, h, mask, 0, 0, SRCAND);
    BitBlt(target, x, y, w, h, image, 0, 0, SRCINVERT);

    SelectObject(image, oldImage);
    SelectObject(mask, oldMask);
    DeleteObject(maskBitmap);
    SetBkColor(target, oldBk);
    SetTextColor(target, oldText);
    DeleteDC(image);
    DeleteDC(mask);
}

void DrawStripFrame(HDC target, HBITMAP strip, int x, int y, int frameIndex, int frameCount) {
    if (strip == nullptr) {
        return;
    }
    BITMAP info = {};
    GetObjectW(strip, sizeof info, &info);
    const int stripWidth = info.bmWidth;
    const int height = info.bmHeight;
    if (stripWidth < frameCount) {
        return;
    }
    const int frameWidth = stripWidth / frameCount;

    HDC screen = GetDC(nullptr);
    HDC stripDc = CreateCompatibleDC(screen);
    HDC frameDc = CreateCompatibleDC(screen);
    HGDIOBJ oldStrip = SelectObject(stripDc, strip);
    // The frame bitmap takes the strip's own colour format (the strip is selected first). Made compatible
    // with the screen's display context instead, it costs 0.2 to 0.7 ms per frame under Wine, which reads
    // the display settings anew for every bitmap made for a display context; the pixels are the same.
    HBITMAP frame = CreateCompatibleBitmap(stripDc, frameWidth, height);
    HGDIOBJ oldFrame = SelectObject(frameDc, frame);
    BitBlt(frameDc, 0, 0, frameWidth, height, stripDc, frameIndex * frameWidth, 0, SRCCOPY);

    // DrawTransparent selects the frame into a context of its own, so it must be free of this one.
    SelectObject(frameDc, oldFrame);
    SelectObject(stripDc, oldStrip);
    DeleteDC(frameDc);
    DeleteDC(stripDc);
    ReleaseDC(nullptr, screen);

    DrawTransparent(target, frame, x, y);
    DeleteObject(frame);
}

void ReleaseSprites() {
    GameState& s = g_state;
    DeleteObject(s.backgroundBitmap);
    DeleteObject(s.landerBitmap);
    DeleteObject(s.flameBitmap);
    DeleteObject(s.explosionBitmap);
}
