// The presentation: the picture loader, transparent drawing, LoadGraphics and DrawScene (strip frames
// included), with pictures that came through the loader from real GIF files, good and broken, probed pixel
// by pixel.
//
// The pictures in data/, copied beside the program into render_test_data\:
// - game\ holds the game's six: back.gif, 48 x 64, four dark quadrants in kQuadrants (no white or red
//   anywhere); mlander.gif 50 x 40, mlander_fire.gif 50 x 62, mlander_small.gif 25 x 25 and
//   mlander_fire_small.gif 25 x 38, one colour each (kSprites) but for a magenta key pixel at the top-left;
//   explosion.gif, 105 x 20: ten frames of 10 x 20, frame f in (20 + 20 f, 10, 200 - 10 f) with a key pixel
//   of its own (255, 0, 255 - 20 f) at its top-left, and 5 spare columns in yet another colour. The scene's
//   test shows each frame taken at a truncated width (10 of 10.5) and keyed by its own corner.
// - key_red.gif, 16 x 10: pure red at the corners and inside, colours one unit off red beside it, and black,
//   white, grey, pure green and kPad.
// - tiny.gif, 1 x 1, one pixel of kGreen; strip9.gif and strip10.gif, 9 and 10 x 60, kOrange but for a
//   kGreen top-left pixel; all kGreen, at the loader's limits: wide.gif 8192 x 1 and large.gif 4096 x 4096,
//   the most it takes, and too_wide.gif 8193 x 1 and too_large.gif 4096 x 4097, one past.
// - broken ones: empty.gif (no bytes), half.gif (the first half of the game's own back.gif) and text.gif
//   (a line of text).
#include "render.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using std::make_tuple;

