// The Windows platform pieces against the real registry and file system
// (under Wine in a private prefix: scripts/wine-port-test.py).
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <objbase.h>
#include <psapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "content/UiText.h"
#include "app/win32/WinFitPicture.h"
#include "app/win32/WinPlatform.h"
#include "app/win32/WinTextDecoder.h"
#include "content/MidletPage.h"
#include "content/PcScan.h"
#include "link/Link.h"
#include "link/Text.h"
#include "support/FakeView.h"

namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Values this test puts in the port list, removed again afterwards.
struct SerialCommValues {
  HKEY key = nullptr;
  std::vector<std::wstring> names;
  bool Open() {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                           KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS;
  }
  void Add(const std::wstring& name, DWORD type, const std::wstring& data) {
    RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    names.push_back(name);
  }
  ~SerialCommValues() {
    for (const auto& n : names) RegDeleteValueW(key, n.c_str());
    if (key) RegCloseKey(key);
  }
};

struct ConnectKey {
  HKEY key = nullptr;
  ConnectKey() {
    RegCreateKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_SET_VALUE, nullptr, &key, nullptr);
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
  }
  ~ConnectKey() {
    if (key) RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Velko\\Velko Sync Tool\\1.0\\ConnectSetting");
  }
};

}  // namespace

TEST(WinPortMap, NaturalOrderFromTheDeviceMap) {
  SerialCommValues v;
  if (!v.Open()) GTEST_SKIP() << "no write access to HKLM (needs an administrator)";
  const auto before = WinSerialPortMap();
  auto isOurs = [](const TPortEntry& e) {
    return e.name == "COM10" || e.name == "COM2" || e.name == "COM33" || e.name == "COM9";
  };
  if (std::any_of(before.begin(), before.end(), isOurs)) GTEST_SKIP() << "test names already in use";
  v.Add(L"\\Device\\QuendrelTest10", REG_SZ, L"COM10");
  v.Add(L"\\Device\\QuendrelTest2", REG_SZ, L"COM2");
  v.Add(L"\\Device\\QuendrelTest33", REG_SZ, L"COM33");
  v.Add(L"\\Device\\QuendrelTest9", REG_SZ, L"COM9");
  v.Add(L"\\Device\\QuendrelTestBin", REG_BINARY, L"COM77");  // not a port name

  std::vector<TPortEntry> ours;
  for (const TPortEntry& e : WinSerialPortMap())
    if (isOurs(e) || e.name == "COM77") ours.push_back(e);
  ASSERT_EQ(ours.size(), 4u);
  const char* order[] = {"COM2", "COM9", "COM10", "COM33"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(ours[i].name, order[i]);
    EXPECT_EQ(ours[i].device, std::string("\\\\.\\") + order[i]);
  }
}

TEST(WinConnectSetting, WriteThenReadBack) {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Velko\\Velko Sync Tool\\1.0\\ConnectSetting");
  EXPECT_FALSE(WinConnectKeyExists());
  int v = 7;
  EXPECT_FALSE(WinReadConnectValue("Port", &v)) << "read from a missing key";
  EXPECT_EQ(v, 7);

  ConnectKey cleanup;  // also creates the key for the raw values below
  for (int value : {3, 0, -1, 115200}) {
    ASSERT_TRUE(WinWriteConnectValue("Port", value));
    EXPECT_TRUE(WinConnectKeyExists());
    ASSERT_TRUE(WinReadConnectValue("Port", &v));
    EXPECT_EQ(v, value);
  }

  struct Raw {
    const wchar_t* name;
    DWORD type;
    std::wstring text;
    bool ok;
    int value;
  };
  const std::vector<Raw> raws = {
      {L"Num", REG_SZ, L"42", true, 42},     {L"Neg", REG_SZ, L"-8", true, -8},
      {L"Word", REG_SZ, L"COM3", false, 0},  {L"Empty", REG_SZ, L"", false, 0},
      {L"Mixed", REG_SZ, L"12ab", false, 0}, {L"Huge", REG_SZ, L"99999999999", false, 0},
      {L"Bin", REG_BINARY, L"12", false, 0},
  };
  for (const Raw& r : raws) {
    cleanup.Set(r.name, r.type, r.text.c_str(), static_cast<DWORD>((r.text.size() + 1) * sizeof(wchar_t)));
    int got = -12345;
    char name[16] = {};
    WideCharToMultiByte(CP_UTF8, 0, r.name, -1, name, sizeof name, nullptr, nullptr);
    EXPECT_EQ(WinReadConnectValue(name, &got), r.ok) << name;
    EXPECT_EQ(got, r.ok ? r.value : -12345) << name;
  }
  EXPECT_FALSE(WinReadConnectValue("Missing", &v));
}

