// Transparent drawing, strip frames and picture loading, with pictures that came through the picture
// loader from real GIF files.
#include "harness.h"

#include "data/test_pictures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const COLORREF kKeyRedKey = RGB(255, 0, 0);

// A background in which every pixel differs, so "unchanged" is seen pixel by pixel.
COLORREF Background(int x, int y) {
    return RGB(x * 7 + 3, y * 11 + 5, 77);
}

void PaintBackground(Canvas& canvas) {
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            SetPixel(canvas.dc, x, y, Background(x, y));
        }
    }
}

// Compares the whole canvas with the picture `sprite` (w x h, COLORREF rows) drawn at (x0, y0), where
// sprite pixels equal to `key` leave the background.
void ExpectDrawn(const Canvas& canvas, const COLORREF* sprite, int stride, int w, int h, int x0, int y0,
                 COLORREF key) {
    int wrong = 0;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            COLORREF expected = Background(x, y);
            if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) {
                const COLORREF s = sprite[(y - y0) * stride + (x - x0)];
                if (s != key) {
                    expected = s;
                }
            }
            if (canvas.At(x, y) != expected && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << ": expected " << std::hex << expected << " got "
                              << canvas.At(x, y);
            }
        }
    }
    EXPECT_EQ(0, wrong) << "drawn at " << x0 << "," << y0;
}

TEST(DrawTransparent, KeyIsExactAndTransparentWhereverItStandsAndClipsAtEveryEdge) {
    HBITMAP sprite = SHLoadImageFile(TestDataFile(L"key_red.gif").c_str());
    ASSERT_NE(nullptr, sprite);
    // On a 30 x 20 target: inside, across each edge, a corner pixel only, and wholly outside.
    const POINT positions[] = {{0, 0},   {7, 5},    {-5, -3}, {20, 14}, {-15, 2}, {3, -9},
                               {29, 19}, {-15, -9}, {30, 0},  {0, 20},  {-16, 0}, {0, -10}};
    for (const POINT& p : positions) {
        Canvas canvas(30, 20, 0);
        PaintBackground(canvas);
        SetBkColor(canvas.dc, RGB(1, 2, 3));
        SetTextColor(canvas.dc, RGB(4, 5, 6));
        DrawTransparent(canvas.dc, sprite, p.x, p.y);
        ExpectDrawn(canvas, kKeyRed, kKeyRedWidth, kKeyRedWidth, kKeyRedHeight, p.x, p.y, kKeyRedKey);
        EXPECT_EQ(RGB(1, 2, 3), GetBkColor(canvas.dc)) << "the target's colours are given back";
        EXPECT_EQ(RGB(4, 5, 6), GetTextColor(canvas.dc));
    }
    // A null target or bitmap does nothing.
    Canvas canvas(30, 20, 0);
    PaintBackground(canvas);
    DrawTransparent(nullptr, sprite, 0, 0);
    DrawTransparent(canvas.dc, nullptr, 0, 0);
    ExpectDrawn(canvas, nullptr, 0, 0, 0, 0, 0, 0);
    DeleteObject(sprite);
}

TEST(DrawStripFrame, FramesAreEquallyWideAndEachKeyedByItsOwnCorner) {
    HBITMAP strip = SHLoadImageFile(TestDataFile(L"strip95.gif").c_str());
    const std::vector<COLORREF> pixels = BitmapPixels(strip);
    ASSERT_EQ(size_t(kStripWidth * kStripHeight), pixels.size());
    const struct {
        int frameIndex, frameCount, firstColumn, frameWidth;
    } cases[] = {
        {0, 10, 0, 9},  {3, 10, 27, 9}, {9, 10, 81, 9}, // columns 90 to 94 are never shown
        {2, 5, 38, 19}, {0, 1, 0, 95},
    };
    for (const auto& c : cases) {
        for (const POINT& at : {POINT{2, 1}, POINT{-3, -2}}) {
            SCOPED_TRACE(testing::Message() << "frame " << c.frameIndex << " of " << c.frameCount);
            Canvas canvas(30, 10, 0);
            PaintBackground(canvas);
            DrawStripFrame(canvas.dc, strip, at.x, at.y, c.frameIndex, c.frameCount);
            ExpectDrawn(canvas, &pixels[c.firstColumn], kStripWidth, c.frameWidth, kStripHeight, at.x, at.y,
                        pixels[c.firstColumn]);
        }
    }
    // A strip narrower than its frame count, or none, draws nothing.
    HBITMAP narrow = SHLoadImageFile(TestDataFile(L"strip9.gif").c_str());
    ASSERT_NE(nullptr, narrow);
    Canvas canvas(30, 10, 0);
    PaintBackground(canvas);
    DrawStripFrame(canvas.dc, narrow, 0, 0, 0, 10);
    DrawStripFrame(canvas.dc, narrow, 0, 0, 9, 10);
    DrawStripFrame(canvas.dc, nullptr, 0, 0, 0, 10);
    ExpectDrawn(canvas, nullptr, 0, 0, 0, 0, 0, 0);
    DeleteObject(narrow);
    DeleteObject(strip);
}

