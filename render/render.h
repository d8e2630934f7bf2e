// render.h: the back buffer, the sprite pictures, transparent drawing and the composition of each frame.
//
// Everything here runs on the user-interface thread. The pictures and the back buffer live in g_state
// (backBuffer, backgroundBitmap, landerBitmap, flameBitmap, explosionBitmap).
#pragma once

#include "game.h"

// The size of an asset name buffer, terminating zero included.
const int kAssetNameLength = 260;

// LoadGraphics: creates the back buffer (a memory context compatible with the main window's display
// context, holding a bitmap as wide as windowRect.right and as high as windowRect.bottom) and loads the
// pictures from installDir, choosing the small lander sprites when scaleX or scaleY is below 0.8. A missing
// or unreadable picture leaves its field null. Called once by InitInstance, after the menu-bar fit and after
// installDir, scaleX and scaleY are set, with the main window's rectangle after that fit.
void LoadGraphics(RECT windowRect);

// FormAssetName: formats `format` (one %ls, the installation folder) with installDir into name. Returns
// false, leaving an empty name, when the result does not fit in kAssetNameLength units; such a picture is
// treated as missing. Called by LoadGraphics for each picture.
bool FormAssetName(wchar_t (&name)[kAssetNameLength], const wchar_t* format);

// DrawTransparent: draws bitmap with its top-left corner at (x, y) of target; pixels of the bitmap's
// top-left colour are transparent, all others are copied. A null target or bitmap does nothing.
// Called by DrawScene (lander sprites) and DrawStripFrame.
void DrawTransparent(HDC target, HBITMAP bitmap, int x, int y);

// DrawStripFrame: draws frame frameIndex (0 .. frameCount-1) of a strip of frameCount equally wide frames
// side by side, transparently, keyed by the frame's own top-left pixel. A null strip, or one narrower than
// frameCount pixels, draws nothing. Called by DrawScene for the explosion (frameCount 10).
void DrawStripFrame(HDC target, HBITMAP strip, int x, int y, int frameIndex, int frameCount);

// ReleaseSprites: deletes the four pictures (the fields keep their stale values; the back buffer stays).
// Called by the main window's WM_DESTROY handling, after the menu bar is destroyed.
void ReleaseSprites();

// DrawScene: composes the whole frame in the back buffer (background, pad, lander or explosion frame, speed
// and fuel, the score after a round) and copies the client area to the window in one blit. While the round
// is crashed each call advances the explosion by one frame. Called by MainWndProc for WM_PAINT.
void DrawScene(HWND window);