TEST(WinConnectSetting, TextsAreWideRegSzHeldAsUtf8) {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Velko\\Velko Sync Tool\\1.0\\ConnectSetting");
  std::string got = "untouched";
  EXPECT_FALSE(WinReadConnectText("BackupFolder", &got)) << "read from a missing key";
  EXPECT_EQ(got, "untouched");

  ConnectKey cleanup;
  // A name outside the ANSI code page, and an empty text.
  for (const std::string& text : {std::string("C:\\Users\\u\\\xe5\x82\x99\xe4\xbb\xbd \xc3\xa9t\xc3\xa9"), std::string()}) {
    ASSERT_TRUE(WinWriteConnectText("BackupFolder", text));
    ASSERT_TRUE(WinReadConnectText("BackupFolder", &got));
    EXPECT_EQ(got, text);
  }
  // On disk: REG_SZ of wide characters with the terminating zero.
  WinWriteConnectText("BackupFolder", "D:\\\xe5\x82\x99");
  wchar_t raw[16] = {};
  DWORD type = 0, bytes = sizeof raw;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kWinConnectSettingKey, L"BackupFolder", RRF_RT_ANY, &type, raw, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(raw), L"D:\\\u5099");
  EXPECT_EQ(bytes, 5 * sizeof(wchar_t));

  // Values of other types are no text; a text is no number.
  const DWORD word = 3;
  cleanup.Set(L"PortNo", REG_DWORD, &word, sizeof word);
  cleanup.Set(L"Bin", REG_BINARY, L"ab", 3 * sizeof(wchar_t));
  for (const char* name : {"PortNo", "Bin", "Missing"}) {
    got = "untouched";
    EXPECT_FALSE(WinReadConnectText(name, &got)) << name;
    EXPECT_EQ(got, "untouched") << name;
  }
  int v = 0;
  EXPECT_FALSE(WinReadConnectValue("BackupFolder", &v));
}

TEST(WinTransferLog, RootOfCOrTheProfile) {
  const DWORD before = GetFileAttributesW(L"C:\\LAD.log");
  if (before != INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "C:\\LAD.log exists already";

  EXPECT_EQ(WinTransferLogPath(), "C:\\LAD.log");
  EXPECT_EQ(GetFileAttributesW(L"C:\\LAD.log"), INVALID_FILE_ATTRIBUTES) << "the probe left a file";

  // Something that cannot be written in its place, as the root of C: is to
  // a normal user.
  ASSERT_TRUE(CreateDirectoryW(L"C:\\LAD.log", nullptr));
  // A profile named in letters no ANSI code page holds all of: the path is
  // compared wide with wide, and the log opens there.
  wchar_t saved[MAX_PATH] = {};
  GetEnvironmentVariableW(L"USERPROFILE", saved, MAX_PATH);
  const std::wstring profile = L"C:\\users\\J\u00fcrgen M\u00fcller \u5f20\u4f1f";
  CreateDirectoryW(L"C:\\users", nullptr);
  CreateDirectoryW(profile.c_str(), nullptr);
  SetEnvironmentVariableW(L"USERPROFILE", profile.c_str());
  const std::string got = WinTransferLogPath();
  std::FILE* log = OpenFileUtf8(got, "wb");
  const bool opened = log != nullptr;
  if (log) std::fclose(log);
  SetEnvironmentVariableW(L"USERPROFILE", saved);
  RemoveDirectoryW(L"C:\\LAD.log");
  std::wstring wide(got.size(), L'\0');
  wide.resize(static_cast<size_t>(
      MultiByteToWideChar(CP_UTF8, 0, got.data(), static_cast<int>(got.size()), wide.data(), static_cast<int>(wide.size()))));
  EXPECT_TRUE(wide == profile + L"\\LAD.log");
  EXPECT_TRUE(opened);
  DeleteFileW((profile + L"\\LAD.log").c_str());
  RemoveDirectoryW(profile.c_str());
}

// Console output is converted at every flush; a character cut in two waits
// for its other half instead of turning into two replacement marks.
TEST(WinConsoleText, WholeUtf8CharactersOnly) {
  struct Case {
    std::string text;
    size_t whole;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 3},
      {"na\xC3\xAFve", 6},          // complete two-byte character inside
      {"ab\xC3", 2},                  // lead of two, nothing after it
      {"ab\xE4\xB8", 2},              // three-byte character missing one byte
      {"ab\xE4\xB8\xAD", 5},          // complete three-byte character at the end
      {"\xF0\x9F\x98", 0},            // four-byte character missing one byte
      {"x\xF0\x9F\x98\x80", 5},       // complete four-byte character
      {"ab\x80\x80\x80\x80", 6},      // stray continuation bytes: nothing to wait for
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8CompleteLength(c.text), c.whole) << c.text.size();
}