// ---- FormAssetName ---------------------------------------------------------------------------------------

TEST(FormAssetName, FolderBackslashNameOrNothingWhenItDoesNotFit) {
    const struct {
        size_t folderLength;
        const wchar_t* format;
        bool fits;
    } cases[] = {
        {0, L"%ls\\back.gif", true},                  // the root of the current drive
        {236, L"%ls\\mlander_fire_small.gif", true},  // 259 units and the terminating zero
        {237, L"%ls\\mlander_fire_small.gif", false}, // one too many
        {237, L"%ls\\mlander_small.gif", true},
        {250, L"%ls\\back.gif", true},
        {251, L"%ls\\back.gif", false},
        {259, L"%ls\\explosion.gif", false},
    };
    for (const auto& c : cases) {
        const std::wstring folder(c.folderLength, L'f');
        g_state = GameState();
        folder.copy(g_state.installDir, c.folderLength);
        struct {
            wchar_t name[kAssetNameLength];
            wchar_t guard[16];
        } out;
        wmemset(out.name, L'x', kAssetNameLength);
        wmemset(out.guard, L'g', 16);
        const bool fits = FormAssetName(out.name, c.format);
        EXPECT_EQ(c.fits, fits) << c.folderLength << " "
                                << std::string(c.format, c.format + wcslen(c.format));
        std::wstring expected;
        if (c.fits) {
            expected = folder + (c.format + 3);
        }
        EXPECT_TRUE(expected == out.name) << c.folderLength;
        EXPECT_EQ(std::wstring(16, L'g'), std::wstring(out.guard, 16)) << "written past the name";
    }
}

// ---- LoadGraphics --------------------------------------------------------------------------------------

class Loading : public testing::Test {
  protected:
    // LoadGraphics from `folder` for a screen of width x height, with the window at `rect` (the screen's
    // size at (0, 0) unless given).
    void Load(const std::wstring& folder, int width, int height, RECT rect = {}) {
        TearDown();
        if (IsRectEmpty(&rect)) {
            rect = {0, 0, width, height};
        }
        window_ = CreateSceneWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        ResetState(window_, width, height);
        folder.copy(g_state.installDir, kInstallDirLength - 1);
        GetWindowRect(window_, &rect);
        LoadGraphics(rect);
    }
    void TearDown() override {
        ReleaseAll();
        DestroyWindow(window_);
        window_ = nullptr;
    }
    HWND window_ = nullptr;
};

int WidthOf(HBITMAP bitmap) {
    return bitmap == nullptr ? 0 : BitmapSize(bitmap).cx;
}

TEST_F(Loading, SpriteSizeFollowsTheScreenAndTheOtherSizeIsNeverTried) {
    const std::wstring both = MakeFolder(L"both", GameFiles(true, true));
    const std::wstring onlySmall = MakeFolder(L"onlySmall", GameFiles(false, true));
    const std::wstring onlyLarge = MakeFolder(L"onlyLarge", GameFiles(true, false));
    const struct {
        int width, height;
        bool small;
    } screens[] = {
        {480, 640, false}, {240, 320, true},
        {384, 512, false}, // both scales 0.8 in single precision: a little above the double 0.8
        {383, 640, true},  // scaleX alone below 0.8
        {480, 511, true},  // scaleY alone below 0.8
        {800, 480, true},
    };
    for (const auto& s : screens) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        Load(both, s.width, s.height);
        EXPECT_EQ(s.small ? 25 : 50, WidthOf(g_state.landerBitmap));
        EXPECT_EQ(s.small ? kLanderFireSmallHeight : kLanderFireHeight, BitmapSize(g_state.flameBitmap).cy);
        EXPECT_EQ(48, WidthOf(g_state.backgroundBitmap));
        EXPECT_EQ(kBoomWidth, WidthOf(g_state.explosionBitmap));

        // Without the files of the chosen size both lander pictures stay null.
        Load(s.small ? onlyLarge : onlySmall, s.width, s.height);
        EXPECT_EQ(nullptr, g_state.landerBitmap);
        EXPECT_EQ(nullptr, g_state.flameBitmap);
        EXPECT_NE(nullptr, g_state.backgroundBitmap);
        EXPECT_NE(nullptr, g_state.explosionBitmap);
    }
}

