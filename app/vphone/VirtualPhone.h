#pragma once
// The virtual phone as a stand-in for a real one: started in the background
// on a pseudo-terminal, entered in the port map and chosen as the port.
#include <memory>
#include <string>

namespace phonesim {
class PhoneSim;
}

class TVirtualPhone {
 public:
  static constexpr const char* kPortName = "COM99";

  TVirtualPhone();
  ~TVirtualPhone();  // stops the phone and takes it out of the port map

  // Copies the sample content to a fresh folder and starts serving it.
  bool Start(std::string* error);
  std::string Device() const;
  // A PC folder with sample files to send (a fresh copy).
  std::string PcSamples() const { return pcSamples_; }

 private:
  std::unique_ptr<phonesim::PhoneSim> sim_;
  std::string root_;
  std::string pcSamples_;
};

// Where the sample content lives (source tree or installed share folder).
std::string SamplesFolder();