// A UTF-8 path names the file whose wide name it spells, also where the
// ANSI code page has no such letters.
TEST(WinFileNames, OpenFileUtf8UsesTheWideName) {
  wchar_t tmp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, tmp), 0u);
  const std::wstring wname = std::wstring(tmp) + L"quendrel \u0416\u00fc\u4e2d.bin";
  const std::string name = Utf8(wname);
  std::FILE* f = OpenFileUtf8(name, "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::fwrite("ok", 1, 2, f), 2u);
  std::fclose(f);
  EXPECT_NE(GetFileAttributesW(wname.c_str()), INVALID_FILE_ATTRIBUTES) << "not under its wide name";
  f = OpenFileUtf8(name, "rb");
  ASSERT_NE(f, nullptr);
  char got[3] = {};
  EXPECT_EQ(std::fread(got, 1, 2, f), 2u);
  std::fclose(f);
  EXPECT_STREQ(got, "ok");
  EXPECT_TRUE(DeleteFileW(wname.c_str()));
  EXPECT_EQ(OpenFileUtf8(Utf8(std::wstring(tmp) + L"quendrel-missing-\u0416"), "rb"), nullptr);
}

// Folders whose path reaches past MAX_PATH: the scan and the suite list
// read them, given with "\" or "/", and a missing one is still reported.
TEST(WinLongPaths, ScanAndSuiteListReadDeepFolders) {
  struct Case {
    size_t length;  // of the folder's path, at least
    bool slashes;
    bool missing;
  };
  const Case cases[] = {{60, false, false},  {250, false, false}, {262, false, false},
                        {330, true, false},  {700, false, false}, {330, false, true}};
  wchar_t tmp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, tmp), 0u);
  const std::string melody = std::string("MThd\0\0\0\x06\0\x01", 10);
  const std::string jad = "MIDlet-Jar-Size: 2\r\nMIDlet-Name: Deep Game\r\nMIDlet-Version: 1.0\r\n"
                          "MIDlet-Vendor: Quendrel Test\r\nMIDlet-Jar-URL: deep.jar\r\n";
  for (const Case& c : cases) {
    // Made with the system's own long form, not the code under test.
    std::vector<std::wstring> made{std::wstring(tmp) + L"quendrel-long-" + std::to_wstring(GetCurrentProcessId())};
    while (made.back().size() < c.length) made.push_back(made.back() + L"\\" + std::wstring(37, L'd'));
    for (const std::wstring& d : made)  // one left by a run that failed may be there
      ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + d).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::vector<std::pair<std::wstring, std::string>> files = {
        {L"tune.mid", melody}, {L"deep.jad", jad}, {L"deep.jar", "PK"}};
    for (const auto& [name, bytes] : files) {
      HANDLE h = CreateFileW((L"\\\\?\\" + made.back() + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, 0, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      DWORD n = 0;
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
      CloseHandle(h);
    }
    std::string dir = Utf8(made.back()) + (c.missing ? "\\gone" : "");
    if (c.slashes) std::replace(dir.begin(), dir.end(), '\\', '/');
    const std::string label = std::to_string(dir.size()) + (c.slashes ? " with /" : "") + (c.missing ? " missing" : "");

    std::vector<std::string> messages, names;
    for (const auto& e : pcscan::ScanFolder(1, dir, [&](const std::string& m) { messages.push_back(m); }, {}))
      names.push_back(e.name);
    EXPECT_EQ(names, c.missing ? std::vector<std::string>{} : std::vector<std::string>{"tune.mid"}) << label;
    EXPECT_EQ(messages.size(), c.missing ? 1u : 0u) << label;

    FakeView view;
    TLink link{view};
    TPageState pages;
    pages.PcFolder = dir;
    TMidletPage page{link, pages};
    page.LocalAppDL_ViewPcOperation();
    const MIDlet_Info* suite = page.PcSuites.First();
    if (c.missing) {
      EXPECT_EQ(suite, nullptr) << label;
      EXPECT_EQ(view.messages, std::vector<std::string>{"Unable to open directory"}) << label;
    } else {
      EXPECT_EQ(suite ? suite->name : "", "Deep Game") << label;
      EXPECT_TRUE(view.messages.empty()) << label << ": " << (view.messages.empty() ? "" : view.messages[0]);
    }

    for (const auto& f : files) DeleteFileW((L"\\\\?\\" + made.back() + L"\\" + f.first).c_str());
    for (auto d = made.rbegin(); d != made.rend(); ++d) EXPECT_TRUE(RemoveDirectoryW((L"\\\\?\\" + *d).c_str()));
  }
}

