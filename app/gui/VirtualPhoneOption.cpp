#include "VirtualPhoneOption.h"

#include <cstdio>
#include <memory>

#ifdef QUENDREL_VIRTUAL_PHONE
#include "app/vphone/VirtualPhone.h"

namespace {
std::unique_ptr<TVirtualPhone>& Phone() {
  static std::unique_ptr<TVirtualPhone> phone;
  return phone;
}
}  // namespace

bool StartVirtualPhone(int argc, char** argv) {
  (void)argc;
  (void)argv;
  auto phone = std::make_unique<TVirtualPhone>();
  std::string error;
  if (!phone->Start(&error)) {
    std::fprintf(stderr, "virtual phone: %s\n", error.c_str());
    return false;
  }
  std::fprintf(stderr, "virtual phone on %s as %s\n", phone->Device().c_str(), TVirtualPhone::kPortName);
  Phone() = std::move(phone);
  return true;
}

void StopVirtualPhone() { Phone().reset(); }

std::string VirtualPhonePcFolder() { return Phone() ? Phone()->PcSamples() : std::string(); }

#else
// The virtual phone answers on a pseudo-terminal, which this system lacks.
bool StartVirtualPhone(int, char**) {
  std::fprintf(stderr, "virtual phone: needs a pseudo-terminal, which this system does not have\n");
  return false;
}
void StopVirtualPhone() {}
std::string VirtualPhonePcFolder() { return std::string(); }
#endif
