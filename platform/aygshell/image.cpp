// SHLoadImageFile: pictures through the Windows Imaging Component.
//
// The result is a top-down 32-bpp DIB section in BGR order whose fourth byte is 0 in every pixel. The
// transparency mask is made by a colour-to-monochrome BitBlt that compares whole pixels with the key
// colour; WIC fills the unused byte with 0xFF, and Wine compares all 32 bits, so left as it comes no pixel
// would ever match the key.
#include "aygshell.h"

#include <wincodec.h>

namespace {

// Larger pictures are refused rather than decoded: a game picture is screen-sized, and a forged header
// must not make us allocate gigabytes.
const UINT kMaxSide = 8192;
const UINT64 kMaxPixels = 16u * 1024u * 1024u;

template <typename T> void Release(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// Decodes frame 0 of the file into a new DIB section; null on any failure.
HBITMAP Decode(IWICImagingFactory* factory, LPCWSTR fileName) {
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    HBITMAP bitmap = nullptr;
    UINT width = 0;
    UINT height = 0;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(fileName, nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height)) && width > 0 &&
        height > 0 && width <= kMaxSide && height <= kMaxSide &&
        static_cast<UINT64>(width) * height <= kMaxPixels &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                        0.0, WICBitmapPaletteTypeCustom))) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = static_cast<LONG>(width);
        info.bmiHeader.biHeight = -static_cast<LONG>(height); // top-down, as WIC delivers the rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const UINT stride = width * 4;
        const UINT size = stride * height;
        if (bitmap != nullptr &&
            SUCCEEDED(converter->CopyPixels(nullptr, stride, size, static_cast<BYTE*>(bits)))) {
            DWORD* pixel = static_cast<DWORD*>(bits);
            for (UINT i = 0; i < width * height; ++i) {
                pixel[i] &= 0x00FFFFFF;
            }
            GdiFlush();
        } else if (bitmap != nullptr) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
    }
    Release(converter);
    Release(frame);
    Release(decoder);
    return bitmap;
}

} // namespace

AYGSHELL_API HBITMAP WINAPI SHLoadImageFile(LPCWSTR fileName) {
    if (fileName == nullptr || fileName[0] == L'\0') {
        return nullptr;
    }
    // The caller's thread may already be in either apartment; only a call that initialised COM here
    // undoes it.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HBITMAP bitmap = nullptr;
    IWICImagingFactory* factory = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))) {
        bitmap = Decode(factory, fileName);
        Release(factory);
    }
    if (SUCCEEDED(init)) {
        CoUninitialize();
    }
    return bitmap;
}