// The text table's Chinese columns read through the system's code pages
// 950 and 936 give the same characters the window shows.
TEST(WinTextDecoder, BothChineseColumnsDecodeToTheirCharacters) {
  struct Case {
    const char* name;
    const UiText* entry;
    std::wstring text[3];
  };
  const Case cases[] = {
      {"mLanguage", &uitext::mLanguage, {L"Language", L"\u8a9e\u8a00", L"\u8bed\u8a00"}},
      {"StopButton", &uitext::StopButton, {L"Stop", L"\u505c\u6b62", L"\u505c\u6b62"}},
      {"DropNotSent", &uitext::DropNotSent,
       {L"%1 is not sent: %2", L"%1 \u672a\u50b3\u9001\uff1a%2", L"%1 \u672a\u53d1\u9001\uff1a%2"}},
      {"FitNoRoom", &uitext::FitNoRoom,
       {L"not even a small copy fits in 63000 bytes",
        L"\u5373\u4f7f\u7e2e\u5c0f\u4e5f\u7121\u6cd5\u5c0f\u65bc 63000 \u4f4d\u5143\u7d44",
        L"\u5373\u4f7f\u7f29\u5c0f\u4e5f\u65e0\u6cd5\u5c0f\u4e8e 63000 \u5b57\u8282"}},
  };
  const TWinUiTextDecoder& decoder = WinUiTextDecoder();
  for (const Case& c : cases) {
    for (int lang = 0; lang < 3; ++lang) {
      EXPECT_TRUE(decoder.Wide(UiBytes(*c.entry, lang), lang) == c.text[lang]) << c.name << " language " << lang;
      EXPECT_EQ(UiUtf8(*c.entry, lang, decoder), Utf8(c.text[lang])) << c.name << " language " << lang;
    }
  }
  // Bytes outside ASCII in the English column stay one character each.
  EXPECT_TRUE(decoder.Wide("caf\xe9", 0) == L"caf\u00e9");
}

