#include "PhoneEngine.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include "content/SuiteArchive.h"
#include "content/SuiteManifest.h"

namespace fs = std::filesystem;

#ifdef _WIN32
namespace {
// No mkdtemp here: the X's at the end become a number until a new folder is made.
char* mkdtemp(char* tmpl) {
  const std::string base(tmpl);
  const size_t x = base.find_last_not_of('X') + 1, width = base.size() - x;
  for (unsigned n = 0; n < 1000000; ++n) {
    std::string number = std::to_string(n);
    if (number.size() > width) return nullptr;
    const std::string candidate = base.substr(0, x) + std::string(width - number.size(), '0') + number;
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      candidate.copy(tmpl, base.size());
      return tmpl;
    }
    if (ec) return nullptr;
  }
  return nullptr;
}
}  // namespace
#endif

namespace phonesim {

namespace {

constexpr const char* kOk = "\r\nOK\r\n";
constexpr const char* kError = "\r\nERROR\r\n";
constexpr const char* kRejected = "\r\n*FUPL: D_ERR\r\n";
constexpr const char* kRefused = "\r\n*FUPL: 3 ERROR\r\n";
// Our own scratch entries in the phone folders; never listed.
constexpr const char* kScratchPrefix = ".phonesim-";

const char kHexDigits[] = "0123456789ABCDEF";

Reply Text(std::string text) { return Reply{std::move(text), 0}; }

std::string InstallError(int code) { return "\r\n*FUPL: ERROR(" + std::to_string(code) + ")\r\n"; }

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case is not what the PC sends
}

// Plain decimal, digits only; a size or folder with a sign or blanks is refused.
bool ParseNumber(const std::string& s, size_t* out) {
  if (s.empty() || s.size() > 10) return false;
  size_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<size_t>(c - '0');
  }
  *out = v;
  return true;
}

// Names are UTF-8 bytes on every system. On Windows a path is wide text, so
// a name is converted as UTF-8, never through the ANSI code page, which
// cannot hold every name.
fs::path NamePath(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }
std::string PathName(const fs::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

// A name from the PC becomes a path component: nothing that leaves the folder.
bool SafeName(const std::string& name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  if (StartsWith(name, kScratchPrefix)) return false;
  for (unsigned char c : name) {
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// Folder name for a suite: its MIDlet-Name with anything unsafe replaced.
std::string SuiteFolderName(const std::string& midletName) {
  std::string out;
  for (unsigned char c : midletName) {
    out += (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) ? '_' : static_cast<char>(c);
  }
  if (out.empty() || out == "." || out == ".." || StartsWith(out, kScratchPrefix)) out = "_" + out;
  return out;
}

// "name",rest -> name and the comma-separated arguments after the closing quote.
bool SplitQuoted(const std::string& body, std::string* name, std::vector<std::string>* args) {
  if (body.size() < 2 || body[0] != '"') return false;
  size_t close = body.rfind('"');
  if (close == 0) return false;
  *name = body.substr(1, close - 1);
  std::string rest = body.substr(close + 1);
  args->clear();
  if (rest.empty()) return true;
  if (rest[0] != ',') return false;
  std::string cur;
  for (size_t i = 1; i <= rest.size(); ++i) {
    if (i == rest.size() || rest[i] == ',') {
      args->push_back(cur);
      cur.clear();
    } else {
      cur += rest[i];
    }
  }
  return true;
}

bool ReadWholeFile(const fs::path& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  *out = ss.str();
  return true;
}

bool WriteWholeFile(const fs::path& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.close();
  return !out.fail();
}

// Write beside the target, then rename: a reader never sees half a file.
bool StoreFile(const fs::path& folder, const std::string& name, const std::string& data) {
  std::error_code ec;
  if (fs::is_directory(folder / NamePath(name), ec)) return false;
  std::string tmpl = (folder / (std::string(kScratchPrefix) + "XXXXXX")).string();
  int fd = mkstemp(tmpl.data());
  if (fd < 0) return false;
  close(fd);
  if (!WriteWholeFile(tmpl, data)) {
    fs::remove(tmpl, ec);
    return false;
  }
  fs::rename(tmpl, folder / NamePath(name), ec);
  if (ec) {
    fs::remove(tmpl, ec);
    return false;
  }
  return true;
}

struct Suite {
  std::string folder;
  std::string name, version, url;
  uintmax_t jarSize = 0;
};

// Installed suites, in folder-name order. A folder without a descriptor
// naming its suite is not a suite.
std::vector<Suite> ScanSuites(const fs::path& java) {
  std::vector<Suite> suites;
  std::error_code ec;
  std::vector<fs::path> dirs;
  for (const auto& e : fs::directory_iterator(java, ec)) {
    std::string n = PathName(e.path().filename());
    if (StartsWith(n, kScratchPrefix)) continue;
    if (e.is_directory(ec)) dirs.push_back(e.path());
  }
  std::sort(dirs.begin(), dirs.end());
  for (const auto& dir : dirs) {
    std::vector<fs::path> jads, jars;
    for (const auto& f : fs::directory_iterator(dir, ec)) {
      if (!f.is_regular_file(ec)) continue;
      std::string ext = f.path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
      if (ext == ".jad") jads.push_back(f.path());
      if (ext == ".jar") jars.push_back(f.path());
    }
    if (jads.empty()) continue;
    std::sort(jads.begin(), jads.end());
    std::sort(jars.begin(), jars.end());
    std::string jad;
    if (!ReadWholeFile(jads.front(), &jad)) continue;
    auto name = JadAttribute(jad, "MIDlet-Name");
    if (!name || name->empty()) continue;
    Suite s;
    s.folder = dir.filename().string();
    s.name = *name;
    s.version = JadAttribute(jad, "MIDlet-Version").value_or("");
    s.url = JadAttribute(jad, "MIDlet-Jar-URL").value_or("");
    // Prefer the archive that shares the descriptor's base name.
    fs::path jar;
    for (const auto& j : jars) {
      if (j.stem() == jads.front().stem()) jar = j;
    }
    if (jar.empty() && !jars.empty()) jar = jars.front();
    if (!jar.empty()) s.jarSize = fs::file_size(jar, ec);
    if (ec) s.jarSize = 0;
    suites.push_back(std::move(s));
  }
  return suites;
}

}  // namespace

std::string PacketNumber(int n) {
  std::string s(2, '0');
  int high = n / 16;
  s[0] = high < 16 ? kHexDigits[high] : 'F';
  s[1] = kHexDigits[n % 16];
  return s;
}

std::string HexUpper(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 15];
  }
  return out;
}

