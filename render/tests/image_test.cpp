// The picture loader: exact colours out of real GIF files, the unused byte cleared, and null for every kind
// of file that is not a usable picture.
#include "harness.h"

#include "data/test_pictures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

TEST(SHLoadImageFile, GivesTheEncodedColoursWithTheUnusedByteClear) {
    HBITMAP bitmap = SHLoadImageFile(TestDataFile(L"key_red.gif").c_str());
    ASSERT_NE(nullptr, bitmap);
    const SIZE size = BitmapSize(bitmap);
    EXPECT_EQ(kKeyRedWidth, size.cx);
    EXPECT_EQ(kKeyRedHeight, size.cy);
    std::vector<DWORD> raw;
    const std::vector<COLORREF> pixels = BitmapPixels(bitmap, &raw);
    ASSERT_EQ(std::size(kKeyRed), pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        EXPECT_EQ(kKeyRed[i], pixels[i]) << "pixel " << i % kKeyRedWidth << "," << i / kKeyRedWidth;
        // Wine compares all 32 bits in the colour-to-monochrome blit: a set top byte defeats the key.
        EXPECT_EQ(0u, raw[i] >> 24) << "pixel " << i;
    }
    DeleteObject(bitmap);
}

TEST(SHLoadImageFile, LoadsEveryPictureOfTheGame) {
    const struct {
        const wchar_t* name;
        int width, height;
    } pictures[] = {{L"back.gif", 480, 640},
                    {L"mlander.gif", 50, 40},
                    {L"mlander_fire.gif", 50, 62},
                    {L"mlander_small.gif", 25, 25},
                    {L"mlander_fire_small.gif", 25, 38},
                    {L"explosion.gif", 500, 50}};
    for (const auto& p : pictures) {
        HBITMAP bitmap = SHLoadImageFile((AssetFolder() + L"\\" + p.name).c_str());
        ASSERT_NE(nullptr, bitmap) << p.name;
        EXPECT_EQ(p.width, BitmapSize(bitmap).cx) << p.name;
        EXPECT_EQ(p.height, BitmapSize(bitmap).cy) << p.name;
        if (p.width != 480) {
            // The sprites' key colour stands in the top-left pixel (and in each explosion frame's).
            const std::vector<COLORREF> pixels = BitmapPixels(bitmap);
            EXPECT_EQ(RGB(255, 0, 255), pixels[0]) << p.name;
            if (p.width == 500) {
                for (int f = 1; f < 10; ++f) {
                    EXPECT_EQ(RGB(255, 0, 255), pixels[f * 50]) << "frame " << f;
                }
            }
        }
        DeleteObject(bitmap);
    }
}

TEST(SHLoadImageFile, NullForAnythingThatIsNotAPicture) {
    const std::wstring folder = MakeFolder(L"loader");
    // A real GIF cut short, one with a forged 10000 x 10000 header, one of zero bytes, and text.
    std::ifstream file(TestDataFile(L"key_red.gif").c_str(), std::ios::binary);
    const std::string gif((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(gif.size(), 40u);
    WriteBytes(folder + L"\\header_only.gif", gif.substr(0, 13));
    WriteBytes(folder + L"\\cut.gif", gif.substr(0, 40));
    WriteBytes(folder + L"\\empty.gif", "");
    WriteBytes(folder + L"\\text.gif", "GIF? no, just some text\r\n");
    CreateDirectoryW((folder + L"\\folder.gif").c_str(), nullptr);

    std::vector<std::wstring> names = {TestDataFile(L"huge_header.gif"), L"",
                                       L"\\\\?\\no such device\\x.gif"};
    for (const wchar_t* name : {L"missing", L"header_only", L"cut", L"empty", L"text", L"folder"}) {
        names.push_back(folder + L"\\" + name + L".gif");
    }
    for (const std::wstring& name : names) {
        HBITMAP bitmap = SHLoadImageFile(name.c_str());
        EXPECT_EQ(nullptr, bitmap) << std::string(name.begin(), name.end());
        DeleteObject(bitmap);
    }
    EXPECT_EQ(nullptr, SHLoadImageFile(nullptr));
}

TEST(SHLoadImageFile, WorksInEitherComApartmentAndLeavesTheCallersAlone) {
    // Already a multithreaded apartment: the loader must neither fail nor end the caller's COM.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    HBITMAP bitmap = SHLoadImageFile(TestDataFile(L"key_red.gif").c_str());
    EXPECT_NE(nullptr, bitmap);
    DeleteObject(bitmap);
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED)) << "COM still initialised";
    CoUninitialize();
    CoUninitialize();
}

} // namespace