namespace {

std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A noisy picture (hard to compress) of frames images in a container,
// made with the system's encoder; empty when it has none for the format.
std::string MakePicture(const GUID& container, UINT w, UINT h, bool alpha, int frames) {
  IWICImagingFactory* factory = nullptr;
  IStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICPalette* palette = nullptr;
  std::string bytes;
  const bool indexed = IsEqualGUID(container, GUID_ContainerFormatGif);
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory));
  if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(container, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr) && indexed) hr = factory->CreatePalette(&palette);
  if (SUCCEEDED(hr) && indexed) hr = palette->InitializePredefined(WICBitmapPaletteTypeFixedWebPalette, FALSE);
  const UINT depth = indexed ? 1 : alpha ? 4 : 3;
  WICPixelFormatGUID format = indexed ? GUID_WICPixelFormat8bppIndexed
                              : alpha ? GUID_WICPixelFormat32bppBGRA
                                      : GUID_WICPixelFormat24bppBGR;
  unsigned seed = 12345;
  for (int f = 0; SUCCEEDED(hr) && f < frames; ++f) {
    std::vector<BYTE> pixels(static_cast<size_t>(w) * h * depth);
    for (size_t i = 0; i < pixels.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      pixels[i] = indexed ? static_cast<BYTE>((seed >> 16) % 216) : static_cast<BYTE>(seed >> 16);
      if (alpha && i % 4 == 3) pixels[i] = static_cast<BYTE>(i / 4 % w * 255 / w);  // see-through at the left
    }
    IWICBitmapFrameEncode* frame = nullptr;
    hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(w, h);
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && indexed) hr = frame->SetPalette(palette);
    if (SUCCEEDED(hr)) hr = frame->WritePixels(h, w * depth, static_cast<UINT>(pixels.size()), pixels.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (frame) frame->Release();
  }
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  STATSTG stat{};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (SUCCEEDED(hr)) {
    bytes.resize(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    ULONG got = 0;
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) ||
        FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got)) || got != bytes.size())
      bytes.clear();
  }
  for (IUnknown* u : std::initializer_list<IUnknown*>{palette, encoder, stream, factory})
    if (u) u->Release();
  return bytes;
}

// The size of a picture as the system's decoder reads it back; 0 x 0 when it cannot.
std::pair<UINT, UINT> DecodedSize(const std::wstring& path) {
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  UINT w = 0, h = 0;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                   &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) && FAILED(frame->GetSize(&w, &h)))
    w = h = 0;
  for (IUnknown* u : std::initializer_list<IUnknown*>{frame, decoder, factory})
    if (u) u->Release();
  return {w, h};
}

}  // namespace