uint32_t CharSum(const std::string& text) {
  uint32_t sum = 0;
  for (unsigned char c : text) sum += c;
  return sum;
}

std::string Hex4(uint32_t value) {
  std::string s(4, '0');
  for (int i = 3; i >= 0; --i) {
    s[static_cast<size_t>(i)] = kHexDigits[value & 15];
    value >>= 4;
  }
  return s;
}

std::optional<std::string> JadAttribute(const std::string& jad, const std::string& key) {
  std::istringstream in(jad);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string k = line.substr(0, colon);
    while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
    if (k != key) continue;
    size_t b = line.find_first_not_of(" \t", colon + 1);
    if (b == std::string::npos) return std::string();
    size_t e = line.find_last_not_of(" \t");
    return line.substr(b, e - b + 1);
  }
  return std::nullopt;
}

PhoneEngine::PhoneEngine(std::string root) : root_(std::move(root)) {
  std::error_code ec;
  for (int f = 1; f <= 4; ++f) fs::create_directories(FolderPath(f), ec);
}

std::string PhoneEngine::FolderPath(int folder) const { return root_ + "/" + std::to_string(folder); }

void PhoneEngine::AbortTransfers() {
  upload_.reset();
  download_.reset();
  lastPacket_ = Reply{};
}

Reply PhoneEngine::Handle(const std::string& line, const Options& options) {
  // Command words are matched in any letter case; names keep theirs.
  size_t quote = line.find('"');
  std::string head = line.substr(0, quote);
  std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::toupper(c); });
  std::string upper = head + (quote == std::string::npos ? "" : line.substr(quote));

  bool isPacket = StartsWith(upper, "AT*FUPL=") && upper.size() > 8 && upper[8] != '"';
  if (upload_ && !isPacket) upload_.reset();  // the PC gave up on that upload
  bool isDownloadStep = upper == "AT*ACK" || upper == "AT*D_ERR";
  if (!isDownloadStep) {
    download_.reset();
    lastPacket_ = Reply{};
  }

  if (!options.errorPrefix.empty() && StartsWith(line, options.errorPrefix)) {
    AbortTransfers();
    return Text(kError);
  }

  if (upper == "AT") return Text(kOk);
  if (upper == "AT*FLIST?") return List(options);
  if (StartsWith(upper, "AT*FLIST=")) return Select(upper.substr(9));
  if (StartsWith(upper, "AT*FRMV=")) return Remove(line.substr(8), options);
  if (StartsWith(upper, "AT*FUPL=")) {
    if (isPacket) return UploadPacket(line.substr(8), options);
    return UploadRequest(line.substr(8), options);
  }
  if (StartsWith(upper, "AT*FDWN=")) return DownloadRequest(line.substr(8), options);
  if (upper == "AT*ACK") return NextPacket(options);
  if (upper == "AT*D_ERR") return Resend(options);
  return Text(kError);
}

