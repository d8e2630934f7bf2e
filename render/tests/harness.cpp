#include "harness.h"

#include <wincodec.h>

namespace {

LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

} // namespace

std::wstring TestDataFile(const wchar_t* name) {
    return BesideThisProgram(L"render_test_data\\") + name;
}

std::wstring AssetFolder() {
    return BesideThisProgram(L"render_assets");
}

std::wstring MakeFolder(const std::wstring& name, const FileList& files) {
    const std::wstring root = TempPath(L"craterdip_render");
    CreateDirectoryW(root.c_str(), nullptr);
    std::wstring folder = root + L"\\" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    EmptyFolder(folder);
    for (const auto& file : files) {
        CopyFileW(file.first.c_str(), (folder + L"\\" + file.second).c_str(), FALSE);
    }
    return folder;
}

FileList GameFiles(bool large, bool small, bool background) {
    FileList files = {{TestDataFile(L"boom.gif"), L"explosion.gif"}};
    if (background) {
        files.push_back({TestDataFile(L"quadrants.gif"), L"back.gif"});
    }
    if (large) {
        files.push_back({TestDataFile(L"lander.gif"), L"mlander.gif"});
        files.push_back({TestDataFile(L"lander_fire.gif"), L"mlander_fire.gif"});
    }
    if (small) {
        files.push_back({TestDataFile(L"lander_small.gif"), L"mlander_small.gif"});
        files.push_back({TestDataFile(L"lander_fire_small.gif"), L"mlander_fire_small.gif"});
    }
    return files;
}

HWND CreateSceneWindow(int x, int y, int width, int height) {
    return CreateTestWindow(x, y, width, height, SceneWindowProc);
}

void ResetState(HWND window, int width, int height) {
    g_state = GameState();
    g_state.mainWindow = window;
    g_state.scaleX = static_cast<float>(width * (1.0 / 480));
    g_state.scaleY = static_cast<float>(height * (1.0 / 640));
}

void ReleaseAll() {
    ReleaseSprites();
    if (g_state.backBuffer != nullptr) {
        HGDIOBJ buffer = GetCurrentObject(g_state.backBuffer, OBJ_BITMAP);
        DeleteDC(g_state.backBuffer);
        DeleteObject(buffer);
    }
    g_state.backBuffer = nullptr;
    g_state.backgroundBitmap = g_state.landerBitmap = g_state.flameBitmap = g_state.explosionBitmap = nullptr;
}

Canvas::Canvas(int w, int h, COLORREF fill) : width(w), height(h) {
    BITMAPINFO info = TopDown32(w, h);
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
}

Canvas::~Canvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

COLORREF Canvas::At(int x, int y) const {
    return GetPixel(dc, x, y);
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, std::vector<DWORD>* raw) {
    const SIZE size = BitmapSize(bitmap);
    std::vector<DWORD> words(static_cast<size_t>(size.cx) * size.cy);
    BITMAPINFO info = TopDown32(size.cx, size.cy);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, size.cy, words.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> colours;
    for (DWORD w : words) {
        colours.push_back(RGB((w >> 16) & 0xFF, (w >> 8) & 0xFF, w & 0xFF));
    }
    if (raw != nullptr) {
        *raw = words;
    }
    return colours;
}

bool SaveRendering(const wchar_t* name, int width, int height) {
    HBITMAP buffer = static_cast<HBITMAP>(GetCurrentObject(g_state.backBuffer, OBJ_BITMAP));
    std::vector<DWORD> raw;
    BitmapPixels(buffer, &raw);
    const LONG stride = BitmapSize(buffer).cx;
    std::vector<DWORD> client;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            client.push_back(raw[static_cast<size_t>(y) * stride + x] | 0xFF000000); // opaque
        }
    }
    const std::wstring folder = BesideThisProgram(L"render_renderings");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name + L".png";

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    const bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
                    SUCCEEDED(factory->CreateStream(&stream)) &&
                    SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
                    SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
                    SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
                    SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
                    SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(width, height)) &&
                    SUCCEEDED(frame->SetPixelFormat(&format)) &&
                    IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) &&
                    SUCCEEDED(frame->WritePixels(height, width * 4, width * height * 4,
                                                 reinterpret_cast<BYTE*>(client.data()))) &&
                    SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    for (IUnknown* object : std::initializer_list<IUnknown*>{frame, encoder, stream, factory}) {
        if (object != nullptr) {
            object->Release();
        }
    }
    CoUninitialize();
    return ok;
}
