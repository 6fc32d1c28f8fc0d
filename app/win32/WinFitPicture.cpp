#include "app/win32/WinFitPicture.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "link/Text.h"

namespace fit {
namespace {

// Holds one COM interface and releases it.
template <typename T>
class TCom {
 public:
  TCom() = default;
  ~TCom() { Reset(); }
  TCom(const TCom&) = delete;
  TCom& operator=(const TCom&) = delete;
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  T** Out() {
    Reset();
    return &p_;
  }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// The most pixels a picture may have to be decoded here (256 MiB at four
// bytes a pixel). A header may claim any size; a few bytes claiming 30000 x
// 30000 must not take the machine's memory.
constexpr unsigned long long kMostPixels = 64ull << 20;

bool TooManyToDecode(UINT w, UINT h) { return static_cast<unsigned long long>(w) * h > kMostPixels; }

// The system's words for an error code, as UTF-8, without the line end.
std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ' || w.back() == L'.'))
    w.pop_back();
  if (!w.empty()) return Utf8(w);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return std::string("error ") + hex;
}

bool MakeFactory(TCom<IWICImagingFactory>& factory) {
  return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory.Out())));
}

// The file's decoder; the file is opened for reading only.
HRESULT OpenDecoder(IWICImagingFactory* factory, const std::wstring& path, TCom<IWICBitmapDecoder>& decoder) {
  return factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                            decoder.Out());
}

// A camera's turned photo stays upright: the transform its orientation tag asks for.
WICBitmapTransformOptions Orientation(IWICBitmapFrameDecode* frame) {
  TCom<IWICMetadataQueryReader> query;
  if (FAILED(frame->GetMetadataQueryReader(query.Out()))) return WICBitmapTransformRotate0;
  PROPVARIANT value;
  PropVariantInit(&value);
  WICBitmapTransformOptions t = WICBitmapTransformRotate0;
  if (SUCCEEDED(query->GetMetadataByName(L"/app1/ifd/{ushort=274}", &value)) && value.vt == VT_UI2) {
    const auto flipH = static_cast<int>(WICBitmapTransformFlipHorizontal);
    switch (value.uiVal) {
      case 2: t = WICBitmapTransformFlipHorizontal; break;
      case 3: t = WICBitmapTransformRotate180; break;
      case 4: t = WICBitmapTransformFlipVertical; break;
      case 5: t = static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate90 | flipH); break;
      case 6: t = WICBitmapTransformRotate90; break;
      case 7: t = static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate270 | flipH); break;
      case 8: t = WICBitmapTransformRotate270; break;
      default: break;
    }
  }
  PropVariantClear(&value);
  return t;
}

// The picture as three colour components, alpha laid over white.
struct TFlat {
  UINT width = 0, height = 0;
  std::vector<BYTE> bgr;  // rows of width * 3 bytes
};

HRESULT Flatten(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, TFlat& out) {
  IWICBitmapSource* source = frame;
  TCom<IWICBitmapFlipRotator> turned;
  const WICBitmapTransformOptions t = Orientation(frame);
  if (t != WICBitmapTransformRotate0 && SUCCEEDED(factory->CreateBitmapFlipRotator(turned.Out())) &&
      SUCCEEDED(turned->Initialize(frame, t)))
    source = turned.Get();
  TCom<IWICFormatConverter> converter;
  HRESULT hr = factory->CreateFormatConverter(converter.Out());
  if (SUCCEEDED(hr))
    hr = converter->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                               WICBitmapPaletteTypeCustom);
  if (SUCCEEDED(hr)) hr = converter->GetSize(&out.width, &out.height);
  if (FAILED(hr)) return hr;
  if (out.width == 0 || out.height == 0) return WINCODEC_ERR_BADIMAGE;
  if (TooManyToDecode(out.width, out.height)) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  std::vector<BYTE> bgra(static_cast<size_t>(out.width) * out.height * 4);
  hr = converter->CopyPixels(nullptr, out.width * 4, static_cast<UINT>(bgra.size()), bgra.data());
  if (FAILED(hr)) return hr;
  out.bgr.resize(static_cast<size_t>(out.width) * out.height * 3);
  for (size_t i = 0, n = static_cast<size_t>(out.width) * out.height; i < n; ++i) {
    const int a = bgra[4 * i + 3];
    for (int c = 0; c < 3; ++c)
      out.bgr[3 * i + c] = static_cast<BYTE>((bgra[4 * i + c] * a + 255 * (255 - a) + 127) / 255);
  }
  return S_OK;
}

