// The presentation: the picture loader, transparent drawing, strip frames, LoadGraphics and DrawScene, with
// pictures that came through the loader from real GIF files, probed pixel by pixel.
#include "render.h"
#include "testsupport.h"

#include "data/test_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlack = 0;

std::wstring TestDataFile(const wchar_t* name) {
    return BesideThisProgram(L"render_test_data\\") + name;
}

// <temporary folder>\craterdip_render, holding the test pictures under the game's file names.
std::wstring GameFolder() {
    const std::wstring folder = TempPath(L"craterdip_render");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::pair<const wchar_t*, const wchar_t*> files[] = {
        {L"back.gif", L"quadrants.gif"},
        {L"mlander.gif", L"lander.gif"},
        {L"mlander_fire.gif", L"lander_fire.gif"},
        {L"mlander_small.gif", L"lander_small.gif"},
        {L"mlander_fire_small.gif", L"lander_fire_small.gif"},
        {L"explosion.gif", L"boom.gif"}};
    for (const auto& [game, test] : files) {
        CopyFileW(TestDataFile(test).c_str(), (folder + L"\\" + game).c_str(), FALSE);
    }
    return folder;
}

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

std::pair<int, int> SizeOf(HGDIOBJ bitmap) {
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

// Every pixel, rows top to bottom, as COLORREF with the unused byte kept.
std::vector<COLORREF> Pixels(HGDIOBJ bitmap) {
    const auto [width, height] = SizeOf(bitmap);
    std::vector<COLORREF> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO info = TopDown32(width, height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, static_cast<HBITMAP>(bitmap), 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (COLORREF& p : pixels) {
        p = (p & 0xFF00FF00) | (p >> 16 & 0xFF) | (p & 0xFF) << 16;
    }
    return pixels;
}

std::vector<bool> Mask(HGDIOBJ bitmap, COLORREF colour) {
    std::vector<bool> mask;
    for (COLORREF p : Pixels(bitmap)) {
        mask.push_back((p & 0xFFFFFF) == colour);
    }
    return mask;
}

// A memory context holding a black top-down 32-bpp DIB section.
struct Canvas {
    Canvas(int width, int height) {
        const BITMAPINFO info = TopDown32(width, height);
        SelectObject(dc, bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    }
    ~Canvas() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    void* bits;
};

TEST(SHLoadImageFile, NoNameNoPictureAndTheCallersComLeftAlone) {
    EXPECT_EQ(nullptr, SHLoadImageFile(nullptr));
    EXPECT_EQ(nullptr, SHLoadImageFile(L""));
    // The caller's thread is already in the multithreaded apartment: the loader must neither fail nor end it.
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    HBITMAP picture = SHLoadImageFile(TestDataFile(L"key_red.gif").c_str());
    EXPECT_NE(nullptr, picture);
    DeleteObject(picture);
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED)) << "COM ended under the caller";
    CoUninitialize();
    CoUninitialize();
}

// Runs `draw` on a 30 x 20 canvas in which every pixel differs, then compares it with the picture `sprite`
// (w x h, rows `stride` apart) at `at`, whose pixels of its top-left colour leave the canvas as it was.
void ExpectDrawn(const std::function<void(HDC)>& draw, const COLORREF* sprite, int stride, int w, int h,
                 POINT at) {
    Canvas canvas(30, 20);
    std::vector<COLORREF> expected;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            SetPixel(canvas.dc, x, y, RGB(x * 7 + 3, y * 11 + 5, 77));
            const bool inside = x >= at.x && x < at.x + w && y >= at.y && y < at.y + h;
            const COLORREF* s = inside ? &sprite[(y - at.y) * stride + x - at.x] : nullptr;
            expected.push_back(s != nullptr && *s != sprite[0] ? *s : RGB(x * 7 + 3, y * 11 + 5, 77));
        }
    }
    draw(canvas.dc);
    EXPECT_EQ(expected, Pixels(canvas.bitmap)) << "drawn at " << at.x << "," << at.y;
}

TEST(DrawTransparent, KeyIsExactAndTransparentWhereverItStandsAndClipsAtEveryEdge) {
    // The expected pixels are the encoded ones, so this also holds the loader to the exact colours with the
    // unused byte clear (a set byte would keep any pixel from matching the key).
    HBITMAP sprite = SHLoadImageFile(TestDataFile(L"key_red.gif").c_str());
    // Inside, across each edge, a corner pixel only, and wholly outside.
    const POINT positions[] = {{0, 0},   {7, 5},    {-5, -3}, {20, 14}, {-15, 2}, {3, -9},
                               {29, 19}, {-15, -9}, {30, 0},  {0, 20},  {-16, 0}, {0, -10}};
    for (const POINT& p : positions) {
        ExpectDrawn([&](HDC dc) { DrawTransparent(dc, sprite, p.x, p.y); }, kKeyRed, kKeyRedWidth,
                    kKeyRedWidth, kKeyRedHeight, p);
    }
    DeleteObject(sprite);
}

