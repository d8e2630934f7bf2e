// DrawScene, probed in the back buffer at coordinates worked out by hand from the layout, on four screens;
// the explosion's frame sequence; no GDI object outlives a drawing call; renderings for people to look at.
#include "harness.h"

#include "data/test_pictures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const COLORREF kPad = RGB(0, 0, 156);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);

// The layout of one screen, by hand: scaleX = width/480 and scaleY = height/640 in single precision.
struct Screen {
    int width, height;
    int padY, padWidth;            // trunc(515 sy), trunc(4 sy + 1)
    int leftOffset;                // trunc(25 sx)
    int spriteTop;                 // trunc(475 sy), 5 less when sy < 1 (at altitude 0)
    int explosionTop;              // trunc(475 sy)
    int ellipseTop, ellipseBottom; // trunc(490 sy), trunc(510 sy)
    RECT status, score;
    bool small;
};

const Screen kScreens[] = {
    {480, 640, 515, 5, 25, 475, 475, 490, 510, {310, 20, 480, 200}, {170, 300, 480, 400}, false},
    {240, 320, 257, 3, 12, 232, 237, 245, 255, {155, 20, 240, 100}, {85, 150, 240, 200}, true},
    // sy 1.25: 643.75, 6.0, 593.75, 612.5, 637.5; no lift
    {480, 800, 643, 6, 25, 593, 593, 612, 637, {310, 20, 480, 250}, {170, 375, 480, 500}, false},
    // sx 1.6666666 (float): 41.67, 516.67, 799.99998 (double), 283.3; sy 0.75: 386.25, 4.0, 356.25 - 5
    {800, 480, 386, 4, 41, 351, 356, 367, 382, {516, 20, 799, 150}, {283, 225, 799, 300}, true},
};

// The test pictures of the lander and its flame, indexed by the screen's `small`.
struct Sprite {
    int width, height;
    COLORREF colour;
};
const Sprite kLanders[] = {{kLanderWidth, kLanderHeight, kLanderColour},
                           {kLanderSmallWidth, kLanderSmallHeight, kLanderSmallColour}};
const Sprite kFlames[] = {{kLanderFireWidth, kLanderFireHeight, kLanderFireColour},
                          {kLanderFireSmallWidth, kLanderFireSmallHeight, kLanderFireSmallColour}};

class Scene {
  public:
    Scene(const Screen& s, bool background, bool lander)
        : Scene(s, MakeFolder(L"scene", GameFiles(lander, lander, background))) {}
    Scene(const Screen& s, const std::wstring& folder) : screen(s) {
        window = CreateSceneWindow(0, 0, s.width, s.height);
        ResetState(window, s.width, s.height);
        folder.copy(g_state.installDir, kInstallDirLength - 1);
        RECT rect;
        GetWindowRect(window, &rect);
        LoadGraphics(rect);
        // A round in flight, away from the text and the pad.
        g_state.landerX = s.width / 2;
        g_state.altitude = 60;
        g_state.padLeft = s.width / 10;
        g_state.padRight = s.width / 3;
        g_state.fuel = 240;
        g_state.speed = 12.0;
    }
    ~Scene() {
        ReleaseAll();
        DestroyWindow(window);
    }
    COLORREF At(int x, int y) const { return GetPixel(g_state.backBuffer, x, y); }
    void Draw() { DrawScene(window); }

    // The pixels of the buffer that have exactly `colour`, as a mask.
    std::vector<bool> Mask(COLORREF colour, HDC dc = g_state.backBuffer) const {
        std::vector<bool> mask;
        for (int y = 0; y < screen.height; ++y) {
            for (int x = 0; x < screen.width; ++x) {
                mask.push_back(GetPixel(dc, x, y) == colour);
            }
        }
        return mask;
    }

    // The same mask for `lines` drawn by the platform in the default font into `rect`, one under the other.
    std::vector<bool> TextMask(RECT rect, std::vector<std::wstring> lines, COLORREF colour) const {
        Canvas canvas(screen.width, screen.height, RGB(0, 0, 0));
        SetBkMode(canvas.dc, TRANSPARENT);
        SetTextColor(canvas.dc, colour);
        for (const std::wstring& line : lines) {
            rect.top += DrawTextW(canvas.dc, line.c_str(), -1, &rect, DT_SINGLELINE | DT_NOPREFIX);
        }
        return Mask(colour, canvas.dc);
    }