Reply PhoneEngine::Select(const std::string& arg) {
  if (arg.size() != 1 || arg[0] < '1' || arg[0] > '4') return Text(kError);
  folder_ = arg[0] - '0';
  return Text(kOk);
}

std::string PhoneEngine::StoredName(int folder, const std::string& name, const Options& options) const {
  if (!options.caseBlind) return name;
  auto lower = [](std::string t) {
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
    return t;
  };
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(FolderPath(folder), ec)) {
    const std::string n = PathName(e.path().filename());
    if (lower(n) == lower(name)) return n;
  }
  return name;
}

Reply PhoneEngine::List(const Options& options) const {
  struct Entry {
    std::string name;
    bool dir;
    uintmax_t size;
  };
  std::vector<Entry> entries;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(FolderPath(folder_), ec)) {
    std::string n = PathName(e.path().filename());
    if (StartsWith(n, kScratchPrefix)) continue;
    if (e.is_directory(ec)) {
      entries.push_back({n, true, 0});
    } else if (e.is_regular_file(ec)) {
      uintmax_t size = e.file_size(ec);
      entries.push_back({n, false, ec ? 0 : size});
    }
  }
  if (ec) return Text(kError);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  std::string out = "\r\n";
  for (const auto& e : entries) {
    // The blank before "(" is part of the format: the PC drops the character in front of it.
    if (e.dir) {
      out += "<D> " + e.name + "\r\n";
    } else {
      std::string size = std::to_string(e.size);
      for (const auto& [name, text] : options.listedSizes)
        if (name == e.name) size = text;
      out += "<F> " + e.name + " (" + size + ")\r\n";
      if (options.listTwice) out += "<F> " + e.name + " (" + size + ")\r\n";
    }
  }
  out += kOk;
  return Text(out);
}

Reply PhoneEngine::Remove(const std::string& args, const Options& options) {
  std::string name;
  std::vector<std::string> rest;
  if (!SplitQuoted(args, &name, &rest) || !rest.empty() || !SafeName(name)) return Text(kError);
  fs::path path = fs::path(FolderPath(folder_)) / NamePath(StoredName(folder_, name, options));
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return Text(kError);
  if (!fs::remove(path, ec) || ec) return Text(kError);
  return Text(kOk);
}

Reply PhoneEngine::UploadRequest(const std::string& args, const Options& options) {
  std::string name;
  std::vector<std::string> a;
  if (!SplitQuoted(args, &name, &a)) return Text(kError);
  size_t size = 0, folder = 0, mode = 0;
  if (a.size() < 2 || a.size() > 3 || !ParseNumber(a[0], &size) || !ParseNumber(a[1], &folder)) {
    return Text(kError);
  }
  if (a.size() == 3 && !ParseNumber(a[2], &mode)) return Text(kError);

  Upload up;
  up.name = name;
  up.size = size;
  up.folder = static_cast<int>(folder);
  if (a.size() == 2) {
    if (folder < 1 || folder > 3) return Text(kError);
    up.kind = UploadKind::File;
  } else {
    if (folder != 4) return Text(kError);
    if (mode == 3) {
      if (size != 0) return Text(kError);
      return Uninstall(name);
    }
    if (mode != 1) return Text(kError);
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".jad") == 0) {
      up.kind = UploadKind::Descriptor;
    } else if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".jar") == 0) {
      up.kind = UploadKind::Archive;
    } else {
      return Text(kError);
    }
  }
  if (!SafeName(name) || size > kMaxFileSize) return Text(kError);
  if (options.refuseUpload) return Text(kRefused);

  upload_ = std::move(up);
  if (size == 0) {
    // Nothing follows: the request itself completes the file.
    Reply done = FinishUpload(options);
    upload_.reset();
    return done;
  }
  return Text(kOk);
}