TEST(DrawStripFrame, FramesAreEquallyWideAndEachKeyedByItsOwnCorner) {
    HBITMAP strip = SHLoadImageFile(TestDataFile(L"strip95.gif").c_str());
    const std::vector<COLORREF> pixels = Pixels(strip);
    ASSERT_EQ(95u * 6, pixels.size());
    // Frame index, frame count, the frame's first column and its width; columns 90 to 94 are never shown.
    const int cases[][4] = {{0, 10, 0, 9}, {3, 10, 27, 9}, {9, 10, 81, 9}, {2, 5, 38, 19}, {0, 1, 0, 95}};
    for (const auto& [index, count, firstColumn, frameWidth] : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << index << " of " << count);
        ExpectDrawn([&](HDC dc) { DrawStripFrame(dc, strip, 2, 1, index, count); }, &pixels[firstColumn], 95,
                    frameWidth, 6, {2, 1});
    }
    DeleteObject(strip);
}

TEST(FormAssetName, FolderBackslashNameOrNothingWhenItDoesNotFit) {
    // 236 + 23 units and the terminating zero fit; one more does not.
    for (const auto& [length, fits] : {std::pair(236, true), std::pair(237, false)}) {
        const std::wstring folder(length, L'f');
        folder.copy(g_state.installDir, length);
        g_state.installDir[length] = L'\0';
        struct {
            wchar_t name[kAssetNameLength];
            wchar_t guard[16];
        } buffer;
        wmemset(buffer.guard, L'g', 16);
        EXPECT_EQ(fits, FormAssetName(buffer.name, L"%ls\\mlander_fire_small.gif")) << length;
        EXPECT_EQ(fits ? folder + L"\\mlander_fire_small.gif" : L"",
                  std::wstring(buffer.name, wcsnlen(buffer.name, kAssetNameLength)));
        EXPECT_EQ(std::wstring(16, L'g'), std::wstring(buffer.guard, 16)) << "written past the name";
    }
}

// LoadGraphics from `folder` for a screen of width x height whose window has `rect` (the screen at (0, 0)
// unless given), then a round in flight, away from the text and the pad.
struct Game {
    Game(const std::wstring& folder, int w, int h, RECT rect = {}) {
        rect = IsRectEmpty(&rect) ? RECT{0, 0, w, h} : rect;
        window = CreateTestWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        g_state = GameState();
        g_state.mainWindow = window;
        // As start-up computes them: the size times the double nearest to 1/design, rounded to float.
        g_state.scaleX = static_cast<float>(w * (1.0 / 480));
        g_state.scaleY = static_cast<float>(h * (1.0 / 640));
        folder.copy(g_state.installDir, kInstallDirLength - 1);
        GetWindowRect(window, &rect);
        LoadGraphics(rect);
        std::tie(g_state.landerX, g_state.altitude, g_state.padLeft, g_state.padRight) =
            std::make_tuple(w / 2, 60, w / 10, w / 3);
    }
    ~Game() {
        ReleaseSprites();
        HGDIOBJ buffer = Buffer();
        DeleteDC(g_state.backBuffer);
        DeleteObject(buffer);
        DestroyWindow(window);
    }
    static HGDIOBJ Buffer() { return GetCurrentObject(g_state.backBuffer, OBJ_BITMAP); }
    COLORREF At(int x, int y) const { return GetPixel(g_state.backBuffer, x, y); }
    void Draw() const { DrawScene(window); }

    // Which pixels of the buffer `lines` in `colour` would cover, drawn by the platform into `rect`.
    static std::vector<bool> TextMask(RECT rect, std::vector<const wchar_t*> lines, COLORREF colour) {
        Canvas canvas(SizeOf(Buffer()).first, SizeOf(Buffer()).second);
        SetBkMode(canvas.dc, TRANSPARENT);
        SetTextColor(canvas.dc, colour);
        for (const wchar_t* line : lines) {
            rect.top += line ? DrawTextW(canvas.dc, line, -1, &rect, DT_SINGLELINE | DT_NOPREFIX) : 0;
        }
        return Mask(canvas.bitmap, colour);
    }

