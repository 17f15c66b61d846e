// Controls: pictures saved as JPEG files. The picture's bitmap is encoded in
// memory, then written in one go: a refused target leaves no half-written file.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wincodec.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/jpeg.h"
#include "runtime/com_ptr.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/limits.h"
#include "runtime/latebind.h"
#include "runtime/process.h"

using std::max;
using std::min;
#include <gdiplus.h>

namespace qm {

namespace jpeg {

namespace {

namespace gp = Gdiplus::DllExports;

// "{557CF401-1A04-11D3-9A73-0000F81EF32E}" and "{1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}".
constexpr CLSID kGdipJpeg{0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID kGdipQuality{0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
constexpr ULONG kGdipLong = 4;  // EncoderParameterValueTypeLong

constexpr CLSID kWicFactory{0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID kWicJpeg{0x19e4a5aa, 0x5662, 0x4fc5, {0xa0, 0xc0, 0x17, 0x58, 0x02, 0x8e, 0x10, 0x57}};
constexpr GUID kWicBgr24{0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0c}};

// One GDI+ session.
class GdiPlus {
public:
    GdiPlus() {
        Gdiplus::GdiplusStartupInput input;  // version 1, no callback, background thread and codecs on
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiPlus() {
        if (ok_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiPlus(const GdiPlus&) = delete;
    GdiPlus& operator=(const GdiPlus&) = delete;
    explicit operator bool() const noexcept { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

ComPtr<IStream> memory_stream() {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) raise(err::OutOfMemory);
    return stream;
}

std::string bytes_of(IStream* stream) {
    HGLOBAL memory = nullptr;
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream, &memory))) return {};
    const auto* data = static_cast<const char*>(GlobalLock(memory));
    if (!data) return {};
    std::string bytes(data, static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return bytes;
}

// The bitmap's description; false when the handle is no bitmap.
bool bitmap_info(HBITMAP bitmap, BITMAP& info) {
    return bitmap && GetObjectW(bitmap, sizeof(info), &info) == sizeof(info);
}

std::string gdiplus_encode(HBITMAP bitmap, unsigned quality) {
    GdiPlus session;
    if (!session) return {};
    Gdiplus::GpBitmap* image = nullptr;
    if (gp::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) != Gdiplus::Ok) raise(481);
    ULONG value = quality;
    Gdiplus::EncoderParameters params{};
    params.Count = 1;
    params.Parameter[0].Guid = kGdipQuality;
    params.Parameter[0].NumberOfValues = 1;
    params.Parameter[0].Type = kGdipLong;
    params.Parameter[0].Value = &value;
    ComPtr<IStream> stream = memory_stream();
    const bool saved = gp::GdipSaveImageToStream(image, stream.get(), &kGdipJpeg, &params) == Gdiplus::Ok;
    gp::GdipDisposeImage(image);
    return saved ? bytes_of(stream.get()) : std::string();
}

std::string wic_encode(HBITMAP bitmap, unsigned quality) {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(kWicFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void())))
        return {};
    ComPtr<IWICBitmap> source;
    if (FAILED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, source.put()))) raise(481);
    ComPtr<IWICFormatConverter> bgr;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    ComPtr<IStream> stream = memory_stream();
    UINT width = 0, height = 0;
    WICPixelFormatGUID format = kWicBgr24;
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_R4;
    V_R4(&value) = static_cast<float>(quality) / 100.0f;
    const bool saved =
        SUCCEEDED(factory->CreateFormatConverter(bgr.put())) &&
        SUCCEEDED(bgr->Initialize(source.get(), kWicBgr24, WICBitmapDitherTypeNone, nullptr, 0,
                                  WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(factory->CreateEncoder(kWicJpeg, nullptr, encoder.put())) &&
        SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame.put(), options.put())) &&
        SUCCEEDED(options->Write(1, &option, &value)) && SUCCEEDED(frame->Initialize(options.get())) &&
        SUCCEEDED(bgr->GetSize(&width, &height)) && SUCCEEDED(frame->SetSize(width, height)) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) && format == kWicBgr24 &&
        SUCCEEDED(frame->WriteSource(bgr.get(), nullptr)) && SUCCEEDED(frame->Commit()) &&
        SUCCEEDED(encoder->Commit());
    return saved ? bytes_of(stream.get()) : std::string();
}

// A small bitmap of noise, which every quality setting encodes differently.
HBITMAP noise_bitmap() {
    constexpr int kSide = 32;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, -kSide, 1, 24, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return nullptr;
    unsigned seed = 12345;
    auto* p = static_cast<BYTE*>(bits);
    for (int i = 0; i < kSide * kSide * 3; ++i) {
        seed = seed * 1103515245u + 12345u;
        p[i] = static_cast<BYTE>(seed >> 16);
    }
    return bitmap;
}

bool honours_quality(Encoder encoder, HBITMAP probe) {
    try {
        const std::string low = encode(probe, 5, encoder), high = encode(probe, 95, encoder);
        return !low.empty() && !high.empty() && low.size() < high.size();
    } catch (...) {
        return false;
    }
}

void write_file(const std::wstring& path, const std::string& bytes) {
    process::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) raise(err::PathFileAccess);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        file.reset();
        DeleteFileW(path.c_str());
        raise(err::PathFileAccess);
    }
}

}  // namespace

std::string encode(HBITMAP bitmap, unsigned quality, Encoder encoder) {
    BITMAP info{};
    if (!bitmap_info(bitmap, info)) raise(481);
    // The encoders copy it into an image of its size: one the library's images
    // may not be is refused before (480).
    forms::check_image(info.bmWidth, info.bmHeight);
    quality = std::min(quality, 100u);
    return encoder == Encoder::GdiPlus ? gdiplus_encode(bitmap, quality) : wic_encode(bitmap, quality);
}

Choice choice() {
    static std::once_flag once;
    static Choice chosen{Encoder::GdiPlus, false};
    std::call_once(once, [] {
        HBITMAP probe = noise_bitmap();
        if (!probe) return;
        if (honours_quality(Encoder::GdiPlus, probe))
            chosen = {Encoder::GdiPlus, true};
        else if (honours_quality(Encoder::Wic, probe))
            chosen = {Encoder::Wic, true};
        DeleteObject(probe);
    });
    return chosen;
}

}  // namespace jpeg

// Qualities above 100 count as 100. A picture without a bitmap is 481, a file
// that cannot be made or written 75.
HRESULT Controls::PictureBox_SaveJPG(IPictureDisp** Picture, BSTR File, BYTE Quality, long* result) {
    return trapped(Trap{Source::Grafic, L"PictureSaveJPG"}, result, ErrorNumberResult{}, [&](Trap& trap) {
        const std::wstring path(text_of(File));
        trap.extra = path;
        if (!Picture || !*Picture) raise(err::ObjectNotSet);
        OLE_HANDLE handle = 0;
        ComPtr<IPicture> picture;
        if (SUCCEEDED((*Picture)->QueryInterface(IID_IPicture, picture.put_void())))
            picture->get_Handle(&handle);
        else
            handle = static_cast<OLE_HANDLE>(CLng(late::get(*Picture, L"Handle")));
        const auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
        const std::string bytes = jpeg::encode(bitmap, Quality, jpeg::choice().encoder);
        if (bytes.empty()) raise(err::PathFileAccess);
        jpeg::write_file(path, bytes);
        return 0L;
    });
}

}  // namespace qm