Reply PhoneEngine::UploadPacket(const std::string& body, const Options& options) {
  if (!upload_) return Text(kError);
  Upload& up = *upload_;
  // number(2) "0" mark(1) data(2k, k <= 90) check(4)
  bool shapeOk = body.size() >= 8 && (body.size() - 8) % 2 == 0 && body.size() - 8 <= 2 * kPacketBytes &&
                 body[2] == '0' && (body[3] == '0' || body[3] == '1');
  for (size_t i = 4; shapeOk && i < body.size(); ++i) shapeOk = HexValue(body[i]) >= 0;
  if (body.size() >= 2 && body.compare(0, 2, PacketNumber(up.next)) != 0) {
    // Out of step with the PC: a resend cannot mend that.
    upload_.reset();
    return Text(kError);
  }
  if (!shapeOk) return Text(kRejected);
  std::string data = body.substr(4, body.size() - 8);
  uint32_t check = 0;
  for (size_t i = body.size() - 4; i < body.size(); ++i) check = check * 16 + static_cast<uint32_t>(HexValue(body[i]));
  if (check != (CharSum(data) & 0xFFFF)) return Text(kRejected);
  if (options.rejectUploadPacket == up.next && up.rejected < options.rejectUploadTimes) {
    ++up.rejected;
    return Text(kRejected);
  }
  if (up.data.size() + data.size() / 2 > up.size) {
    bool archive = up.kind == UploadKind::Archive;
    upload_.reset();
    return Text(archive ? InstallError(4) : kError);
  }
  for (size_t i = 0; i < data.size(); i += 2) {
    up.data += static_cast<char>(HexValue(data[i]) * 16 + HexValue(data[i + 1]));
  }
  ++up.next;
  up.rejected = 0;
  if (body[3] == '1') return Text(kOk);
  Reply done = FinishUpload(options);
  upload_.reset();
  return done;
}

Reply PhoneEngine::FinishUpload(const Options& options) {
  Upload& up = *upload_;
  if (up.data.size() != up.size) {
    return Text(up.kind == UploadKind::Archive ? InstallError(4) : kError);
  }
  switch (up.kind) {
    case UploadKind::File:
      if (options.keepNothing) return Text(kOk);
      return Text(StoreFile(FolderPath(up.folder), StoredName(up.folder, up.name, options), up.data) ? kOk : kError);
    case UploadKind::Descriptor:
      descriptor_ = Descriptor{up.name, up.data};
      return Text(kOk);
    case UploadKind::Archive:
      return Install(up.name, up.data, options);
  }
  return Text(kError);
}

namespace {

// An archive with a readable manifest must agree with the descriptor on the
// suite's name, version and vendor; other archives are taken as they come.
bool DescriptorMatchesManifest(const std::string& descriptor, const std::string& archivePath) {
  std::string text, error;
  if (!suite::ReadArchiveEntry(archivePath, suite::kManifestEntry, suite::kManifestCap, &text, &error)) return true;
  const suite::TAttributes manifest = suite::ParseManifest(text);
  for (const char* key : {"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor"}) {
    std::string inArchive;
    if (!suite::FindAttribute(manifest, key, &inArchive)) continue;
    if (JadAttribute(descriptor, key).value_or("") != inArchive) return false;
  }
  return true;
}

}  // namespace

