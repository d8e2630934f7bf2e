// The presentation: the picture loader, transparent drawing, LoadGraphics and DrawScene (strip frames
// included), with pictures that came through the loader from real GIF files, good and broken, probed pixel
// by pixel.
//
// The pictures in data/, copied beside the program into render_test_data\:
// - game\ holds the game's six: back.gif, 48 x 64, four dark quadrants in kQuadrants (no white or red
//   anywhere); mlander.gif 50 x 40, mlander_fire.gif 50 x 62, mlander_small.gif 25 x 25 and
//   mlander_fire_small.gif 25 x 38, one colour each but for a magenta key pixel at the top-left;
//   explosion.gif, 105 x 20: ten frames of 10 x 20, each in a colour of its own with a key pixel of its own
//   (255, 0, 255 - 20 f) at its top-left, and 5 spare columns in yet another colour. The scene's test shows
//   each frame taken at a truncated width (10 of 10.5) and keyed by its own corner.
// - key_red.gif, 16 x 10, the colours of KeyRed below.
// - tiny.gif, 1 x 1, one pixel of kGreen; strip9.gif and strip10.gif, 9 and 10 x 60, kOrange but for a
//   kGreen top-left pixel; huge.gif, 10000 x 10000, all kGreen: larger than the loader takes.
#include "render.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kGreen = RGB(0, 160, 0),
               kOrange = RGB(255, 90, 0), kPad = RGB(0, 0, 156);
const COLORREF kQuadrants[] = {RGB(60, 20, 20), RGB(20, 60, 20), RGB(20, 20, 60), RGB(60, 60, 20)};

// The game's pictures, by their file names.
enum Picture { kBack, kLander, kFlame, kLanderSmall, kFlameSmall, kExplosion };
const wchar_t* const kFiles[] = {
    L"back.gif",     L"mlander.gif", L"mlander_fire.gif", L"mlander_small.gif", L"mlander_fire_small.gif",
    L"explosion.gif"};

// key_red.gif: pure red, the key, at the corners and inside; colours one unit off red beside it.
COLORREF KeyRed(int x, int y) {
    const COLORREF colours[] = {kRed,   RGB(254, 0, 0), RGB(255, 0, 1), RGB(255, 1, 0),     0,
                                kWhite, kPad,           RGB(1, 2, 3),   RGB(128, 128, 128), RGB(0, 255, 0)};
    return colours[x % 15 == 0 && y % 9 == 0 ? 0 : (x * y + x + 3 * y) % 10];
}

std::wstring DataFile(const std::wstring& name) {
    return BesideThisProgram(L"render_test_data\\" + name);
}