// "Fit to phone" on the system's codecs: a picture the page refuses for its
// size or format becomes a JPEG the page takes, with its aspect, readable
// back, beside the untouched original and never over another file; what
// cannot be fitted leaves no file and says why.
TEST(WinPictureFit, CopiesThePageTakesAndRefusalsWithoutFiles) {
  struct Case {
    const wchar_t* name;
    GUID container;
    UINT w, h;
    bool alpha;
    int frames;
    size_t cutTo;  // the file cut to this many bytes (within the JPEG frame header: 1), 0 whole
    fit::TRefusal refusal;
    UINT claimW = 0, claimH = 0;  // a BMP whose header claims this size for its few pixels
  };
  const Case cases[] = {
      {L"wide.bmp", GUID_ContainerFormatBmp, 900, 300, false, 1, 0, fit::TRefusal::None},
      {L"see-through.png", GUID_ContainerFormatPng, 500, 700, true, 1, 0, fit::TRefusal::None},
      {L"photo \u0416.jpg", GUID_ContainerFormatJpeg, 1600, 1200, false, 1, 0, fit::TRefusal::None},
      {L"still.gif", GUID_ContainerFormatGif, 700, 500, false, 1, 0, fit::TRefusal::None},
      {L"cut.png", GUID_ContainerFormatPng, 800, 600, false, 1, 400, fit::TRefusal::NotReadable},
      {L"cut.jpg", GUID_ContainerFormatJpeg, 800, 600, false, 1, 1, fit::TRefusal::NotFittable},
      {L"moving.gif", GUID_ContainerFormatGif, 700, 500, false, 2, 0, fit::TRefusal::NotFittable},
      {L"small.jpg", GUID_ContainerFormatJpeg, 64, 48, false, 1, 0, fit::TRefusal::AlreadySuitable},
      // Refused before anything of its claimed 1.6 GB is decoded.
      {L"claims too much.bmp", GUID_ContainerFormatBmp, 64, 48, false, 1, 0, fit::TRefusal::NotReadable, 20000,
       20000},
  };
  namespace fs = std::filesystem;
  fit::TComScope com;
  const fit::TWinPictureFitter fitter;
  const fs::path dir = fs::temp_directory_path() / (L"quendrel-fit-" + std::to_wstring(GetCurrentProcessId()));
  for (const Case& c : cases) {
    const std::string label = Utf8(c.name);
    std::string bytes = MakePicture(c.container, c.w, c.h, c.alpha, c.frames);
    if (bytes.empty()) {
      ADD_FAILURE() << label << ": the system has no encoder to make the original with";
      continue;
    }
    if (c.cutTo == 1) bytes.resize(std::min(bytes.size(), bytes.find(std::string("\x00\x11\x08", 3)) + 5));
    else if (c.cutTo) bytes.resize(std::min(bytes.size(), c.cutTo));
    if (c.claimW) {
      const uint32_t claim[2] = {c.claimW, c.claimH};  // the info header's width and height
      std::memcpy(bytes.data() + 18, claim, sizeof claim);
    }
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path original = dir / c.name;
    std::ofstream(original, std::ios::binary) << bytes;
    const std::string path = PathUtf8(original);

    const bool fittable = c.refusal == fit::TRefusal::None;
    // A cut file may pass the reader's first look: only the copy says it cannot be read.
    if (c.refusal != fit::TRefusal::NotReadable) {
      EXPECT_EQ(fitter.CanFit(path), fittable) << label;
    }
    PROCESS_MEMORY_COUNTERS before{}, after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    const fit::TFitOutcome r = fitter.Fit(path);
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    EXPECT_EQ(r.refusal, c.refusal) << label << ": " << r.detail;
    // Only what the picture itself holds is ever decoded.
    if (c.claimW) {
      EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, size_t{256} << 20) << label;
    }
    EXPECT_EQ(ReadBytes(original), bytes) << label << ": the original changed";
    if (!fittable) {
      EXPECT_TRUE(r.path.empty()) << label;
      EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << label << ": a file was left";
      EXPECT_FALSE(fit::RefusalText(r, 0, WinUiTextDecoder()).empty()) << label;
      continue;
    }
    EXPECT_EQ(Utf8Path(r.path).filename().wstring(), original.stem().wstring() + L"-fit.jpg") << label;
    const pcscan::TJudgement taken = pcscan::JudgeFile(3, r.path);
    EXPECT_EQ(taken.reason, pcscan::TReason::None) << label << ": the page refuses the copy";
    EXPECT_LE(std::max(r.width, r.height), pcscan::kMaxPictureSide) << label;
    // Its aspect, to the rounding of one pixel.
    EXPECT_LE(std::abs(static_cast<long long>(r.width) * c.h - static_cast<long long>(r.height) * c.w),
              static_cast<long long>(std::max(c.w, c.h)))
        << label << ": " << r.width << " x " << r.height;
    EXPECT_EQ(DecodedSize(Wide(r.path)), std::make_pair(static_cast<UINT>(r.width), static_cast<UINT>(r.height)))
        << label;
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(Utf8Path(r.path))), r.bytes) << label;
    // A second copy takes the next name and leaves the first as it was.
    const std::string first = ReadBytes(Utf8Path(r.path));
    const fit::TFitOutcome again = fitter.Fit(path);
    EXPECT_EQ(again.refusal, fit::TRefusal::None) << label;
    EXPECT_NE(again.path, r.path) << label;
    EXPECT_EQ(Utf8Path(again.path).filename().wstring(), original.stem().wstring() + L"-fit-2.jpg") << label;
    EXPECT_EQ(ReadBytes(Utf8Path(r.path)), first) << label;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3) << label;
  }
  fs::remove_all(dir);
}