    // Exactly the pixels of a w x h picture of `colour` but its top-left (key) pixel have `colour`, in that
    // picture's rectangle at (left, top) and one pixel around it.
    void ExpectSprite(int left, int top, int w, int h, COLORREF colour) const {
        for (int y = top - 1; y <= top + h; ++y) {
            for (int x = left - 1; x <= left + w; ++x) {
                const bool inside =
                    x >= left && x < left + w && y >= top && y < top + h && (x > left || y > top);
                ASSERT_EQ(inside, At(x, y) == colour)
                    << x << "," << y << " of a sprite at " << left << "," << top;
            }
        }
    }

    HWND window;
};

TEST(LoadGraphics, SpritesForTheScreenAndABufferToTheWindowsEdges) {
    const std::wstring all = GameFolder();
    const struct {
        std::wstring folder;
        int width, height;
        std::array<int, 4> heights; // of the lander, flame, background and explosion pictures; 0: none
        RECT window;                // the screen at (0, 0) when empty
    } cases[] = {
        {all, 480, 640, {40, 62, 64, 20}, {}},
        {all, 384, 512, {40, 62, 64, 20}, {}}, // both scales 0.8 in single precision: above the double 0.8
        {all, 383, 640, {25, 38, 64, 20}, {}}, // scaleX alone below 0.8
        {all, 800, 480, {25, 38, 64, 20}, {}}, // scaleY alone below 0.8
        // Without a background, white to 490 x 650 scaled (816 x 487), the outline outside the client area.
        {L"C:\\no such folder", 800, 480, {0, 0, 0, 0}, {10, 20, 810, 500}},
    };
    const auto height = [](HBITMAP picture) { return SizeOf(picture).second; };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.folder << " " << c.width << "x" << c.height);
        Game game(c.folder, c.width, c.height, c.window);
        EXPECT_EQ(c.heights,
                  (std::array<int, 4>{height(g_state.landerBitmap), height(g_state.flameBitmap),
                                      height(g_state.backgroundBitmap), height(g_state.explosionBitmap)}));
        const RECT window = IsRectEmpty(&c.window) ? RECT{0, 0, c.width, c.height} : c.window;
        EXPECT_EQ((std::pair<int, int>(window.right, window.bottom)), SizeOf(Game::Buffer()));
        game.Draw();
        EXPECT_EQ(c.heights[2] == 0, game.At(0, 0) == kWhite && game.At(c.width - 1, c.height - 1) == kWhite);
    }
}

// The layout of one screen, by hand, with sx = width/480 and sy = height/640 in single precision:
// leftOffset trunc(25 sx), spriteTop trunc(475 sy) and 5 less when sy < 1 (at altitude 0), explosionTop
// trunc(475 sy), the ellipse from trunc(490 sy) to trunc(510 sy), and the text rectangles.
struct Screen {
    int width, height, leftOffset, spriteTop, explosionTop, ellipseTop, ellipseBottom;
    RECT status, score;
};

const Screen kScreens[] = {
    {480, 640, 25, 475, 475, 490, 510, {310, 20, 480, 200}, {170, 300, 480, 400}},
    {240, 320, 12, 232, 237, 245, 255, {155, 20, 240, 100}, {85, 150, 240, 200}},
    // sy 1.25: 593.75, 612.5, 637.5; no lift
    {480, 800, 25, 593, 593, 612, 637, {310, 20, 480, 250}, {170, 375, 480, 500}},
    // sx 1.6666666 (float): 41.67, 516.67, 799.99998 (double), 283.3; sy 0.75: 356.25 - 5
    {800, 480, 41, 351, 356, 367, 382, {516, 20, 799, 150}, {283, 225, 799, 300}},
};