// source as a baseline JPEG of this quality; empty when the encoder fails.
std::string EncodeJpeg(IWICImagingFactory* factory, IWICBitmapSource* source, int quality) {
  TCom<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out()))) return {};
  TCom<IWICBitmapEncoder> encoder;
  TCom<IWICBitmapFrameEncode> frame;
  TCom<IPropertyBag2> options;
  HRESULT hr = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Out());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Out(), options.Out());
  if (SUCCEEDED(hr) && options) {
    PROPBAG2 name{};
    name.pstrName = const_cast<wchar_t*>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    hr = options->Write(1, &name, &value);
  }
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.Get());
  UINT w = 0, h = 0;
  if (SUCCEEDED(hr)) hr = source->GetSize(&w, &h);
  if (SUCCEEDED(hr)) hr = frame->SetSize(w, h);
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (SUCCEEDED(hr)) hr = frame->WriteSource(source, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  STATSTG stat{};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return {};
  std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  LARGE_INTEGER start{};
  ULONG got = 0;
  if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) ||
      FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got)) || got != bytes.size())
    return {};
  return bytes;
}

// Within 640 x 640 with its aspect, the highest quality the page takes,
// smaller still when needed. Empty when nothing fits.
TFitEncoding EncodeFlatToFit(IWICImagingFactory* factory, const TFlat& flat) {
  TCom<IWICBitmap> whole;
  if (FAILED(factory->CreateBitmapFromMemory(flat.width, flat.height, GUID_WICPixelFormat24bppBGR, flat.width * 3,
                                             static_cast<UINT>(flat.bgr.size()), const_cast<BYTE*>(flat.bgr.data()),
                                             whole.Out())))
    return {};
  TCom<IWICBitmapScaler> scaler;
  UINT scaledW = 0, scaledH = 0;
  return EncodeToFit(static_cast<int>(flat.width), static_cast<int>(flat.height), [&](int w, int h, int q) {
    const UINT tw = static_cast<UINT>(w), th = static_cast<UINT>(h);
    if (tw == flat.width && th == flat.height) return EncodeJpeg(factory, whole.Get(), q);
    // One scaler for each size the search tries, then encoded at each quality.
    if (tw != scaledW || th != scaledH) {
      scaledW = scaledH = 0;
      if (FAILED(factory->CreateBitmapScaler(scaler.Out())) ||
          FAILED(scaler->Initialize(whole.Get(), tw, th, WICBitmapInterpolationModeFant)))
        return std::string();
      scaledW = tw, scaledH = th;
    }
    return EncodeJpeg(factory, scaler.Get(), q);
  });
}

// Writes bytes as a new file, checked on write, flush and close; a file
// that fails is removed. The error is the system's reason.
bool WriteWhole(const std::wstring& path, const std::string& bytes, std::string* error) {
  DeleteFileW(path.c_str());  // left by a killed run of the same process id
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = SystemText(GetLastError());
    return false;
  }
  DWORD wrote = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
            wrote == bytes.size() && FlushFileBuffers(file);
  DWORD err = ok ? 0 : GetLastError();
  if (!CloseHandle(file) && ok) {
    ok = false;
    err = GetLastError();
  }
  if (!ok) {
    *error = SystemText(err);
    DeleteFileW(path.c_str());
  }
  return ok;
}

std::wstring CopyName(const std::wstring& base, int n) {
  return n == 1 ? base + L"-fit.jpg" : base + L"-fit-" + std::to_wstring(n) + L".jpg";
}

}  // namespace

TComScope::TComScope() {
  // A thread already in the other apartment keeps it; the codecs work in both.
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  owned_ = SUCCEEDED(hr);
}

TComScope::~TComScope() {
  if (owned_) CoUninitialize();
}

bool TWinPictureFitter::CanFit(const std::string& path, pcscan::TJudgement* why) const {
  const pcscan::TJudgement j = pcscan::JudgeFile(3, path);
  if (why) *why = j;
  using pcscan::TReason;
  if (j.reason != TReason::TooLarge && j.reason != TReason::TooManyPixels && j.reason != TReason::WrongType &&
      j.reason != TReason::JpegLayout)
    return false;
  TComScope com;
  TCom<IWICImagingFactory> factory;
  TCom<IWICBitmapDecoder> decoder;
  UINT frames = 0;
  if (!MakeFactory(factory) || FAILED(OpenDecoder(factory.Get(), Wide(path), decoder)) ||
      FAILED(decoder->GetFrameCount(&frames)))
    return false;
  // More than one image is an animation, not a picture to fit.
  return frames <= 1;
}