TEST_F(Loading, BufferReachesTheWindowsRightAndBottomEdges) {
    const struct {
        RECT window;
        int bufferWidth, bufferHeight;
    } cases[] = {{{0, 0, 480, 588}, 480, 588}, {{10, 20, 110, 70}, 110, 70}, {{0, 26, 240, 294}, 240, 294}};
    for (const auto& c : cases) {
        Load(L"C:\\no such folder", 480, 640, c.window);
        ASSERT_NE(nullptr, g_state.backBuffer);
        const SIZE size = BitmapSize(static_cast<HBITMAP>(GetCurrentObject(g_state.backBuffer, OBJ_BITMAP)));
        EXPECT_EQ(c.bufferWidth, size.cx);
        EXPECT_EQ(c.bufferHeight, size.cy);
        // A folder that does not exist: every picture null, the buffer made all the same.
        for (HBITMAP picture :
             {g_state.backgroundBitmap, g_state.landerBitmap, g_state.flameBitmap, g_state.explosionBitmap}) {
            EXPECT_EQ(nullptr, picture);
        }
    }
}

TEST_F(Loading, EmptyFolderMeansTheRootOfTheCurrentDrive) {
    // The current drive is the one of the temporary folder (inside the test's own Wine prefix).
    const std::wstring folder = MakeFolder(L"cwd");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    const std::wstring root = folder.substr(0, 3); // "C:\"
    CopyFileW(TestDataFile(L"quadrants.gif").c_str(), (root + L"back.gif").c_str(), FALSE);
    CopyFileW(TestDataFile(L"lander.gif").c_str(), (root + L"mlander.gif").c_str(), FALSE);

    Load(L"", 480, 640);
    EXPECT_EQ(48, WidthOf(g_state.backgroundBitmap));
    EXPECT_EQ(50, WidthOf(g_state.landerBitmap));
    EXPECT_EQ(nullptr, g_state.flameBitmap);

    DeleteFileW((root + L"back.gif").c_str());
    DeleteFileW((root + L"mlander.gif").c_str());
    SetCurrentDirectoryW(previous);
}

TEST_F(Loading, NameThatDoesNotFitIsAMissingPicture) {
    // A folder of 237 units: every name fits but "\mlander_fire_small.gif". A file named like the cut name
    // must not be taken for it.
    const std::wstring base = MakeFolder(L"long");
    const std::wstring folder = base + L"\\" + std::wstring(237 - base.size() - 1, L'd');
    ASSERT_EQ(237u, folder.size());
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const auto& file : GameFiles(false, true)) {
        CopyFileW(file.first.c_str(), (folder + L"\\" + file.second).c_str(), FALSE);
    }
    CopyFileW(TestDataFile(L"lander_fire_small.gif").c_str(), (folder + L"\\mlander_fire_small.gi").c_str(),
              FALSE);

    Load(folder, 240, 320);
    EXPECT_EQ(25, WidthOf(g_state.landerBitmap)) << "a name of 259 units still fits";
    EXPECT_EQ(nullptr, g_state.flameBitmap);
    EXPECT_NE(nullptr, g_state.backgroundBitmap);
    EXPECT_NE(nullptr, g_state.explosionBitmap);
}

TEST_F(Loading, UnreadablePicturesStayNullAndTheFallbacksAreDrawn) {
    const std::wstring folder = MakeFolder(L"broken", GameFiles(false, false, false));
    WriteBytes(folder + L"\\back.gif", "");
    WriteBytes(folder + L"\\mlander.gif", std::string("GIF89a\x32\x00", 8));
    WriteBytes(folder + L"\\mlander_fire.gif", "not a picture");

    Load(folder, 480, 640);
    EXPECT_EQ(nullptr, g_state.backgroundBitmap);
    EXPECT_EQ(nullptr, g_state.landerBitmap);
    EXPECT_EQ(nullptr, g_state.flameBitmap);
    EXPECT_NE(nullptr, g_state.explosionBitmap);
    DrawScene(window_);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(g_state.backBuffer, 0, 0)) << "the white fallback background";
}

} // namespace
