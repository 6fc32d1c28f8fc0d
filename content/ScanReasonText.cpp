#include "content/ScanReasonText.h"

#include "content/UiText.h"

std::string FillArgs(const std::string& pattern, const std::initializer_list<std::string>& args) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char d = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    const size_t n = static_cast<size_t>(d - '1');
    if (pattern[i] == '%' && d >= '1' && d <= '9' && n < args.size()) {
      out += *(args.begin() + n);
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::string ReasonText(const pcscan::TJudgement& why, int folder, int lang) {
  using pcscan::TReason;
  auto t = [lang](const UiText& e) { return std::string(UiBytes(e, lang)); };
  auto num = [](long long v) { return std::to_string(v); };
  switch (why.reason) {
    case TReason::None:
      return {};
    case TReason::Empty:
      return t(uitext::ReasonEmpty);
    case TReason::TooLarge:
      return FillArgs(t(uitext::ReasonTooLarge), {num(why.size), num(pcscan::kMaxFileSize)});
    case TReason::TooManyPixels:
      return FillArgs(t(uitext::ReasonTooManyPixels), {num(why.width), num(why.height)});
    case TReason::WrongType: {
      const std::string type = why.type.empty() ? t(uitext::ReasonUnknownType) : why.type;
      const UiText& e = folder == 1   ? uitext::ReasonNotMelody
                        : folder == 2 ? uitext::ReasonNotAnimation
                                      : uitext::ReasonNotPicture;
      return FillArgs(t(e), {type});
    }
    case TReason::StillGif:
      return t(uitext::ReasonStillGif);
    case TReason::AnimatedGif:
      return FillArgs(t(uitext::ReasonAnimatedGif), {num(why.frames)});
    case TReason::JpegLayout:
      return t(why.components == 1 ? uitext::ReasonGreyJpeg : uitext::ReasonJpegLayout);
    case TReason::Truncated:
      return t(uitext::ReasonTruncated);
    case TReason::Unreadable:
      return t(uitext::ReasonUnreadable);
    case TReason::Damaged:
      return t(uitext::ReasonDamaged);
  }
  return {};
}

std::string ReasonText(const pcscan::TJudgement& why, int folder) {
  return ReasonText(why, folder, UiLanguage());
}
