// Shared pieces of the presentation tests: the picture folders, a real window per screen size, a 32-bpp
// drawing target, pixel reading and PNG output.
#pragma once

#include "render.h"
#include "testsupport.h"

#include <string>
#include <vector>

// <program folder>\render_test_data (test pictures) and <program folder>\render_assets (the game's).
std::wstring TestDataFile(const wchar_t* name);
std::wstring AssetFolder();

// A fresh, empty folder under the temporary folder; `files` are (source path, name in folder) pairs.
using FileList = std::vector<std::pair<std::wstring, std::wstring>>;
std::wstring MakeFolder(const std::wstring& name, const FileList& files = {});

// The test pictures under the game's file names; `large` and `small` add those lander sets.
FileList GameFiles(bool large, bool small, bool background = true);

// A visible pop-up window of the given client size at (x, y), answering WM_ERASEBKGND without drawing.
HWND CreateSceneWindow(int x, int y, int width, int height);

// Resets g_state to its start-up values for a screen of the given size, with `window` as the main window.
// The scales are what start-up computes: the size times the double nearest to 1/design, rounded to float.
void ResetState(HWND window, int width, int height);

// Ends the back buffer LoadGraphics made (it normally lasts until the program ends) and the pictures.
void ReleaseAll();

// A memory context holding a top-down 32-bpp DIB section filled with `fill`.
struct Canvas {
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    COLORREF At(int x, int y) const; // as GetPixel reports it
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    int width, height;
};

// The colour of every pixel of a bitmap, rows top to bottom, as COLORREF values; also the raw 32-bit
// words (to see the unused byte).
std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, std::vector<DWORD>* raw = nullptr);
SIZE BitmapSize(HBITMAP bitmap);

// Writes the back buffer's client area (width x height) as <program folder>\render_renderings\<name>.png.
bool SaveRendering(const wchar_t* name, int width, int height);
