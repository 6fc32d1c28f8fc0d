#pragma once
// "Fit to phone" on the Windows Imaging Component: a copy of a picture the
// picture page refuses only for its size, dimensions or format, made into
// a colour baseline JPEG the page takes. The original is only read. Paths
// are UTF-8; any thread may call it (COM is set up for the call).
#include <windows.h>

#include <string>

#include "content/PcScan.h"
#include "content/PictureFit.h"

namespace fit {

// COM on the calling thread for a scope: joins the apartment the thread
// has, or makes it a single-threaded one; leaves it as it found it.
class TComScope {
 public:
  TComScope();
  ~TComScope();
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  bool owned_ = false;
};

class TWinPictureFitter : public TPictureFitter {
 public:
  bool CanFit(const std::string& path, pcscan::TJudgement* why = nullptr) const override;
  TFitOutcome Fit(const std::string& path, const std::string& toDir = {}) const override;
};

// The first frame of a picture within side x side with its aspect, centred
// on a transparent side x side 32-bit bitmap (premultiplied alpha, for an
// image list); nullptr when no decoder takes the file.
HBITMAP WinThumbnail(const std::wstring& path, int side);

}  // namespace fit
