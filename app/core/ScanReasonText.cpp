#include "app/core/ScanReasonText.h"

#include "app/core/Config.h"
#include "app/core/UiText.h"

QString ReasonText(const pcscan::TJudgement& why, int folder, int lang) {
  using pcscan::TReason;
  auto t = [lang](const UiText& e) { return UiTextToQString(e, lang); };
  switch (why.reason) {
    case TReason::None:
      return {};
    case TReason::Empty:
      return t(uitext::ReasonEmpty);
    case TReason::TooLarge:
      return t(uitext::ReasonTooLarge).arg(why.size).arg(pcscan::kMaxFileSize);
    case TReason::TooManyPixels:
      return t(uitext::ReasonTooManyPixels).arg(why.width).arg(why.height);
    case TReason::WrongType: {
      QString type = why.type.empty() ? t(uitext::ReasonUnknownType) : QString::fromStdString(why.type);
      const UiText& e = folder == 1   ? uitext::ReasonNotMelody
                        : folder == 2 ? uitext::ReasonNotAnimation
                                      : uitext::ReasonNotPicture;
      return t(e).arg(type);
    }
    case TReason::StillGif:
      return t(uitext::ReasonStillGif);
    case TReason::AnimatedGif:
      return t(uitext::ReasonAnimatedGif).arg(why.frames);
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

QString ReasonText(const pcscan::TJudgement& why, int folder) {
  return ReasonText(why, folder, AppConfig().LanguageIndex);
}