Reply PhoneEngine::Install(const std::string& archiveName, const std::string& archive, const Options& options) {
  std::optional<Descriptor> jad = std::move(descriptor_);
  descriptor_.reset();
  if (options.installErrorCode >= 1 && options.installErrorCode <= 7) {
    return Text(InstallError(options.installErrorCode));
  }
  if (!jad) return Text(InstallError(1));
  auto name = JadAttribute(jad->text, "MIDlet-Name");
  auto size = JadAttribute(jad->text, "MIDlet-Jar-Size");
  for (const char* key : {"MIDlet-Version", "MIDlet-Vendor", "MIDlet-Jar-URL"}) {
    if (!JadAttribute(jad->text, key)) return Text(InstallError(1));
  }
  size_t declared = 0;
  if (!name || name->empty() || !size || !ParseNumber(*size, &declared)) return Text(InstallError(1));
  if (declared != archive.size()) return Text(InstallError(4));

  // Build the suite aside, then swap it in for any suite of the same name.
  fs::path java = FolderPath(4);
  std::string tmpl = (java / (std::string(kScratchPrefix) + "XXXXXX")).string();
  if (!mkdtemp(tmpl.data())) return Text(InstallError(5));
  fs::path staging = tmpl;
  std::error_code ec;
  if (!WriteWholeFile(staging / jad->name, jad->text) || !WriteWholeFile(staging / archiveName, archive)) {
    fs::remove_all(staging, ec);
    return Text(InstallError(5));
  }
  if (!DescriptorMatchesManifest(jad->text, (staging / archiveName).string())) {
    fs::remove_all(staging, ec);
    return Text(InstallError(2));
  }
  for (const auto& s : ScanSuites(java)) {
    if (s.name == *name) fs::remove_all(java / s.folder, ec);
  }
  fs::path target = java / SuiteFolderName(*name);
  fs::remove_all(target, ec);
  fs::rename(staging, target, ec);
  if (ec) {
    fs::remove_all(staging, ec);
    return Text(InstallError(5));
  }
  return Text(kOk);
}

Reply PhoneEngine::Uninstall(const std::string& name) {
  fs::path java = FolderPath(4);
  bool found = false;
  std::error_code ec;
  for (const auto& s : ScanSuites(java)) {
    if (s.name != name) continue;
    found = true;
    fs::remove_all(java / s.folder, ec);
    if (ec) return Text(InstallError(5));
  }
  return Text(found ? kOk : InstallError(5));
}

Reply PhoneEngine::DownloadRequest(const std::string& args, const Options& options) {
  std::string name;
  std::vector<std::string> rest;
  if (!SplitQuoted(args, &name, &rest) || !rest.empty() || !SafeName(name)) return Text(kError);
  fs::path path = fs::path(FolderPath(folder_)) / NamePath(StoredName(folder_, name, options));
  std::error_code ec;
  bool isFile = fs::is_regular_file(path, ec);
  if (name == "4" && (folder_ == 4 || !isFile)) return SuiteList(options);
  if (!isFile) return Text(kError);
  Download d;
  if (!ReadWholeFile(path, &d.data)) return Text(kError);
  d.count = d.data.empty() ? 1 : static_cast<int>((d.data.size() + kPacketBytes - 1) / kPacketBytes);
  // Running on: the real last packet comes that many packets later, or never.
  if (options.pastSizePackets > 0)
    d.count = static_cast<int>((d.data.size() + kPacketBytes - 1) / kPacketBytes) + options.pastSizePackets + 1;
  if (options.pastSizePackets == 0) d.count = INT_MAX;
  download_ = std::move(d);
  return DuePacket(1, options);
}

Reply PhoneEngine::PacketReply(int n, const Options& options) {
  Download& d = *download_;
  // Packets running on past the file's data carry filler.
  const int dataPackets = d.data.empty() ? 0 : static_cast<int>((d.data.size() + kPacketBytes - 1) / kPacketBytes);
  auto bytesOf = [&](int k) {
    if (k > dataPackets && (k < d.count || d.count == INT_MAX)) return std::string(kPacketBytes, 'R');
    size_t from = static_cast<size_t>(k - 1) * kPacketBytes;
    return from < d.data.size() ? d.data.substr(from, kPacketBytes) : std::string();
  };
  auto headerOf = [](int k) { return "\r\n*FDWN: " + std::to_string(k) + "\r\n"; };
  auto lineOf = [](int k, bool lastMark, const std::string& bytes) {
    std::string hex = HexUpper(bytes);
    return PacketNumber(k) + "0" + (lastMark ? "0" : "1") + hex + Hex4(CharSum(hex) & 0xFFFF);
  };
  const bool last = n >= d.count || n == options.earlyLastPacket;
  std::string header = headerOf(n);
  std::string good = lineOf(n, last, bytesOf(n));
  std::string tail = "\r\n";
  if (last && options.downloadPastEnd) tail += headerOf(n + 1) + lineOf(n + 1, true, "past the end") + "\r\n";
  if (last) tail += kOk;
  // What D_ERR brings back is the good packet, unless it is to fail again.
  lastPacket_ = Reply{header + good + tail, header.size() + good.size() / 2};
  std::string line = good;
  if (options.badCheck || (n == options.corruptDownloadPacket && d.corrupted < options.corruptDownloadTimes)) {
    ++d.corrupted;
    if (options.corruptDownloadChar < 0) {
      line.replace(line.size() - 4, 4, Hex4((CharSum(line.substr(4, line.size() - 8)) + 1) & 0xFFFF));
    } else {
      char& c = line[4 + static_cast<size_t>(options.corruptDownloadChar) % (line.size() - 4)];
      c = kHexDigits[(HexValue(c) + 1) & 15];
    }
  }
  d.sent = n;
  // An unsolicited line (a call coming in) between the header and the data.
  if (n == options.lineInPacket && !d.rang) {
    d.rang = true;
    header += "RING\r\n";
  }
  // Cutting inside the data line keeps the PC from judging half a packet.
  return Reply{header + line + tail, header.size() + line.size() / 2};
}