SIZE SizeOf(HGDIOBJ bitmap) {
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

BITMAPINFO TopDown32(SIZE size) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

// Every pixel, rows top to bottom, as COLORREF with the unused byte kept.
std::vector<COLORREF> Pixels(HGDIOBJ bitmap) {
    const SIZE size = SizeOf(bitmap);
    std::vector<COLORREF> pixels(static_cast<size_t>(size.cx) * size.cy);
    BITMAPINFO info = TopDown32(size);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, static_cast<HBITMAP>(bitmap), 0, size.cy, pixels.data(), &info, DIB_RGB_COLORS);
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

// Where two pictures (colours, or masks as 1 and 0; `width` pixels a row) differ: the first few pixels as
// "(x,y) expected/actual", or nothing.
template <typename T>
std::string Differences(const std::vector<T>& expected, const std::vector<T>& actual, int width) {
    std::string where;
    for (size_t i = 0, shown = 0; i < expected.size() && shown < 6; ++i) {
        if (expected[i] != actual.at(i)) {
            char text[64];
            snprintf(text, sizeof text, " (%d,%d) %X/%X", static_cast<int>(i % width),
                     static_cast<int>(i / width), static_cast<unsigned>(expected[i]),
                     static_cast<unsigned>(actual[i]));
            where += text;
            ++shown;
        }
    }
    return where;
}

// A memory context holding a black top-down 32-bpp DIB section.
struct Canvas {
    explicit Canvas(SIZE size) {
        const BITMAPINFO info = TopDown32(size);
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

// Runs `draw` on a 30 x 20 canvas in which every pixel differs, then compares it with the w x h picture
// `sprite` at `at`, whose pixels of its top-left colour leave the canvas as it was.
void ExpectDrawn(const std::function<void(HDC)>& draw, const std::function<COLORREF(int, int)>& sprite, int w,
                 int h, POINT at) {
    Canvas canvas({30, 20});
    std::vector<COLORREF> expected;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            SetPixel(canvas.dc, x, y, RGB(x * 7 + 3, y * 11 + 5, 77));
            const bool inside = x >= at.x && x < at.x + w && y >= at.y && y < at.y + h;
            const COLORREF s = inside ? sprite(x - at.x, y - at.y) : sprite(0, 0);
            expected.push_back(s != sprite(0, 0) ? s : RGB(x * 7 + 3, y * 11 + 5, 77));
        }
    }
    draw(canvas.dc);
    EXPECT_EQ("", Differences(expected, Pixels(canvas.bitmap), 30)) << "drawn at " << at.x << "," << at.y;
}

TEST(DrawTransparent, KeyIsExactAndTransparentWhereverItStandsAndClipsAtEveryEdge) {
    // The expected pixels are the encoded ones, so this also holds the loader to the exact colours with the
    // unused byte clear (a set byte would keep any pixel from matching the key).
    HBITMAP sprite = SHLoadImageFile(DataFile(L"key_red.gif").c_str());
    // Inside, across each edge, a corner pixel only, and wholly outside.
    const POINT places[] = {{0, 0},   {7, 5},    {-5, -3}, {20, 14}, {-15, 2}, {3, -9},
                            {29, 19}, {-15, -9}, {30, 0},  {0, 20},  {-16, 0}, {0, -10}};
    for (const POINT& p : places) {
        ExpectDrawn([&](HDC dc) { DrawTransparent(dc, sprite, p.x, p.y); }, KeyRed, 16, 10, p);
    }
    DeleteObject(sprite);
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

// The layout of one screen, by hand, with sx = width/480 and sy = height/640 in single precision: the sprite
// set (small when a scale is below the double 0.8), leftOffset trunc(25 sx), spriteTop trunc(475 sy) and 5
// less when sy < 1 (at altitude 0), explosionTop trunc(475 sy), the disc from trunc(490 sy) to trunc(510 sy),
// the pad line's width trunc(4 sy + 1) and its y trunc(515 sy), and the text rectangles.
struct Screen {
    int width, height;
    bool small;
    int leftOffset, spriteTop, explosionTop, discTop, discBottom, padWidth, padY;
    RECT status, score;
};

const Screen kScreens[] = {
    {480, 640, false, 25, 475, 475, 490, 510, 5, 515, {310, 20, 480, 200}, {170, 300, 480, 400}},
    {240, 320, true, 12, 232, 237, 245, 255, 3, 257, {155, 20, 240, 100}, {85, 150, 240, 200}},
    // sy 1.25: 593.75, 612.5, 637.5, 6.0, 643.75; no lift
    {480, 800, false, 25, 593, 593, 612, 637, 6, 643, {310, 20, 480, 250}, {170, 375, 480, 500}},
    // sx 1.6666666 (float): 41.67, 516.67, 799.99998 (double), 283.3; sy 0.75: 356.25 - 5
    {800, 480, true, 41, 351, 356, 367, 382, 4, 386, {516, 20, 799, 150}, {283, 225, 799, 300}},
    // Both scales 0.8 in single precision, above the double 0.8: large sprites, lifted.
    {384, 512, false, 20, 375, 380, 392, 408, 4, 412, {248, 20, 384, 160}, {136, 240, 384, 320}},
    // sx 0.7979 alone below 0.8: small sprites, not lifted.
    {383, 640, true, 19, 475, 475, 490, 510, 5, 515, {247, 20, 382, 200}, {135, 300, 382, 400}},
    // 0.575: the text rectangles' bottoms, 200 and 400 times it in single precision, are 115 and 230 (in
    // double, 114 and 229); their right edge is 275.99999.
    {276, 368, true, 14, 268, 273, 281, 293, 3, 296, {178, 20, 275, 115}, {97, 172, 275, 230}},
};

// What shows for the lander: the fallback disc, nothing over the bottom-left quadrant, the first frame of
// a strip of 1-pixel frames, or (outside the lander's place, the pad and the status text) a plain white or
// green background.
enum Shows { kDisc, kNothing, kThinFrame, kWhiteAround, kGreenAround };

// LoadGraphics from `folder` for a screen, with the window 3 pixels right and 5 down so that the buffer is
// larger than the client area, then a round in flight over the background's bottom-left quadrant, away from
// the text and the pad.
struct Game {
    Game(const std::wstring& folder, const Screen& screen)
        : s(screen), window(CreateTestWindow(3, 5, s.width, s.height)) {
        g_state = GameState();
        g_state.mainWindow = window;
        // As start-up computes them: the size times the double nearest to 1/design, rounded to float.
        g_state.scaleX = static_cast<float>(s.width * (1.0 / 480));
        g_state.scaleY = static_cast<float>(s.height * (1.0 / 640));
        folder.copy(g_state.installDir, kInstallDirLength - 1);
        RECT rect;
        GetWindowRect(window, &rect);
        LoadGraphics(rect);
        std::tie(g_state.landerX, g_state.altitude, g_state.padLeft, g_state.padRight) =
            std::make_tuple(s.width / 4, 60, s.width / 10, s.width / 3);
    }
    ~Game() {
        const HGDIOBJ pictures[] = {g_state.backgroundBitmap, g_state.landerBitmap, g_state.flameBitmap,
                                    g_state.explosionBitmap};
        ReleaseSprites();
        for (HGDIOBJ picture : pictures) {
            EXPECT_EQ(0u, GetObjectType(picture)) << "a picture left alive";
        }
        HGDIOBJ buffer = Buffer();
        DeleteDC(g_state.backBuffer);
        DeleteObject(buffer);
        DestroyWindow(window);
    }
    static HGDIOBJ Buffer() { return GetCurrentObject(g_state.backBuffer, OBJ_BITMAP); }
    // The buffer's pixels of `colour` against the expected ones.
    static std::string Differs(const std::vector<bool>& expected, COLORREF colour) {
        return Differences(expected, Mask(Buffer(), colour), SizeOf(Buffer()).cx);
    }
    COLORREF At(int x, int y) const { return GetPixel(g_state.backBuffer, x, y); }
    void Draw() const { DrawScene(window); }

    // Which pixels `draw` turns to `colour` on a black canvas of the buffer's size, in the buffer's font.
    static std::vector<bool> Drawn(COLORREF colour, const std::function<void(HDC)>& draw) {
        Canvas canvas(SizeOf(Buffer()));
        SetBkMode(canvas.dc, TRANSPARENT);
        SetTextColor(canvas.dc, colour);
        SetDCBrushColor(canvas.dc, colour);
        SelectObject(canvas.dc, GetCurrentObject(g_state.backBuffer, OBJ_FONT));
        draw(canvas.dc);
        return Mask(canvas.bitmap, colour);
    }
    static std::vector<bool> Text(RECT rect, std::vector<const wchar_t*> lines, COLORREF colour) {
        return Drawn(colour, [&](HDC dc) {
            for (const wchar_t* line : lines) {
                rect.top += line ? DrawTextW(dc, line, -1, &rect, DT_SINGLELINE | DT_NOPREFIX) : 0;
            }
        });
    }

    // The lander, the flame, or the explosion with `frame` showing, at its place: its colour on exactly its
    // rectangle but the top-left pixel, where its transparent key leaves the background.
    void ExpectSprite(HBITMAP sprite, int frame = -1) const {
        const int left = g_state.landerX - s.leftOffset, w = frame < 0 ? SizeOf(sprite).cx : 10;
        const int top = (frame < 0 ? s.spriteTop : s.explosionTop) - g_state.altitude;
        const COLORREF colour = Pixels(sprite).at(frame < 0 ? 1 : frame * 10 + 1);
        const std::vector<bool> expected = Drawn(colour, [&](HDC dc) {
            const RECT r = {left, top, left + w, top + SizeOf(sprite).cy};
            FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
            SetPixel(dc, left, top, 0);
        });
        EXPECT_EQ("", Differs(expected, colour)) << "a sprite at " << left << "," << top;
        EXPECT_EQ(kQuadrants[2], At(left, top)) << "its key";
    }

    void ExpectShows(Shows what) const {
        const int cx = g_state.landerX, left = cx - s.leftOffset, top = s.spriteTop - g_state.altitude;
        const int discTop = s.discTop - g_state.altitude, discBottom = s.discBottom - g_state.altitude;
        const int mid = (discTop + discBottom) / 2;
        // The disc: white inside; the outermost pixels of its black outline, 20 px wide on any screen.
        if (what == kDisc) {
            EXPECT_EQ(kWhite, At(cx, mid));
            for (const POINT& p : {POINT{cx, discTop}, {cx, discBottom - 1}, {cx - 10, mid}, {cx + 9, mid}}) {
                EXPECT_EQ(0u, At(p.x, p.y)) << p.x << "," << p.y;
            }
            return;
        }
        if (what == kThinFrame) { // one column, keyed by its top pixel
            EXPECT_EQ(std::make_tuple(kQuadrants[2], kOrange, kQuadrants[2]),
                      std::make_tuple(At(left, top), At(left, top + 59), At(left + 1, top + 59)));
            return;
        }
        // The lander's place: where the largest sprite or the explosion would be, and one pixel around.
        const RECT place = {left - 1, top - 1, left + 51, top + 64};
        const COLORREF colour = what == kNothing ? kQuadrants[2] : what == kWhiteAround ? kWhite : kGreen;
        const std::vector<COLORREF> pixels = Pixels(Buffer());
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) {
                const bool there = PtInRect(&place, {x, y});
                const bool other = PtInRect(&s.status, {x, y}) || abs(y - s.padY) <= s.padWidth;
                if (what == kNothing ? there : !there && !other) {
                    ASSERT_EQ(colour, pixels[y * (s.width + 3) + x] & 0xFFFFFF) << x << "," << y;
                }
            }
        }
    }

    const Screen& s;
    HWND window;
};