TFitOutcome TWinPictureFitter::Fit(const std::string& path, const std::string& toDir) const {
  TFitOutcome r;
  if (!CanFit(path, &r.why)) {
    r.refusal = RefusalForUnfittable(r.why);
    return r;
  }
  TComScope com;
  TCom<IWICImagingFactory> factory;
  TCom<IWICBitmapDecoder> decoder;
  TCom<IWICBitmapFrameDecode> frame;
  TFlat flat;
  HRESULT hr = MakeFactory(factory) ? S_OK : REGDB_E_CLASSNOTREG;
  if (SUCCEEDED(hr)) hr = OpenDecoder(factory.Get(), Wide(path), decoder);
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.Out());
  if (SUCCEEDED(hr)) hr = Flatten(factory.Get(), frame.Get(), flat);
  if (FAILED(hr)) {
    r.refusal = TRefusal::NotReadable;
    r.detail = SystemText(static_cast<DWORD>(hr));
    return r;
  }
  const TFitEncoding fitted = EncodeFlatToFit(factory.Get(), flat);
  if (fitted.bytes.empty()) {
    r.refusal = TRefusal::NoFit;
    return r;
  }
  const std::string& bytes = fitted.bytes;
  r.width = fitted.width, r.height = fitted.height, r.quality = fitted.quality;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path original = fs::absolute(Utf8Path(path), ec);
  const fs::path dir = toDir.empty() ? original.parent_path() : Utf8Path(toDir);
  const std::wstring base = original.stem().wstring();
  // The bytes go to a part file first; only a copy written whole, flushed
  // and closed takes a final name, so no half copy ever carries one.
  const std::wstring part =
      (dir / (L"." + CopyName(base, 1) + L"." + std::to_wstring(GetCurrentProcessId()) + L".part")).wstring();
  std::string error;
  if (!WriteWhole(part, bytes, &error)) {
    r.refusal = TRefusal::WriteFailed;
    r.detail = error;
    return r;
  }
  for (int n = 1; n < 10000; ++n) {
    const fs::path name = dir / CopyName(base, n);
    // Without the replace flag a move never takes a name in use: it moves on to the next number.
    if (MoveFileExW(part.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH)) {
      r.path = PathUtf8(name);
      r.bytes = static_cast<int64_t>(bytes.size());
      return r;
    }
    const DWORD err = GetLastError();
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) continue;
    error = SystemText(err);
    break;
  }
  DeleteFileW(part.c_str());
  r.refusal = TRefusal::WriteFailed;
  r.detail = error;
  return r;
}

HBITMAP WinThumbnail(const std::wstring& path, int side) {
  TComScope com;
  TCom<IWICImagingFactory> factory;
  TCom<IWICBitmapDecoder> decoder;
  TCom<IWICBitmapFrameDecode> frame;
  TCom<IWICFormatConverter> converter;
  TCom<IWICBitmapScaler> scaler;
  UINT w = 0, h = 0;
  if (!MakeFactory(factory) || FAILED(OpenDecoder(factory.Get(), path, decoder)) ||
      FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 ||
      TooManyToDecode(w, h) ||
      FAILED(factory->CreateFormatConverter(converter.Out())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return nullptr;
  const double scale = std::min({1.0, static_cast<double>(side) / w, static_cast<double>(side) / h});
  const UINT tw = static_cast<UINT>(std::max(1L, std::lround(w * scale)));
  const UINT th = static_cast<UINT>(std::max(1L, std::lround(h * scale)));
  IWICBitmapSource* source = converter.Get();
  if (tw != w || th != h) {
    if (FAILED(factory->CreateBitmapScaler(scaler.Out())) ||
        FAILED(scaler->Initialize(converter.Get(), tw, th, WICBitmapInterpolationModeFant)))
      return nullptr;
    source = scaler.Get();
  }
  std::vector<BYTE> pixels(static_cast<size_t>(tw) * th * 4);
  if (FAILED(source->CopyPixels(nullptr, tw * 4, static_cast<UINT>(pixels.size()), pixels.data()))) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = side;
  info.bmiHeader.biHeight = -side;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return nullptr;
  std::memset(bits, 0, static_cast<size_t>(side) * side * 4);
  const UINT left = (static_cast<UINT>(side) - tw) / 2, top = (static_cast<UINT>(side) - th) / 2;
  for (UINT y = 0; y < th; ++y)
    std::memcpy(static_cast<BYTE*>(bits) + ((top + y) * side + left) * 4, pixels.data() + y * tw * 4, tw * 4);
  return bitmap;
}

}  // namespace fit