namespace {

const COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kGreen = RGB(0, 160, 0),
               kOrange = RGB(255, 90, 0), kPad = RGB(0, 0, 156);
const COLORREF kQuadrants[] = {RGB(60, 20, 20), RGB(20, 60, 20), RGB(20, 20, 60), RGB(60, 60, 20)};
// The lander and the flame, large and small: their colours and sizes.
const COLORREF kSprites[2][2] = {{RGB(0, 200, 0), RGB(255, 128, 0)}, {RGB(0, 160, 160), RGB(200, 100, 0)}};
const SIZE kSpriteSizes[2][2] = {{{50, 40}, {50, 62}}, {{25, 25}, {25, 38}}};

std::wstring Data(const std::wstring& name) {
    return BesideThisProgram(L"render_test_data\\" + name);
}

// A memory context holding a top-down 32-bpp DIB section: black, or a copy of `from` from `at` on.
struct Canvas {
    explicit Canvas(SIZE size, HDC from = nullptr, POINT at = {}) : size(size) {
        BITMAPINFO info = {{sizeof info.bmiHeader, size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        SelectObject(dc, bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        BitBlt(dc, 0, 0, size.cx, size.cy, from, at.x, at.y, from ? SRCCOPY : BLACKNESS);
    }
    ~Canvas() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    // A colour as the DIB holds it; pixel i, rows top to bottom.
    static DWORD Dib(COLORREF c) { return RGB(GetBValue(c), GetGValue(c), GetRValue(c)); }
    DWORD operator[](int i) const { return static_cast<DWORD*>(bits)[i]; }
    const SIZE size;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    void* bits;
};

// Whether two canvases hold the same pixels, the unused byte included, or (given a colour) have that colour
// in the same pixels; if not, how many pixels differ and the first of them.
testing::AssertionResult Same(const Canvas& expected, const Canvas& actual, COLORREF colour = CLR_INVALID) {
    const DWORD dib = Canvas::Dib(colour);
    int count = 0, first = 0;
    for (int i = expected.size.cx * expected.size.cy; i-- > 0;) {
        const DWORD e = expected[i], a = actual[i];
        if (colour == CLR_INVALID ? e != a : ((e & 0xFFFFFF) == dib) != ((a & 0xFFFFFF) == dib)) {
            ++count, first = i;
        }
    }
    const int width = expected.size.cx;
    return testing::AssertionResult(!count)
           << count << " differ from (" << first % width << "," << first / width << ")";
}

// Over a canvas in which every pixel differs, each pixel of key_red.gif in its top-left colour, pure red,
// leaves the canvas as it was, wherever it lies in the sprite, and every other one is copied exactly, also
// those one unit off red. All 32 bits are compared, so the loader's unused byte must be clear.
TEST(DrawTransparent, KeyIsExactAndTransparentWhereverItStands) {
    HBITMAP sprite = SHLoadImageFile(Data(L"key_red.gif").c_str());
    HDC picture = CreateCompatibleDC(nullptr);
    SelectObject(picture, sprite);
    Canvas drawn({30, 20}), expected({30, 20});
    for (int i = 0; i < 600; ++i) {
        const COLORREF behind = RGB(i, i / 256 * 70 + 3, 77), p = GetPixel(picture, i % 30 - 7, i / 30 - 5);
        SetPixel(drawn.dc, i % 30, i / 30, behind);
        SetPixel(expected.dc, i % 30, i / 30, p == CLR_INVALID || p == kRed ? behind : p);
    }
    DeleteDC(picture);
    DrawTransparent(drawn.dc, sprite, 7, 5);
    EXPECT_TRUE(Same(expected, drawn));
    DeleteObject(sprite);
}

TEST(FormAssetName, FolderBackslashNameOrNothingWhenItDoesNotFit) {
    // 236 + 23 units and the terminating zero fit; one more does not. Nothing is written past the name.
    for (const int length : {236, 237}) {
        wcscpy(g_state.installDir, std::wstring(length, L'f').c_str());
        wchar_t names[2][kAssetNameLength]; // the second shows what is written past the first
        wmemset(&names[0][0], L'g', 2 * kAssetNameLength);
        EXPECT_EQ(length == 236, FormAssetName(names[0], L"%ls\\mlander_fire_small.gif")) << length;
        const std::wstring name =
            length == 236 ? g_state.installDir + std::wstring(L"\\mlander_fire_small.gif") : L"";
        EXPECT_EQ(make_tuple(name, L'g'),
                  make_tuple(std::wstring(names[0], wcsnlen(names[0], kAssetNameLength)), names[1][0]));
    }
}

// The layout of one screen, by hand, with sx = width/480 and sy = height/640 in single precision: the sprite
// set (small when a scale is below the double 0.8), leftOffset trunc(25 sx), spriteTop trunc(475 sy) and 5
// less when sy < 1 (at altitude 0), explosionTop trunc(475 sy), the disc from trunc(490 sy) to trunc(510 sy),
// the pad line's width trunc(4 sy + 1) and its y trunc(515 sy), and the text rectangles.
struct Screen {
    int width, height, small, leftOffset, spriteTop, explosionTop, discTop, discBottom, padWidth, padY;
    RECT status, score;
};

const Screen kScreens[] = {
    {480, 640, 0, 25, 475, 475, 490, 510, 5, 515, {310, 20, 480, 200}, {170, 300, 480, 400}},
    {240, 320, 1, 12, 232, 237, 245, 255, 3, 257, {155, 20, 240, 100}, {85, 150, 240, 200}},
    // sy 1.25: 593.75, 612.5, 637.5, 6.0, 643.75; no lift
    {480, 800, 0, 25, 593, 593, 612, 637, 6, 643, {310, 20, 480, 250}, {170, 375, 480, 500}},
    // sx 1.6666666 (float): 41.67, 516.67, 799.99998 (double), 283.3; sy 0.75: 356.25 - 5
    {800, 480, 1, 41, 351, 356, 367, 382, 4, 386, {516, 20, 799, 150}, {283, 225, 799, 300}},
    // Both scales 0.8 in single precision, above the double 0.8: large sprites, lifted.
    {384, 512, 0, 20, 375, 380, 392, 408, 4, 412, {248, 20, 384, 160}, {136, 240, 384, 320}},
    // sx 0.7979 alone below 0.8: small sprites, not lifted.
    {383, 640, 1, 19, 475, 475, 490, 510, 5, 515, {247, 20, 382, 200}, {135, 300, 382, 400}},
    // 0.575: the text rectangles' bottoms, 200 and 400 times it in single precision, are 115 and 230 (in
    // double, 114 and 229); their right edge is 275.99999.
    {276, 368, 1, 14, 268, 273, 281, 293, 3, 296, {178, 20, 275, 115}, {97, 172, 275, 230}},
};

// Text in a rectangle, its lines one below the other.
std::function<void(HDC)> Text(RECT rect, const wchar_t* text) {
    return [=](HDC dc) mutable { DrawTextW(dc, text, -1, &rect, DT_NOPREFIX); };
}

// LoadGraphics from `folder` for a screen, with the window 3 pixels right and 5 down so that the buffer is
// larger than the client area, then a round in flight over the background's bottom-left quadrant, away from
// the text and the pad. ReleaseSprites at the end leaves none of the pictures alive.
struct Game : Screen {
    Game(const std::wstring& folder, const Screen& screen)
        : Screen(screen), window(CreateTestWindow(3, 5, width, height)) {
        g_state = GameState();
        // As start-up computes them: the size times the double nearest to 1/design, rounded to float.
        std::tie(g_state.mainWindow, g_state.scaleX, g_state.scaleY) =
            make_tuple(window, float(width * (1.0 / 480)), float(height * (1.0 / 640)));
        wcscpy(g_state.installDir, folder.c_str());
        LoadGraphics({3, 5, width + 3, height + 5}); // the window's rectangle
        std::tie(g_state.landerX, g_state.altitude, g_state.padLeft, g_state.padRight) =
            make_tuple(width / 4, 60, width / 10, width / 3);
    }
    ~Game() {
        const GameState loaded = g_state;
        ReleaseSprites();
        EXPECT_EQ(0u, GetObjectType(loaded.backgroundBitmap) | GetObjectType(loaded.landerBitmap) |
                          GetObjectType(loaded.flameBitmap) | GetObjectType(loaded.explosionBitmap))
            << "a picture left alive";
        DeleteObject(SelectObject(g_state.backBuffer, CreateCompatibleBitmap(g_state.backBuffer, 0, 0)));
        DeleteDC(g_state.backBuffer);
        DestroyWindow(window);
    }
    COLORREF At(int x, int y) const { return GetPixel(g_state.backBuffer, x, y); }
    // A paint of the whole window, which then shows the buffer's client area pixel for pixel (seen where the
    // window lies wholly on the screen).
    void Draw() const {
        InvalidateRect(window, nullptr, FALSE); // the scene paints only what is invalid
        DrawScene(window);
        HDC shown = GetDC(window);
        const Canvas screen({width, height}, shown), buffer({width, height}, g_state.backBuffer);
        ReleaseDC(window, shown);
        const bool seen =
            width + 3 <= GetSystemMetrics(SM_CXSCREEN) && height + 5 <= GetSystemMetrics(SM_CYSCREEN);
        EXPECT_TRUE(seen ? Same(buffer, screen) : testing::AssertionSuccess()) << "on the window";
    }

    // Whether the buffer has `colour` in exactly the pixels that `draw` gives it on a black canvas of the
    // buffer's size, in the buffer's font.
    testing::AssertionResult Matches(COLORREF colour, const std::function<void(HDC)>& draw) const {
        Canvas buffer({width + 3, height + 5}, g_state.backBuffer), expected(buffer.size);
        SetBkMode(expected.dc, TRANSPARENT);
        SetTextColor(expected.dc, colour);
        SetDCBrushColor(expected.dc, colour);
        SelectObject(expected.dc, GetCurrentObject(g_state.backBuffer, OBJ_FONT));
        draw(expected.dc);
        return Same(expected, buffer, colour);
    }

    // A sprite of one colour at the lander's place, `top` at altitude 0: its colour on exactly its rectangle
    // but the top-left pixel, where its transparent key leaves the background.
    void ExpectSprite(COLORREF colour, SIZE size, int top) const {
        const RECT r = {g_state.landerX - leftOffset, top - g_state.altitude, r.left + size.cx,
                        r.top + size.cy};
        const HBRUSH brush = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
        EXPECT_TRUE(
            Matches(colour, [&](HDC dc) { FillRect(dc, &r, brush), SetPixel(dc, r.left, r.top, 0); }));
        EXPECT_EQ(kQuadrants[2], At(r.left, r.top)) << "the key at " << r.left << "," << r.top;
    }

    // Each quadrant of the background (or of a plain one) at its outer corner and beside the centre.
    void ExpectBackground(const COLORREF (&q)[4] = kQuadrants) const {
        const int w = width, h = height;
        EXPECT_EQ(make_tuple(q[0], q[0], q[1], q[1], q[2], q[2], q[3], q[3]),
                  make_tuple(At(0, 0), At(w / 2 - 3, h / 2 - 3), At(w - 1, 0), At(w / 2 + 2, h / 2 - 3),
                             At(0, h - 1), At(w / 2 - 3, h / 2 + 2), At(w - 1, h - 1),
                             At(w / 2 + 2, h / 2 + 2)));
    }
    // Nothing over the bottom-left quadrant where the largest sprite or the explosion would be, or around it.
    void ExpectNothing() const {
        const Canvas place({52, 65}, g_state.backBuffer,
                           {g_state.landerX - leftOffset - 1, spriteTop - g_state.altitude - 1});
        const DWORD* pixels = static_cast<DWORD*>(place.bits);
        EXPECT_EQ(52 * 65, std::count(pixels, pixels + 52 * 65, Canvas::Dib(kQuadrants[2])));
    }
    // The fallback disc: white inside; the outermost pixels of its black outline, 20 wide on any screen.
    void ExpectDisc() const {
        const int x = g_state.landerX, top = discTop - g_state.altitude,
                  bottom = discBottom - g_state.altitude;
        const int mid = (top + bottom) / 2;
        EXPECT_EQ(make_tuple(kWhite, 0u, 0u, 0u, 0u),
                  make_tuple(At(x, mid), At(x, top), At(x, bottom - 1), At(x - 10, mid), At(x + 9, mid)));
    }
    void ExpectWhite() const { ExpectBackground({kWhite, kWhite, kWhite, kWhite}); }
    void ExpectGreen() const { ExpectBackground({kGreen, kGreen, kGreen, kGreen}); }
    void ExpectThinFrame() const { ExpectSprite(kOrange, {1, 60}, explosionTop); } // keyed by its top pixel

    HWND window;
};

TEST(DrawScene, LayoutTextAndExplosionOnEachScreen) {
    // Speed, fuel and score as the record holds them, and the lines they give; a score of 0 gives none.
    const std::tuple<double, int, int, const wchar_t*, const wchar_t*> texts[] = {
        {7.99, -3, 0, L"Speed: 7\nFuel:  -3", L""},
        {-2.5, 0, -50, L"Speed: -2\nFuel:  0", L"Score:  -50"},
        {1e12, INT32_MAX, INT32_MIN, L"Speed: 2147483647\nFuel:  2147483647", L"Score:  -2147483648"},
    };
    for (const Screen& s : kScreens) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        Game game(Data(L"game"), s);
        game.Draw();
        game.ExpectBackground();
        // The pad line, as the platform draws a solid line of its width and colour.
        EXPECT_TRUE(game.Matches(kPad, [&](HDC dc) {
            HGDIOBJ old = SelectObject(dc, CreatePen(PS_SOLID, s.padWidth, kPad));
            const POINT line[] = {{s.width / 10, s.padY}, {s.width / 3, s.padY}};
            Polyline(dc, line, 2);
            DeleteObject(SelectObject(dc, old));
        }));

        // Speed and fuel in white in their rectangle, the score in red in its own, once the round is over.
        g_state.roundOver = 1;
        for (const auto& [speed, fuel, score, status, scoreLine] : texts) {
            std::tie(g_state.speed, g_state.fuel, g_state.score) = make_tuple(speed, fuel, score);
            game.Draw();
            EXPECT_TRUE(game.Matches(kWhite, Text(s.status, status))) << status;
            EXPECT_TRUE(game.Matches(kRed, Text(s.score, scoreLine))) << scoreLine;
        }
        // The last once more in a font three times as high as the screen, its letters twice as wide (the game
        // selects none, so the test's stays): the rectangles' right and bottom edges clip its first line.
        HGDIOBJ old =
            SelectObject(g_state.backBuffer, CreateFontW(-3 * s.height, 2 * s.width, 0, 0, FW_HEAVY, 0, 0, 0,
                                                         0, 0, 0, NONANTIALIASED_QUALITY, 0, L"Tahoma"));
        game.Draw();
        EXPECT_TRUE(game.Matches(kWhite, Text(s.status, L"Speed: 2147483647"))) << "in a large font";
        EXPECT_TRUE(game.Matches(kRed, Text(s.score, L"Score:  -2147483648"))) << "in a large font";
        DeleteObject(SelectObject(g_state.backBuffer, old));

        // The lander, and its flame while thrusting.
        for (g_state.roundOver = 0; g_state.thrusting < 2; ++g_state.thrusting) {
            game.Draw();
            game.ExpectSprite(kSprites[s.small][g_state.thrusting], kSpriteSizes[s.small][g_state.thrusting],
                              s.spriteTop);
        }
        // Crashed: frames 0 to 9 of the explosion, not lifted, then nothing while the counter keeps falling.
        std::tie(g_state.thrusting, g_state.crashed, g_state.explosionFramesLeft) = make_tuple(0, 1, 10);
        for (int f = 0; f < 13; ++f) {
            game.Draw();
            EXPECT_EQ(9 - f, g_state.explosionFramesLeft);
            f < 10 ? game.ExpectSprite(RGB(20 + 20 * f, 10, 200 - 10 * f), {10, 20}, s.explosionTop)
                   : game.ExpectNothing();
        }
    }
}

// One picture broken, through the real loader: its field alone is null, unless the loader takes the file,
// and what the frame shows instead. A broken flame shows nothing while thrusting, a broken explosion strip
// nothing while the counter still falls. The small sprites follow the same code: a broken file and a tiny
// picture stand for their other faults. The screens' scales differ between the axes, for the disc.
TEST(LoadGraphics, BrokenPictureLeavesItsFieldNullAndTheSceneItsFallback) {
    enum Picture { kBack, kLander, kFlame, kLanderSmall, kFlameSmall, kExplosion };
    const wchar_t* const files[] = {
        L"back.gif",     L"mlander.gif", L"mlander_fire.gif", L"mlander_small.gif", L"mlander_fire_small.gif",
        L"explosion.gif"};
    // In the picture's place: a file that is not there, no bytes, half a picture, text, a picture one pixel
    // past the loader's side or area, and pictures that load: 1 x 1, at the side and area limits, and strips
    // of 9 and 10 pixels.
    enum Fault { kMissing, kEmpty, kHalf, kText, kOverSide, kOverArea, kTiny, kSide, kArea, kStrip9, kStrip };
    const wchar_t* const faults[] = {L"missing.gif",  L"empty.gif",     L"half.gif",   L"text.gif",
                                     L"too_wide.gif", L"too_large.gif", L"tiny.gif",   L"wide.gif",
                                     L"large.gif",    L"strip9.gif",    L"strip10.gif"};
    // What the frame shows: the fallback disc, nothing, a plain white or green background, or the first frame
    // of a strip of 1-pixel frames.
    const auto disc = &Game::ExpectDisc, none = &Game::ExpectNothing, white = &Game::ExpectWhite,
               green = &Game::ExpectGreen, thin = &Game::ExpectThinFrame;
    const std::tuple<Picture, Fault, void (Game::*)() const> rows[] = {
        {kBack, kMissing, white},    {kBack, kEmpty, white},        {kBack, kHalf, white},
        {kBack, kText, white},       {kBack, kOverSide, white},     {kBack, kOverArea, white},
        {kBack, kTiny, green},       {kBack, kSide, green},         {kBack, kArea, green},
        {kLander, kMissing, disc},   {kLander, kTiny, none},        {kFlame, kText, none},
        {kFlame, kTiny, none},       {kExplosion, kEmpty, none},    {kExplosion, kTiny, none},
        {kExplosion, kStrip9, none}, {kExplosion, kStrip, thin},    {kLanderSmall, kHalf, disc},
        {kLanderSmall, kTiny, none}, {kFlameSmall, kMissing, none},
    };
    const std::wstring folder = TempPath(L"craterdip_render");
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const auto& [picture, fault, shows] : rows) {
        SCOPED_TRACE(testing::Message() << files[picture] << " from " << faults[fault]);
        for (int f = 0; f < 6; ++f) { // the game's pictures, the broken one in its place
            const std::wstring to = folder + L"\\" + files[f], good = L"game\\" + std::wstring(files[f]);
            DeleteFileW(to.c_str());
            CopyFileW(Data(f == picture ? faults[fault] : good).c_str(), to.c_str(), FALSE);
        }
        Game game(folder, kScreens[picture == kLanderSmall || picture == kFlameSmall ? 3 : 2]);
        EXPECT_EQ(fault >= kTiny ? 4 : 3, !!g_state.backgroundBitmap + !!g_state.landerBitmap +
                                              !!g_state.flameBitmap + !!g_state.explosionBitmap)
            << "pictures loaded";
        std::tie(g_state.thrusting, g_state.crashed, g_state.explosionFramesLeft) =
            make_tuple(picture == kFlame || picture == kFlameSmall, picture == kExplosion, 10);
        game.Draw();
        (game.*shows)();
        EXPECT_EQ(picture == kExplosion ? 9 : 10, g_state.explosionFramesLeft);
    }
}

} // namespace