TEST(DrawScene, LayoutTextAndExplosionOnEachScreen) {
    const struct {
        double speed;
        int fuel, score;
        const wchar_t *speedLine, *fuelLine, *scoreLine; // null: no score line
    } texts[] = {
        {50.0, -3, 0, L"Speed: 50", L"Fuel:  -3", nullptr}, // round over, score 0: no line
        {7.99, 12, 555, L"Speed: 7", L"Fuel:  12", L"Score:  555"},
        {-2.5, 0, -50, L"Speed: -2", L"Fuel:  0", L"Score:  -50"},
        {1e12, INT32_MAX, INT32_MIN, L"Speed: 2147483647", L"Fuel:  2147483647", L"Score:  -2147483648"},
    };
    for (const Screen& s : kScreens) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        Game game(DataFile(L"game"), s);
        // The sprites for the screen, and a buffer to the window's right and bottom edges.
        EXPECT_EQ(std::make_tuple(s.small ? 25 : 40, s.small ? 38 : 62, s.width + 3, s.height + 5),
                  std::make_tuple(SizeOf(g_state.landerBitmap).cy, SizeOf(g_state.flameBitmap).cy,
                                  SizeOf(Game::Buffer()).cx, SizeOf(Game::Buffer()).cy));
        game.Draw();
        // The background stretched over the client area: one probe per quadrant.
        for (int q = 0; q < 4; ++q) {
            EXPECT_EQ(kQuadrants[q],
                      game.At(q % 2 ? s.width - 5 : 5, q / 2 ? s.height - 5 : s.height / 2 - 5));
        }
        // The pad line, as the platform draws a solid line of its width and colour.
        const auto pad = [&](HDC dc) {
            HGDIOBJ old = SelectObject(dc, CreatePen(PS_SOLID, s.padWidth, kPad));
            const POINT line[] = {{s.width / 10, s.padY}, {s.width / 3, s.padY}};
            Polyline(dc, line, 2);
            DeleteObject(SelectObject(dc, old));
        };
        EXPECT_EQ("", Game::Differs(Game::Drawn(kPad, pad), kPad)) << "the pad line";

        // Speed and fuel in white in their rectangle, the score in red in its own, once the round is over.
        g_state.roundOver = 1;
        for (const auto& t : texts) {
            SCOPED_TRACE(testing::Message() << t.speed << " " << t.fuel << " " << t.score);
            std::tie(g_state.speed, g_state.fuel, g_state.score) = std::tie(t.speed, t.fuel, t.score);
            game.Draw();
            EXPECT_EQ("", Game::Differs(Game::Text(s.status, {t.speedLine, t.fuelLine}, kWhite), kWhite));
            EXPECT_EQ("", Game::Differs(Game::Text(s.score, {t.scoreLine}, kRed), kRed));
        }
        // Each text once more in a font made for its rectangle, three times as high and with letters twice as
        // wide (the game selects none, so the test's stays): the rectangle's right and bottom edges clip it.
        const auto& last = texts[3];
        for (const auto& [rect, lines, colour] :
             {std::make_tuple(s.status, std::vector{last.speedLine, last.fuelLine}, kWhite),
              std::make_tuple(s.score, std::vector{last.scoreLine}, kRed)}) {
            HGDIOBJ old =
                SelectObject(g_state.backBuffer,
                             CreateFontW((rect.top - rect.bottom) * 3, (rect.right - rect.left) * 2, 0, 0,
                                         FW_HEAVY, 0, 0, 0, 0, 0, 0, NONANTIALIASED_QUALITY, 0, L"Tahoma"));
            game.Draw();
            const std::vector<bool> expected = Game::Text(rect, lines, colour);
            EXPECT_EQ("", Game::Differs(expected, colour)) << "in a large font";
            // The probe sees both edges: the text clipped one pixel earlier shows.
            EXPECT_NE(expected, Game::Text({rect.left, rect.top, rect.right - 1, rect.bottom}, lines, colour))
                << "the probe does not reach the right edge";
            EXPECT_NE(expected, Game::Text({rect.left, rect.top, rect.right, rect.bottom - 1}, lines, colour))
                << "the probe does not reach the bottom edge";
            DeleteObject(SelectObject(g_state.backBuffer, old));
        }

        // The lander, and its flame while thrusting.
        g_state.roundOver = 0;
        for (const int thrusting : {0, 1}) {
            g_state.thrusting = thrusting;
            game.Draw();
            game.ExpectSprite(thrusting ? g_state.flameBitmap : g_state.landerBitmap);
        }
        // Crashed: frames 0 to 9 of the explosion, not lifted, then nothing while the counter keeps falling.
        std::tie(g_state.thrusting, g_state.crashed, g_state.explosionFramesLeft) = std::make_tuple(0, 1, 10);
        for (int paint = 1; paint <= 13; ++paint) {
            SCOPED_TRACE(testing::Message() << "paint " << paint);
            game.Draw();
            EXPECT_EQ(10 - paint, g_state.explosionFramesLeft);
            paint <= 10 ? game.ExpectSprite(g_state.explosionBitmap, paint - 1) : game.ExpectShows(kNothing);
        }
        // No lander picture: a white disc with a black outline.
        g_state.crashed = 0;
        DeleteObject(std::exchange(g_state.landerBitmap, nullptr));
        game.Draw();
        game.ExpectShows(kDisc);
    }
}