    // The sprite w x h of `colour` (key in its top-left pixel only) has its corner at (left, top).
    void ExpectSprite(int left, int top, const Sprite& sprite) const {
        const int w = sprite.width, h = sprite.height;
        const COLORREF colour = sprite.colour;
        EXPECT_NE(colour, At(left, top)) << "the key pixel is transparent";
        EXPECT_EQ(colour, At(left + 1, top));
        EXPECT_EQ(colour, At(left, top + 1));
        EXPECT_EQ(colour, At(left + w - 1, top + h - 1));
        EXPECT_NE(colour, At(left - 1, top + 1));
        EXPECT_NE(colour, At(left + 1, top - 1));
        EXPECT_NE(colour, At(left + w, top + h - 1));
        EXPECT_NE(colour, At(left + w - 1, top + h));
    }

    const Screen& screen;
    HWND window;
};

TEST(DrawScene, LayoutOnEachScreen) {
    for (const Screen& s : kScreens) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        Scene scene(s, true, true);
        scene.Draw();

        // Background stretched over the client area: one probe per quadrant.
        EXPECT_EQ(kQuadrantColours[0], scene.At(5, 5));
        EXPECT_EQ(kQuadrantColours[1], scene.At(s.width - 5, s.height / 2 - 5));
        EXPECT_EQ(kQuadrantColours[2], scene.At(5, s.height - 5));
        EXPECT_EQ(kQuadrantColours[3], scene.At(s.width - 5, s.height - 5));

        // Pad: exactly padWidth rows of its colour through padY, from padLeft to padRight (the round caps
        // of a wide pen reach past the ends, so the probes stay a pen width inside and outside).
        const int middle = (g_state.padLeft + g_state.padRight) / 2;
        int rows = 0;
        for (int y = s.padY - 10; y <= s.padY + 10; ++y) {
            rows += scene.At(middle, y) == kPad;
        }
        EXPECT_EQ(s.padWidth, rows);
        EXPECT_EQ(kPad, scene.At(middle, s.padY));
        EXPECT_EQ(kPad, scene.At(g_state.padLeft + s.padWidth, s.padY));
        EXPECT_EQ(kPad, scene.At(g_state.padRight - s.padWidth, s.padY));
        EXPECT_NE(kPad, scene.At(g_state.padLeft - s.padWidth - 1, s.padY));
        EXPECT_NE(kPad, scene.At(g_state.padRight + s.padWidth + 1, s.padY));

        // Lander sprite of the chosen size, with the lift on shrunken screens.
        const int left = g_state.landerX - s.leftOffset;
        scene.ExpectSprite(left, s.spriteTop - 60, kLanders[s.small]);

        // Status text in white, no score.
        EXPECT_EQ(scene.TextMask(s.status, {L"Speed: 12", L"Fuel:  240"}, kWhite), scene.Mask(kWhite));
        EXPECT_EQ(std::vector<bool>(s.width * s.height), scene.Mask(kRed));

        // Thrusting: the flame picture in the same place.
        g_state.thrusting = 1;
        scene.Draw();
        scene.ExpectSprite(left, s.spriteTop - 60, kFlames[s.small]);

        // Landed at altitude 0 with a score: the score line in red in its own rectangle.
        g_state.thrusting = 0;
        g_state.altitude = 0;
        g_state.roundOver = 1;
        g_state.score = 1234;
        g_state.speed = 7.0;
        g_state.fuel = 100;
        scene.Draw();
        EXPECT_EQ(scene.TextMask(s.score, {L"Score:  1234"}, kRed), scene.Mask(kRed));
        EXPECT_EQ(scene.TextMask(s.status, {L"Speed: 7", L"Fuel:  100"}, kWhite), scene.Mask(kWhite));
        EXPECT_EQ(kLanders[s.small].colour, scene.At(left + 1, s.spriteTop));

        // Crashed: the first explosion frame, not lifted.
        g_state.crashed = 1;
        g_state.explosionFramesLeft = 10;
        g_state.altitude = 30;
        scene.Draw();
        scene.ExpectSprite(left, s.explosionTop - 30, {kBoomFrameWidth, kBoomHeight, kBoomColours[0]});
        EXPECT_EQ(9, g_state.explosionFramesLeft);
    }
}

