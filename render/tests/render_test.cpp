// The presentation: the picture loader, transparent drawing, strip frames, LoadGraphics and DrawScene, with
// pictures that came through the loader from real GIF files, probed pixel by pixel.
#include "render.h"
#include "testsupport.h"

#include "data/test_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const COLORREF kPad = RGB(0, 0, 156), kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlack = 0;

// The game's file names and the test pictures that stand in for them; bit i of a file set is file i.
const std::pair<const wchar_t*, const wchar_t*> kFiles[] = {
    {L"back.gif", L"quadrants.gif"},
    {L"mlander.gif", L"lander.gif"},
    {L"mlander_fire.gif", L"lander_fire.gif"},
    {L"mlander_small.gif", L"lander_small.gif"},
    {L"mlander_fire_small.gif", L"lander_fire_small.gif"},
    {L"explosion.gif", L"boom.gif"}};
enum : unsigned { kBack = 1, kLarge = 6, kSmall = 24, kBoom = 32, kAll = 63 };

std::wstring TestDataFile(const wchar_t* name) {
    return BesideThisProgram(L"render_test_data\\") + name;
}

HBITMAP LoadTestPicture(const wchar_t* name) {
    return SHLoadImageFile(TestDataFile(name).c_str());
}

// <temporary folder>\craterdip_render\<name> with the test pictures of `files` under the game's names. The
// prefix outlives the run, so a folder's name stands for its files (the set itself unless given).
std::wstring MakeFolder(unsigned files, std::wstring name = L"") {
    std::wstring folder = TempPath(L"craterdip_render");
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\" + (name.empty() ? std::to_wstring(files) : name);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < 6; ++i) {
        if (files >> i & 1) {
            CopyFileW(TestDataFile(kFiles[i].second).c_str(), (folder + L"\\" + kFiles[i].first).c_str(),
                      FALSE);
        }
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

// Every pixel, rows top to bottom, as COLORREF with the unused byte kept: Wine compares all 32 bits in the
// colour-to-monochrome blit, so a set unused byte defeats the key.
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

TEST(SHLoadImageFile, LoadsEveryPictureOfTheGame) {
    const std::pair<int, int> sizes[] = {{480, 536}, {50, 40}, {50, 62}, {25, 25}, {25, 38}, {500, 50}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(kFiles[i].first);
        HBITMAP bitmap = SHLoadImageFile((BesideThisProgram(L"render_assets\\") + kFiles[i].first).c_str());
        EXPECT_EQ(sizes[i], SizeOf(bitmap));
        // The sprites' key colour stands in the top-left pixel, and in each explosion frame's.
        const std::vector<COLORREF> pixels = Pixels(bitmap);
        for (int frame = 0; i > 0 && frame < (i == 5 ? 10 : 1); ++frame) {
            EXPECT_EQ(RGB(255, 0, 255), pixels.at(frame * 50)) << "frame " << frame;
        }
        DeleteObject(bitmap);
    }
}

TEST(SHLoadImageFile, NullForAnythingThatIsNotAPicture) {
    // A real GIF cut after its header and after 40 bytes, zero bytes, text, a folder, no file, a forged
    // 10000 x 10000 header, no name and no device.
    std::ifstream file(TestDataFile(L"key_red.gif").c_str(), std::ios::binary);
    const std::string gif((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::wstring folder = MakeFolder(0, L"loader");
    std::vector<std::wstring> names;
    for (const std::string& bytes :
         {gif.substr(0, 13), gif.substr(0, 40), std::string(), std::string("GIF? no")}) {
        names.push_back(folder + L"\\" + std::to_wstring(names.size()) + L".gif");
        WriteBytes(names.back(), bytes);
    }
    CreateDirectoryW((folder + L"\\folder.gif").c_str(), nullptr);
    names.insert(names.end(), {folder + L"\\folder.gif", folder + L"\\missing.gif",
                               TestDataFile(L"huge_header.gif"), L"", L"\\\\?\\no such device\\x.gif"});
    for (const std::wstring& name : names) {
        HBITMAP bitmap = SHLoadImageFile(name.c_str());
        EXPECT_EQ(nullptr, bitmap) << name;
        DeleteObject(bitmap);
    }
    EXPECT_EQ(nullptr, SHLoadImageFile(nullptr));
}

TEST(SHLoadImageFile, WorksInEitherComApartmentAndLeavesTheCallersAlone) {
    // Already a multithreaded apartment: the loader must neither fail nor end the caller's COM.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    HBITMAP bitmap = LoadTestPicture(L"key_red.gif");
    EXPECT_NE(nullptr, bitmap);
    DeleteObject(bitmap);
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED)) << "COM still initialised";
    CoUninitialize();
    CoUninitialize();
}

// Runs `draw` on a 30 x 20 canvas in which every pixel differs, then compares it with the picture `sprite`
// (w x h, rows `stride` apart) at `at`, whose pixels of its top-left colour leave the canvas as it was.
void ExpectDrawn(const std::function<void(HDC)>& draw, const COLORREF* sprite = nullptr, int stride = 0,
                 int w = 0, int h = 0, POINT at = {}) {
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
    // The loader gives the encoded colours exactly, with the unused byte clear.
    HBITMAP sprite = LoadTestPicture(L"key_red.gif");
    EXPECT_EQ(std::make_pair(kKeyRedWidth, kKeyRedHeight), SizeOf(sprite));
    EXPECT_EQ(std::vector<COLORREF>(std::begin(kKeyRed), std::end(kKeyRed)), Pixels(sprite));
    // Inside, across each edge, a corner pixel only, and wholly outside.
    const POINT positions[] = {{0, 0},   {7, 5},    {-5, -3}, {20, 14}, {-15, 2}, {3, -9},
                               {29, 19}, {-15, -9}, {30, 0},  {0, 20},  {-16, 0}, {0, -10}};
    for (const POINT& p : positions) {
        const auto draw = [&](HDC dc) {
            SetBkColor(dc, RGB(1, 2, 3));
            SetTextColor(dc, RGB(4, 5, 6));
            DrawTransparent(dc, sprite, p.x, p.y);
            EXPECT_EQ(RGB(1, 2, 3), GetBkColor(dc)) << "the target's colours are given back";
            EXPECT_EQ(RGB(4, 5, 6), GetTextColor(dc));
        };
        ExpectDrawn(draw, kKeyRed, kKeyRedWidth, kKeyRedWidth, kKeyRedHeight, p);
    }
    ExpectDrawn([&](HDC dc) {
        DrawTransparent(nullptr, sprite, 0, 0);
        DrawTransparent(dc, nullptr, 0, 0);
    });
    DeleteObject(sprite);
}

TEST(DrawStripFrame, FramesAreEquallyWideAndEachKeyedByItsOwnCorner) {
    HBITMAP strip = LoadTestPicture(L"strip95.gif"), narrow = LoadTestPicture(L"strip9.gif");
    const std::vector<COLORREF> pixels = Pixels(strip);
    ASSERT_EQ(95u * 6, pixels.size());
    ASSERT_NE(nullptr, narrow);
    const struct {
        HBITMAP strip;
        int frameIndex, frameCount, firstColumn, frameWidth; // frame width 0: nothing drawn
    } cases[] = {
        // Columns 90 to 94 are never shown; a strip narrower than its frame count, or none, draws nothing.
        {strip, 0, 10, 0, 9}, {strip, 3, 10, 27, 9}, {strip, 9, 10, 81, 9}, {strip, 2, 5, 38, 19},
        {strip, 0, 1, 0, 95}, {narrow, 0, 10, 0, 0}, {narrow, 9, 10, 0, 0}, {nullptr, 0, 10, 0, 0},
    };
    for (const auto& c : cases) {
        for (const POINT& at : {POINT{2, 1}, POINT{-3, -2}}) {
            SCOPED_TRACE(testing::Message() << "frame " << c.frameIndex << " of " << c.frameCount);
            ExpectDrawn([&](HDC dc) { DrawStripFrame(dc, c.strip, at.x, at.y, c.frameIndex, c.frameCount); },
                        &pixels[c.firstColumn], 95, c.frameWidth, 6, at);
        }
    }
    DeleteObject(narrow);
    DeleteObject(strip);
}

TEST(FormAssetName, FolderBackslashNameOrNothingWhenItDoesNotFit) {
    // 236 + 23 units and the terminating zero fit; one more does not, nor does a full installDir.
    // (LoadGraphics shows the other names against the same limit, and the root for an empty folder.)
    for (const auto& [length, fits] : {std::pair(236, true), std::pair(237, false), std::pair(259, false)}) {
        SCOPED_TRACE(length);
        g_state = GameState();
        const std::wstring folder(length, L'f');
        folder.copy(g_state.installDir, length);
        wchar_t buffer[kAssetNameLength + 16]; // the name, then a guard
        wmemset(buffer, L'g', kAssetNameLength + 16);
        const wchar_t* format = L"%ls\\mlander_fire_small.gif";
        EXPECT_EQ(fits, FormAssetName(reinterpret_cast<wchar_t(&)[kAssetNameLength]>(buffer), format));
        EXPECT_EQ(fits ? folder + (format + 3) : L"",
                  std::wstring(buffer, wcsnlen(buffer, kAssetNameLength)));
        EXPECT_EQ(std::wstring(16, L'g'), std::wstring(buffer + kAssetNameLength, 16))
            << "written past the name";
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
    void ExpectSprite(int left, int top, HBITMAP picture) const {
        ExpectSprite(left, top, SizeOf(picture).first, SizeOf(picture).second, Pixels(picture).at(1));
    }

    HWND window;
};

TEST(LoadGraphics, PicturesForTheScreenAndABufferToTheWindowsEdges) {
    const std::wstring all = MakeFolder(kAll), large = MakeFolder(kBack | kLarge | kBoom),
                       small = MakeFolder(kBack | kSmall | kBoom), broken = MakeFolder(kBoom, L"broken");
    WriteBytes(broken + L"\\back.gif", "");
    WriteBytes(broken + L"\\mlander.gif", std::string("GIF89a\x32\x00", 8));
    WriteBytes(broken + L"\\mlander_fire.gif", "not a picture");
    // A folder of 237 units: every name fits but "\mlander_fire_small.gif", and a file named like the cut
    // name must not be taken for it.
    const std::wstring base = MakeFolder(0, L"long");
    const std::wstring longFolder = MakeFolder(kAll, L"long\\" + std::wstring(237 - base.size() - 1, L'd'));
    ASSERT_EQ(237u, longFolder.size());
    CopyFileW(TestDataFile(L"lander_fire_small.gif").c_str(),
              (longFolder + L"\\mlander_fire_small.gi").c_str(), FALSE);
    // An empty folder names the root of the current drive: the temporary folder's, in the test's own prefix.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(base.c_str()));
    const std::wstring root = base.substr(0, 3);
    CopyFileW(TestDataFile(L"quadrants.gif").c_str(), (root + L"back.gif").c_str(), FALSE);
    CopyFileW(TestDataFile(L"lander.gif").c_str(), (root + L"mlander.gif").c_str(), FALSE);

    const std::wstring nowhere = L"C:\\no such folder";
    const struct {
        std::wstring folder;
        int width, height;
        std::array<int, 4> heights; // of the lander, flame, background and explosion pictures; 0: none
        RECT window;                // the screen at (0, 0) when empty
    } cases[] = {
        {all, 480, 640, {40, 62, 64, 20}, {}},
        {all, 240, 320, {25, 38, 64, 20}, {}},
        {all, 384, 512, {40, 62, 64, 20}, {}}, // both scales 0.8 in single precision: above the double 0.8
        {all, 383, 640, {25, 38, 64, 20}, {}}, // scaleX alone below 0.8
        {all, 480, 511, {25, 38, 64, 20}, {}}, // scaleY alone below 0.8
        {all, 800, 480, {25, 38, 64, 20}, {}},
        // Without the files of the chosen size both landers stay null: the other size is never tried.
        {small, 480, 640, {0, 0, 64, 20}, {}},
        {large, 240, 320, {0, 0, 64, 20}, {}},
        {L"", 480, 640, {40, 0, 64, 0}, {}},
        {longFolder, 240, 320, {25, 0, 64, 20}, {}},
        {broken, 480, 640, {0, 0, 0, 20}, {}},
        {nowhere, 480, 640, {0, 0, 0, 0}, {0, 0, 480, 588}},
        {nowhere, 240, 320, {0, 0, 0, 0}, {10, 20, 110, 70}},
        {nowhere, 800, 480, {0, 0, 0, 0}, {}},
        {nowhere, 480, 800, {0, 0, 0, 0}, {0, 26, 480, 800}},
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
        // Without a background, plain white over the whole client area.
        game.Draw();
        const int right = window.right - window.left - 1, bottom = window.bottom - window.top - 1;
        EXPECT_EQ(c.heights[2] == 0, game.At(0, 0) == kWhite && game.At(right, bottom) == kWhite);
    }
    DeleteFileW((root + L"back.gif").c_str());
    DeleteFileW((root + L"mlander.gif").c_str());
    SetCurrentDirectoryW(previous);
}

// The layout of one screen, by hand, with sx = width/480 and sy = height/640 in single precision: padY
// trunc(515 sy), padWidth trunc(4 sy + 1), leftOffset trunc(25 sx), spriteTop trunc(475 sy) and 5 less when
// sy < 1 (at altitude 0), explosionTop trunc(475 sy), the ellipse from trunc(490 sy) to trunc(510 sy).
struct Screen {
    int width, height, padY, padWidth, leftOffset, spriteTop, explosionTop, ellipseTop, ellipseBottom;
    RECT status, score;
};

const Screen kScreens[] = {
    {480, 640, 515, 5, 25, 475, 475, 490, 510, {310, 20, 480, 200}, {170, 300, 480, 400}},
    {240, 320, 257, 3, 12, 232, 237, 245, 255, {155, 20, 240, 100}, {85, 150, 240, 200}},
    // sy 1.25: 643.75, 6.0, 593.75, 612.5, 637.5; no lift
    {480, 800, 643, 6, 25, 593, 593, 612, 637, {310, 20, 480, 250}, {170, 375, 480, 500}},
    // sx 1.6666666 (float): 41.67, 516.67, 799.99998 (double), 283.3; sy 0.75: 386.25, 4.0, 356.25 - 5
    {800, 480, 386, 4, 41, 351, 356, 367, 382, {516, 20, 799, 150}, {283, 225, 799, 300}},
};

TEST(DrawScene, LayoutFallbacksTextAndExplosionOnEachScreen) {
    const struct {
        double speed;
        int fuel, roundOver, score;
        const wchar_t *speedLine, *fuelLine, *scoreLine; // null: no score line
    } texts[] = {
        {50.0, -3, 1, 0, L"Speed: 50", L"Fuel:  -3", nullptr}, // round over, score 0: no line
        {7.0, 12, 0, 555, L"Speed: 7", L"Fuel:  12", nullptr}, // score but round not over
        {7.99, 12, 1, 555, L"Speed: 7", L"Fuel:  12", L"Score:  555"},
        {-0.5, 1, 1, -50, L"Speed: 0", L"Fuel:  1", L"Score:  -50"},
        {-2.5, 0, 0, 0, L"Speed: -2", L"Fuel:  0", nullptr},
        {1e12, 2147483647, 1, -2147483647 - 1, L"Speed: 2147483647", L"Fuel:  2147483647",
         L"Score:  -2147483648"},
    };
    for (const Screen& s : kScreens) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        Game game(MakeFolder(kAll), s.width, s.height);
        game.Draw();
        // The background stretched over the client area: one probe per quadrant.
        for (int q = 0; q < 4; ++q) {
            EXPECT_EQ(kQuadrantColours[q],
                      game.At(q % 2 ? s.width - 5 : 5, q / 2 ? s.height - 5 : s.height / 2 - 5));
        }
        // Pad: exactly padWidth rows of its colour through padY, from padLeft to padRight (the round caps
        // of a wide pen reach past the ends, so the probes stay a pen width inside and outside).
        const int middle = (g_state.padLeft + g_state.padRight) / 2;
        int rows = 0;
        for (int y = s.padY - 10; y <= s.padY + 10; ++y) {
            rows += game.At(middle, y) == kPad;
        }
        EXPECT_EQ(s.padWidth, rows);
        EXPECT_EQ(kPad, game.At(middle, s.padY));
        EXPECT_EQ(kPad, game.At(g_state.padLeft + s.padWidth, s.padY));
        EXPECT_EQ(kPad, game.At(g_state.padRight - s.padWidth, s.padY));
        EXPECT_NE(kPad, game.At(g_state.padLeft - s.padWidth - 1, s.padY));
        EXPECT_NE(kPad, game.At(g_state.padRight + s.padWidth + 1, s.padY));

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

        // The lander, and the flame while thrusting; without a flame picture, nothing at all (nor a score).
        g_state.roundOver = 0;
        const int left = g_state.landerX - s.leftOffset, x = g_state.landerX;
        game.ExpectSprite(left, s.spriteTop - 60, g_state.landerBitmap);
        g_state.thrusting = 1;
        game.Draw();
        game.ExpectSprite(left, s.spriteTop - 60, g_state.flameBitmap);
        DeleteObject(std::exchange(g_state.flameBitmap, nullptr));
        game.Draw();
        for (int y = s.ellipseTop - 100; y < s.ellipseBottom - 50; ++y) {
            for (int dx = -30; dx <= 30; ++dx) {
                ASSERT_EQ(1, std::count(kQuadrantColours, kQuadrantColours + 4, game.At(x + dx, y)))
                    << "something drawn at " << x + dx << "," << y;
            }
        }

        // Crashed: frames 0 to 9 of the explosion, not lifted, then nothing while the counter keeps falling.
        const std::vector<COLORREF> boom = Pixels(g_state.explosionBitmap);
        g_state.thrusting = 0;
        g_state.crashed = 1;
        g_state.explosionFramesLeft = 10;
        g_state.altitude = 30;
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
        // The frame goes to the window whole once the window needs painting (the pad's row: 480x800 runs off
        // the screen).
        InvalidateRect(game.window, nullptr, FALSE);
        game.Draw();
        HDC window = GetDC(game.window);
        for (const POINT& p : {POINT{5, 5}, POINT{left + 1, boomTop + 1}, POINT{s.width - 1, s.padY}}) {
            EXPECT_EQ(game.At(p.x, p.y), GetPixel(window, p.x, p.y)) << p.x << "," << p.y;
        }
        ReleaseDC(game.window, window);
        // No explosion picture: nothing drawn, the counter still falls.
        DeleteObject(std::exchange(g_state.explosionBitmap, nullptr));
        g_state.explosionFramesLeft = 10;
        game.Draw();
        EXPECT_EQ(9, g_state.explosionFramesLeft);
        EXPECT_EQ(kQuadrantColours[2], game.At(left + 1, boomTop + 1));

        // No lander picture: a white disc with a black outline, 20 px wide whatever the screen.
        g_state.crashed = 0;
        DeleteObject(std::exchange(g_state.landerBitmap, nullptr));
        game.Draw();
        const int top = s.ellipseTop - 30, bottom = s.ellipseBottom - 30, mid = (top + bottom) / 2;
        EXPECT_EQ(kWhite, game.At(x, mid));
        for (const POINT& p : {POINT{x, top}, POINT{x, bottom - 1}, POINT{x - 10, mid}, POINT{x + 9, mid}}) {
            EXPECT_EQ(kBlack, game.At(p.x, p.y)) << p.x << "," << p.y;
        }
        for (const POINT& p : {POINT{x, top - 1}, POINT{x, bottom}, POINT{x - 11, mid}, POINT{x + 10, mid}}) {
            EXPECT_NE(kBlack, game.At(p.x, p.y)) << p.x << "," << p.y;
        }
    }
}

TEST(Drawing, LeavesNoGdiObjectBehind) {
    Game game(MakeFolder(kAll), 480, 640);
    HBITMAP strip = LoadTestPicture(L"strip95.gif"), sprite = LoadTestPicture(L"key_red.gif");
    Canvas canvas(40, 30);
    g_state.roundOver = 1;
    int before = 0;
    for (int i = 0; i <= 3000; ++i) {
        std::tie(g_state.thrusting, g_state.crashed, g_state.score, g_state.explosionFramesLeft) =
            std::make_tuple(i % 2, i % 3 == 0, i, 10 - i % 12);
        game.Draw();
        DrawTransparent(canvas.dc, sprite, i % 50 - 20, i % 30 - 10);
        DrawStripFrame(canvas.dc, strip, 3, 4, i % 10, 10);
        before = i == 0 ? FreeGdiSlots() : before; // once the platform has made its first-use objects
    }
    EXPECT_EQ(before, FreeGdiSlots()) << "GDI objects left alive by 3000 rounds of drawing";
    DeleteObject(strip);
    DeleteObject(sprite);
}

} // namespace