// One picture broken, through the real loader: its field alone is null, unless the loader takes the file,
// and what the frame shows. A flame is drawn while thrusting: a broken one shows nothing then and the lander
// again when not; a broken explosion strip shows nothing while the counter still falls. The small sprites
// follow the same code: a broken file and a tiny picture stand for their other faults.
TEST(LoadGraphics, BrokenPictureLeavesItsFieldNullAndTheSceneItsFallback) {
    enum Fault { kMissing, kEmpty, kTruncated, kText, kHuge, kTiny, kStrip9, kStrip10 };
    const char* const names[] = {"missing",       "zero bytes", "truncated",  "text",
                                 "10000 x 10000", "1 x 1",      "9 px strip", "10 px strip"};
    HBITMAP GameState::*const fields[] = {&GameState::backgroundBitmap, &GameState::landerBitmap,
                                          &GameState::flameBitmap,      &GameState::landerBitmap,
                                          &GameState::flameBitmap,      &GameState::explosionBitmap};
    const std::tuple<Picture, Fault, Shows> rows[] = {
        {kBack, kMissing, kWhiteAround},   {kBack, kEmpty, kWhiteAround},
        {kBack, kTruncated, kWhiteAround}, {kBack, kText, kWhiteAround},
        {kBack, kHuge, kWhiteAround},      {kBack, kTiny, kGreenAround},
        {kLander, kMissing, kDisc},        {kLander, kTiny, kNothing},
        {kFlame, kText, kNothing},         {kFlame, kTiny, kNothing},
        {kExplosion, kEmpty, kNothing},    {kExplosion, kTiny, kNothing},
        {kExplosion, kStrip9, kNothing},   {kExplosion, kStrip10, kThinFrame},
        {kLanderSmall, kTruncated, kDisc}, {kLanderSmall, kTiny, kNothing},
        {kFlameSmall, kMissing, kNothing},
    };
    const std::wstring folder = TempPath(L"craterdip_render");
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const auto& [picture, fault, shows] : rows) {
        SCOPED_TRACE(testing::Message() << kFiles[picture] << ", " << names[fault]);
        for (const wchar_t* file : kFiles) {
            CopyFileW(DataFile(L"game\\" + std::wstring(file)).c_str(), (folder + L"\\" + file).c_str(),
                      FALSE);
        }
        // Broken: no file, no bytes, the first half of the game's own picture, text, or another picture.
        const std::wstring path = folder + L"\\" + kFiles[picture];
        std::ifstream asset(ASSETS_DIR "/" + std::string(path.begin() + folder.size() + 1, path.end()),
                            std::ios::binary);
        const std::string real{std::istreambuf_iterator<char>(asset), {}};
        ASSERT_FALSE(real.empty()) << "no picture of the game's to truncate";
        const std::string bytes[] = {"", "", real.substr(0, real.size() / 2), "Not a picture.\n"};
        const wchar_t* others[] = {L"huge.gif", L"tiny.gif", L"strip9.gif", L"strip10.gif"};
        DeleteFileW(path.c_str());
        if (fault >= kHuge) {
            CopyFileW(DataFile(others[fault - kHuge]).c_str(), path.c_str(), FALSE);
        } else if (fault != kMissing) {
            WriteBytes(path, bytes[fault]);
        }

        Game game(folder, kScreens[picture == kLanderSmall || picture == kFlameSmall]);
        EXPECT_EQ(fault >= kTiny, g_state.*fields[picture] != nullptr) << "the loader's result";
        EXPECT_EQ(fault >= kTiny ? 4 : 3, !!g_state.backgroundBitmap + !!g_state.landerBitmap +
                                              !!g_state.flameBitmap + !!g_state.explosionBitmap);
        std::tie(g_state.thrusting, g_state.crashed, g_state.explosionFramesLeft) =
            std::make_tuple(picture == kFlame || picture == kFlameSmall, picture == kExplosion, 10);
        game.Draw();
        game.ExpectShows(shows);
        EXPECT_EQ(picture == kExplosion ? 9 : 10, g_state.explosionFramesLeft);
        if (g_state.thrusting) {
            g_state.thrusting = 0;
            game.Draw();
            game.ExpectSprite(g_state.landerBitmap);
        }
    }
}

} // namespace
