#pragma once
// The in-memory virtual phone behind the window's link: a fresh copy of the
// sample storage in a temporary folder, a PC sample folder beside it, and
// a port name of this run only that the link opens on the phone's engine.
#include <memory>
#include <string>

#include "port/ComPort.h"

namespace phonesim {
class EngineBackend;
}

class TWinVirtualPhone {
 public:
  static constexpr const char* kPortName = "COM99";
  // 'samples' holds "phone" and "pc"; empty: the folder SamplesFolder() finds.
  explicit TWinVirtualPhone(std::string samples = {});
  ~TWinVirtualPhone();
  TWinVirtualPhone(const TWinVirtualPhone&) = delete;
  TWinVirtualPhone& operator=(const TWinVirtualPhone&) = delete;

  // Copies the samples and registers the port; false with the reason.
  bool Start(std::string* error);
  // The back end the link is to own: the phone answers on it.
  std::unique_ptr<IComBackend> TakeBackend();
  // The phone itself, for tests that set its faults; it lives with the back end.
  phonesim::EngineBackend* Engine() const { return engine_; }
  const std::string& Root() const { return root_; }      // UTF-8
  std::string PhoneFolder() const { return root_ + "\\phone"; }
  std::string PcSamples() const { return root_ + "\\pc"; }

  // QUENDREL_SAMPLES, else "samples" beside the program, else the source tree's.
  static std::string SamplesFolder();

 private:
  std::string samples_;
  std::string root_;
  std::unique_ptr<IComBackend> backend_;
  phonesim::EngineBackend* engine_ = nullptr;
  bool registered_ = false;
};