Reply PhoneEngine::DuePacket(int n, const Options& options) {
  Download& d = *download_;
  if (n == options.swapDownloadPacket && !d.swapped && n < d.count) {
    d.swapped = true;
    d.swapBack = n;
    return PacketReply(n + 1, options);
  }
  return PacketReply(n, options);
}

Reply PhoneEngine::NextPacket(const Options& options) {
  if (!download_) return Text(kError);
  Download& d = *download_;
  if (d.swapBack > 0) {
    const int after = d.sent;
    Reply r = PacketReply(d.swapBack, options);
    d.swapBack = 0;
    d.sent = after;
    return r;
  }
  if (d.sent == options.repeatDownloadPacket && !d.repeated) {
    d.repeated = true;
    return PacketReply(d.sent, options);
  }
  int n = d.sent + 1;
  Reply r = DuePacket(n, options);
  if (n > d.count) download_.reset();  // the closing empty packet ends it
  return r;
}

Reply PhoneEngine::Resend(const Options& options) {
  if (lastPacket_.text.empty()) return Text(kError);
  // A packet meant to fail more than once fails again when asked for again.
  if (download_ && (options.badCheck || (download_->sent == options.corruptDownloadPacket &&
                                          download_->corrupted < options.corruptDownloadTimes)))
    return PacketReply(download_->sent, options);
  return lastPacket_;
}

Reply PhoneEngine::SuiteList(const Options& options) const {
  // The listing text, with the span of every value; the keys and line ends
  // between values must stay whole for the PC to find them.
  std::string text;
  std::vector<std::pair<size_t, size_t>> values;  // [start, end]
  auto value = [&](const std::string& v) {
    values.emplace_back(text.size(), text.size() + v.size());
    text += v;
  };
  std::vector<Suite> suites = ScanSuites(FolderPath(4));
  for (size_t i = 0; i < suites.size(); ++i) {
    const Suite& s = suites[i];
    text += i == 0 ? "URL:" : "\r\nURL:";
    value(s.url);
    text += "\r\nNAME:";
    value(s.name);
    text += "\r\nSIZE:";
    value(std::to_string(s.jarSize));
    text += "\r\nVERSION:";
    value(s.version);
  }
  if (!suites.empty()) text += "\r\n";
  // A phone that writes the list as it is, no packet header on its line.
  if (options.bareSuiteList) return Reply{"\r\n*FDWN: 1\r\n" + text + kOk, 0};

  // A seam due inside a key moves on to the start of the next value, and
  // one due in a value that already holds a seam moves to the next value:
  // the PC cuts one seam out of each value and looks no further.
  std::vector<size_t> seams;
  std::vector<bool> seamed(values.size(), false);
  size_t v = 0;
  if (options.seamEvery > 0) {
    for (size_t at = static_cast<size_t>(options.seamEvery); at < text.size();
         at += static_cast<size_t>(options.seamEvery)) {
      while (v < values.size() && values[v].second < at) ++v;
      size_t i = v;
      while (i < values.size() && seamed[i]) ++i;
      if (i >= values.size()) break;
      size_t pos = std::max(at, values[i].first);
      seamed[i] = true;
      seams.push_back(pos);
    }
  }
  std::string out = "\r\n*FDWN: 1\r\n0100";
  size_t copied = 0;
  int packet = 2;
  for (size_t pos : seams) {
    out += text.substr(copied, pos - copied);
    out += "0000*FDWN:" + PacketNumber(packet++) + "01";
    copied = pos;
  }
  out += text.substr(copied);
  out += kOk;
  // The list must reach the PC whole: a first burst that already holds the
  // header line would be judged as a packet without its "OK".
  return Reply{out, 7};
}

}  // namespace phonesim