TEST(DrawScene, FallbackShapesWithoutPictures) {
    for (const Screen& s : kScreens) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        {
            // No background: plain white, so the white status text cannot be seen.
            Scene scene(s, false, false);
            scene.Draw();
            EXPECT_EQ(kWhite, scene.At(0, 0));
            EXPECT_EQ(kWhite, scene.At(s.width - 1, s.height - 1));
            EXPECT_EQ(kWhite, scene.At(s.status.left + 2, 25));
        }
        // No lander: a white disc with a black outline, 20 px wide whatever the screen, on the background.
        Scene scene(s, true, false);
        scene.Draw();
        const int x = g_state.landerX;
        const int top = s.ellipseTop - 60;
        const int bottom = s.ellipseBottom - 60;
        EXPECT_EQ(kWhite, scene.At(x, (top + bottom) / 2));
        EXPECT_EQ(RGB(0, 0, 0), scene.At(x, top));
        EXPECT_EQ(RGB(0, 0, 0), scene.At(x, bottom - 1));
        EXPECT_EQ(RGB(0, 0, 0), scene.At(x - 10, (top + bottom) / 2));
        EXPECT_EQ(RGB(0, 0, 0), scene.At(x + 9, (top + bottom) / 2));
        EXPECT_NE(RGB(0, 0, 0), scene.At(x, top - 1));
        EXPECT_NE(RGB(0, 0, 0), scene.At(x, bottom));
        EXPECT_NE(RGB(0, 0, 0), scene.At(x - 11, (top + bottom) / 2));
        EXPECT_NE(RGB(0, 0, 0), scene.At(x + 10, (top + bottom) / 2));

        // Thrusting without a flame picture but with the lander: nothing at all for the lander.
        DeleteObject(g_state.flameBitmap);
        g_state.flameBitmap = nullptr;
        g_state.landerBitmap = SHLoadImageFile(TestDataFile(L"lander.gif").c_str());
        g_state.thrusting = 1;
        scene.Draw();
        for (int y = top - 40; y < bottom + 10; ++y) {
            for (int dx = -30; dx <= 30; ++dx) {
                const COLORREF c = scene.At(x + dx, y);
                ASSERT_TRUE(c == kQuadrantColours[0] || c == kQuadrantColours[1] ||
                            c == kQuadrantColours[2] || c == kQuadrantColours[3])
                    << "something drawn at " << x + dx << "," << y;
            }
        }
    }
}

TEST(DrawScene, TextFormatsAndWhenTheScoreShows) {
    const Screen& s = kScreens[0];
    const struct {
        double speed;
        int fuel, roundOver, score;
        const wchar_t *speedLine, *fuelLine, *scoreLine; // null: no score line
    } cases[] = {
        {3.9, 240, 0, 0, L"Speed: 3", L"Fuel:  240", nullptr},
        {-2.5, 0, 0, 0, L"Speed: -2", L"Fuel:  0", nullptr},
        {50.0, -3, 1, 0, L"Speed: 50", L"Fuel:  -3", nullptr}, // round over, score 0: no line
        {7.0, 12, 0, 555, L"Speed: 7", L"Fuel:  12", nullptr}, // score but round not over
        {7.99, 12, 1, 555, L"Speed: 7", L"Fuel:  12", L"Score:  555"},
        {-0.5, 1, 1, -50, L"Speed: 0", L"Fuel:  1", L"Score:  -50"},
        {1e12, 2147483647, 1, -2147483647 - 1, L"Speed: 2147483647", L"Fuel:  2147483647",
         L"Score:  -2147483648"},
    };
    Scene scene(s, true, true);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.speed << " " << c.fuel << " " << c.score);
        g_state.speed = c.speed;
        g_state.fuel = c.fuel;
        g_state.roundOver = c.roundOver;
        g_state.score = c.score;
        scene.Draw();
        EXPECT_EQ(scene.TextMask(s.status, {c.speedLine, c.fuelLine}, kWhite), scene.Mask(kWhite));
        std::vector<std::wstring> score;
        if (c.scoreLine != nullptr) {
            score.push_back(c.scoreLine);
        }
        EXPECT_EQ(scene.TextMask(s.score, score, kRed), scene.Mask(kRed));
    }
}

