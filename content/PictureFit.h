#pragma once
// "Fit to phone" as the pages and the command line see it: a copy of a
// picture the picture page refuses only for its size, dimensions or
// format, made into one the page takes. How the copy is made is a front
// end's business (it needs image codecs); a build without them has no
// fitter. Paths and texts are UTF-8.
#include <cstdint>
#include <functional>
#include <string>

#include "content/PcScan.h"
#include "link/FormView.h"

class TUiTextDecoder;

namespace fit {

enum class TRefusal {
  None,
  AlreadySuitable,  // the picture page takes the file as it is
  NotFittable,      // refused for another reason (an animation, a damaged or empty file...)
  NotReadable,      // no image reader takes it
  WriteFailed,
  NoFit,            // not even a tiny copy fits
};

struct TFitOutcome {
  TRefusal refusal = TRefusal::None;
  pcscan::TJudgement why;  // the original's judgement on the picture page
  std::string path;        // the copy
  std::string detail;      // the reader's or writer's error
  int width = 0, height = 0;
  int quality = 0;
  int64_t bytes = 0;
};

class TPictureFitter {
 public:
  virtual ~TPictureFitter() = default;
  // The original's judgement, and whether a copy can be fitted.
  virtual bool CanFit(const std::string& path, pcscan::TJudgement* why = nullptr) const = 0;
  // Makes NAME-fit.jpg (or NAME-fit-2.jpg ...) in toDir, default the
  // original's folder. Never overwrites a file; the original is only read.
  virtual TFitOutcome Fit(const std::string& path, const std::string& toDir = {}) const = 0;
};

// Below this JPEG quality a smaller picture looks better than a coarser one.
inline constexpr int kLowestQuality = 30;

// The picture as a baseline JPEG scaled to width x height at a quality
// (1..100); empty when it cannot be encoded. A fitter supplies it with its codecs.
using TScaledEncoder = std::function<std::string(int width, int height, int quality)>;
struct TFitEncoding {
  std::string bytes;  // empty: nothing fits, not even one pixel
  int width = 0, height = 0, quality = 0;
};
// The copy of a width x height picture: within the page's largest side
// with its aspect, at the highest quality the picture page takes, and
// smaller still when even the lowest quality is refused.
TFitEncoding EncodeToFit(int width, int height, const TScaledEncoder& encode);
// Why a file the fitter cannot fit gets no copy, from the original's judgement.
TRefusal RefusalForUnfittable(const pcscan::TJudgement& why);

// Why no copy was made, in the given language (0 English), as UTF-8.
std::string RefusalText(const TFitOutcome& outcome, int languageIndex, const TUiTextDecoder& decoder);

}  // namespace fit

// The pages' words for a front end, in the language chosen now, as UTF-8.
// Why the page of folder does not take a file.
std::string ReasonUtf8(const pcscan::TJudgement& why, int folder, const TUiTextDecoder& decoder);
// The same in every language; without a decoder, the Chinese columns'
// bytes as they are (Latin-1).
TWordsByLanguage ReasonWords(const pcscan::TJudgement& why, int folder, const TUiTextDecoder* decoder);
// Why no copy was made.
std::string RefusalUtf8(const fit::TFitOutcome& outcome, const TUiTextDecoder& decoder);
// A file dropped on the phone list that is not sent, and the offer of a
// fitted copy; name is the file's name, reason one of the two above.
std::string DropNotSentText(const std::string& name, const std::string& reason, const TUiTextDecoder& decoder);
std::string DropFitQuestionText(const std::string& name, const std::string& reason, const TUiTextDecoder& decoder);
