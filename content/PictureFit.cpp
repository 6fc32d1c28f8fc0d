#include "content/PictureFit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fit {

namespace {

// The picture page's own rules over the encoded bytes.
bool PageTakes(const std::string& bytes) {
  const int64_t size = static_cast<int64_t>(bytes.size());
  if (!pcscan::SizeAccepted(size)) return false;
  auto read = [&bytes](uint64_t off, unsigned char* buf, size_t n) -> size_t {
    if (off >= bytes.size()) return 0;
    const size_t k = std::min(n, static_cast<size_t>(bytes.size() - off));
    std::memcpy(buf, bytes.data() + off, k);
    return k;
  };
  return pcscan::JudgeHeader(3, "fit.jpg", size, read) == pcscan::TVerdict::Listed;
}

}  // namespace

TFitEncoding EncodeToFit(int width, int height, const TScaledEncoder& encode) {
  if (width <= 0 || height <= 0) return {};
  const double side = pcscan::kMaxPictureSide, w = width, h = height;
  double scale = std::min({1.0, side / w, side / h});
  for (;;) {
    const int tw = static_cast<int>(std::max(1L, std::lround(w * scale)));
    const int th = static_cast<int>(std::max(1L, std::lround(h * scale)));
    std::string best = encode(tw, th, kLowestQuality);
    if (best.empty()) return {};
    if (PageTakes(best)) {
      // The highest quality the page still takes.
      int lo = kLowestQuality + 1, hi = 100, bestQuality = kLowestQuality;
      while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        std::string bytes = encode(tw, th, mid);
        if (PageTakes(bytes)) {
          best = std::move(bytes);
          bestQuality = mid;
          lo = mid + 1;
        } else {
          hi = mid - 1;
        }
      }
      return {std::move(best), tw, th, bestQuality};
    }
    if (tw == 1 && th == 1) return {};
    scale *= 0.8;
  }
}

TRefusal RefusalForUnfittable(const pcscan::TJudgement& why) {
  return why.reason == pcscan::TReason::None        ? TRefusal::AlreadySuitable
         : why.reason == pcscan::TReason::WrongType ? TRefusal::NotReadable
                                                    : TRefusal::NotFittable;
}

}  // namespace fit