TEST(DrawScene, ExplosionShowsTenFramesThenNothingWhileTheCounterFalls) {
    const Screen& s = kScreens[1]; // a shrunken screen: the explosion still gets no lift
    Scene scene(s, true, true);
    g_state.crashed = 1;
    g_state.roundOver = 1;
    g_state.explosionFramesLeft = 10;
    g_state.altitude = 0;
    const int left = g_state.landerX - s.leftOffset;
    for (int paint = 1; paint <= 13; ++paint) {
        SCOPED_TRACE(testing::Message() << "paint " << paint);
        scene.Draw();
        EXPECT_EQ(10 - paint, g_state.explosionFramesLeft);
        if (paint <= 10) {
            scene.ExpectSprite(left, s.explosionTop, {kBoomFrameWidth, kBoomHeight, kBoomColours[paint - 1]});
        } else {
            for (COLORREF frame : kBoomColours) {
                EXPECT_NE(frame, scene.At(left + 1, s.explosionTop + 1));
            }
            EXPECT_NE(kBoomSpareColour, scene.At(left + 1, s.explosionTop + 1)) << "a frame beyond the tenth";
            EXPECT_NE(kLanderSmallColour, scene.At(left + 1, s.explosionTop + 1));
        }
    }
    // No explosion picture: nothing drawn, the counter still falls.
    DeleteObject(g_state.explosionBitmap);
    g_state.explosionBitmap = nullptr;
    g_state.explosionFramesLeft = 10;
    scene.Draw();
    EXPECT_EQ(9, g_state.explosionFramesLeft);
    EXPECT_EQ(kQuadrantColours[2], scene.At(left + 1, s.explosionTop + 1));
}

TEST(DrawScene, CopiesTheWholeClientAreaToTheWindow) {
    Scene scene(kScreens[1], true, true);
    scene.Draw();
    HDC window = GetDC(scene.window);
    for (const POINT& p : {POINT{5, 5}, POINT{120, 257}, POINT{239, 319}, POINT{160, 30}}) {
        EXPECT_EQ(scene.At(p.x, p.y), GetPixel(window, p.x, p.y)) << p.x << "," << p.y;
    }
    ReleaseDC(scene.window, window);
}

TEST(Drawing, LeavesNoGdiObjectBehind) {
    Scene scene(kScreens[0], true, true);
    HBITMAP strip = SHLoadImageFile(TestDataFile(L"strip95.gif").c_str());
    HBITMAP sprite = SHLoadImageFile(TestDataFile(L"key_red.gif").c_str());
    Canvas canvas(40, 30, 0);
    auto drawAll = [&](int i) {
        g_state.thrusting = i % 2;
        g_state.crashed = i % 3 == 0;
        g_state.roundOver = 1;
        g_state.score = i;
        g_state.explosionFramesLeft = 10 - i % 12;
        scene.Draw();
        DrawTransparent(canvas.dc, sprite, i % 50 - 20, i % 30 - 10);
        DrawStripFrame(canvas.dc, strip, 3, 4, i % 10, 10);
    };
    drawAll(0); // the platform's first-use objects
    const int before = FreeGdiSlots();
    for (int i = 0; i < 3000; ++i) {
        drawAll(i);
    }
    EXPECT_EQ(before, FreeGdiSlots()) << "GDI objects left alive by 3000 rounds of drawing";
    DeleteObject(strip);
    DeleteObject(sprite);
}

// Writes PNGs of typical frames, with the game's pictures and without any, into the build tree.
TEST(Renderings, RepresentativeFramesWithTheGamesPictures) {
    const struct {
        const wchar_t* name;
        int landerX, altitude, thrusting, roundOver, crashed, score, framesLeft; // on the 480 x 640 layout
        double speed;
    } frames[] = {{L"flying", 220, 213, 0, 0, 0, 0, 10, 14.0},
                  {L"thrusting", 230, 80, 1, 0, 0, 0, 10, 6.5},
                  {L"landed", 222, 0, 0, 1, 0, 1540, 10, 3.0},
                  {L"explosion4", 330, 0, 0, 1, 1, 0, 6, 19.0}};
    for (const Screen& s : {kScreens[0], kScreens[1]}) {
        for (const wchar_t* set : {L"", L"missing_pictures_"}) {
            Scene scene(s, *set ? MakeFolder(L"nothing") : AssetFolder());
            const double scale = g_state.scaleX;
            g_state.padLeft = static_cast<int>(172 * scale);
            g_state.padRight = static_cast<int>(272 * scale);
            g_state.fuel = 188;
            for (const auto& f : frames) {
                g_state.landerX = static_cast<int>(f.landerX * scale);
                g_state.altitude = static_cast<int>(f.altitude * scale);
                g_state.thrusting = f.thrusting;
                g_state.roundOver = f.roundOver;
                g_state.crashed = f.crashed;
                g_state.score = f.score;
                g_state.explosionFramesLeft = f.framesLeft;
                g_state.speed = f.speed;
                scene.Draw();
                const std::wstring name = set + std::wstring(f.name) + L"_" + std::to_wstring(s.width) +
                                          L"x" + std::to_wstring(s.height);
                EXPECT_TRUE(SaveRendering(name.c_str(), s.width, s.height));
            }
        }
    }
}

} // namespace