TEST(DrawScene, LayoutFallbacksTextAndExplosionOnEachScreen) {
    const struct {
        double speed;
        int fuel, roundOver, score;
        const wchar_t *speedLine, *fuelLine, *scoreLine; // null: no score line
    } texts[] = {
        {50.0, -3, 1, 0, L"Speed: 50", L"Fuel:  -3", nullptr}, // round over, score 0: no line
        {7.99, 12, 1, 555, L"Speed: 7", L"Fuel:  12", L"Score:  555"},
        {-2.5, 0, 1, -50, L"Speed: -2", L"Fuel:  0", L"Score:  -50"},
        {1e12, 2147483647, 1, -2147483647 - 1, L"Speed: 2147483647", L"Fuel:  2147483647",
         L"Score:  -2147483648"},
    };
    for (const Screen& s : kScreens) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        Game game(GameFolder(), s.width, s.height);
        game.Draw();
        // The background stretched over the client area: one probe per quadrant.
        for (int q = 0; q < 4; ++q) {
            EXPECT_EQ(kQuadrantColours[q],
                      game.At(q % 2 ? s.width - 5 : 5, q / 2 ? s.height - 5 : s.height / 2 - 5));
        }

        // Speed and fuel in white in their rectangle, the score in red in its own.
        for (const auto& t : texts) {
            SCOPED_TRACE(testing::Message() << t.speed << " " << t.fuel << " " << t.score);
            std::tie(g_state.speed, g_state.fuel, g_state.roundOver, g_state.score) =
                std::tie(t.speed, t.fuel, t.roundOver, t.score);
            game.Draw();
            EXPECT_EQ(game.TextMask(s.status, {t.speedLine, t.fuelLine}, kWhite),
                      Mask(Game::Buffer(), kWhite));
            EXPECT_EQ(game.TextMask(s.score, {t.scoreLine}, kRed), Mask(Game::Buffer(), kRed));
        }

        // The lander; while thrusting without a flame picture, nothing at all.
        g_state.roundOver = 0;
        const int left = g_state.landerX - s.leftOffset, x = g_state.landerX;
        const auto [landerWidth, landerHeight] = SizeOf(g_state.landerBitmap);
        const COLORREF landerColour = Pixels(g_state.landerBitmap).at(1);
        game.ExpectSprite(left, s.spriteTop - 60, landerWidth, landerHeight, landerColour);
        g_state.thrusting = 1;
        DeleteObject(std::exchange(g_state.flameBitmap, nullptr));
        game.Draw();
        const std::vector<COLORREF> frame = Pixels(Game::Buffer());
        EXPECT_EQ(0, std::count(frame.begin(), frame.end(), landerColour))
            << "the lander drawn for the flame";
        EXPECT_EQ(0, std::count(frame.begin(), frame.end(), kBlack)) << "the disc drawn for the flame";

        // Crashed: frames 0 to 9 of the explosion, not lifted, then nothing while the counter keeps falling.
        const std::vector<COLORREF> boom = Pixels(g_state.explosionBitmap);
        std::tie(g_state.thrusting, g_state.crashed, g_state.explosionFramesLeft, g_state.altitude) =
            std::make_tuple(0, 1, 10, 30);
        const int boomTop = s.explosionTop - 30;
        for (int paint = 1; paint <= 13; ++paint) {
            SCOPED_TRACE(testing::Message() << "paint " << paint);
            game.Draw();
            EXPECT_EQ(10 - paint, g_state.explosionFramesLeft);
            if (paint <= 10) {
                game.ExpectSprite(left, boomTop, 10, 20, boom[(paint - 1) * 10 + 1]);
            } else {
                EXPECT_EQ(kQuadrantColours[2], game.At(left + 1, boomTop + 1)) << "neither frame nor lander";
            }
        }
        // No explosion picture: the counter still falls.
        DeleteObject(std::exchange(g_state.explosionBitmap, nullptr));
        g_state.explosionFramesLeft = 10;
        game.Draw();
        EXPECT_EQ(9, g_state.explosionFramesLeft);

        // No lander picture: a white disc with a black outline, 20 px wide whatever the screen (its outermost
        // outline pixels: the disc shifted, grown or shrunk puts white or background there).
        g_state.crashed = 0;
        DeleteObject(std::exchange(g_state.landerBitmap, nullptr));
        game.Draw();
        const int top = s.ellipseTop - 30, bottom = s.ellipseBottom - 30, mid = (top + bottom) / 2;
        EXPECT_EQ(kWhite, game.At(x, mid));
        for (const POINT& p : {POINT{x, top}, POINT{x, bottom - 1}, POINT{x - 10, mid}, POINT{x + 9, mid}}) {
            EXPECT_EQ(kBlack, game.At(p.x, p.y)) << p.x << "," << p.y;
        }
    }
}

TEST(Drawing, LeavesNoGdiObjectBehind) {
    // The lander, the flame and the explosion's frames in turn: both sprite primitives, the text and the pad.
    Game game(GameFolder(), 480, 640);
    g_state.roundOver = 1;
    int before = 0;
    for (int i = 0; i <= 3000; ++i) {
        std::tie(g_state.thrusting, g_state.crashed, g_state.score, g_state.explosionFramesLeft) =
            std::make_tuple(i % 2, i % 3 == 0, i, 10 - i % 12);
        game.Draw();
        before = i == 0 ? FreeGdiSlots() : before; // once the platform has made its first-use objects
    }
    EXPECT_EQ(before, FreeGdiSlots()) << "GDI objects left alive by 3000 frames";
}

} // namespace
