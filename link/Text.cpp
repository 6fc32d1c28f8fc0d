#include "link/Text.h"

#include <limits>

#ifdef _WIN32
#include "port/win32/WinApi.h"
#endif

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr int64_t kMax = std::numeric_limits<int32_t>::max();

}  // namespace

std::optional<int32_t> ParseDecimal(std::string_view text, bool allowSign) {
  size_t i = 0;
  bool negative = false;
  if (allowSign && i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    v = v * 10 + (text[i] - '0');
    if (v > kMax + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > kMax) return std::nullopt;
  return static_cast<int32_t>(v);
}

int32_t LeadingDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t v = 0;
  while (i < text.size() && IsDigit(text[i])) {
    v = v * 10 + (text[i++] - '0');
    if (v > kMax + 1) v = kMax + 1;
  }
  if (negative) return static_cast<int32_t>(-v);
  return static_cast<int32_t>(v > kMax ? kMax : v);
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = Upper(c);
  return text;
}

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
#ifdef _WIN32
  if (path.empty()) return nullptr;
  return _wfopen(WidePath(path).c_str(), Wide(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

std::filesystem::path Utf8Path(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return std::filesystem::path(utf8);
#endif
}

std::string PathUtf8(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
#else
  return path.string();
#endif
}
