#include "support/LinkProbe.h"
#include "support/SimLink.h"

#include <filesystem>
#include <thread>

#include "link/PortMap.h"

SimLink::SimLink(phonesim::Options options, Line line, bool queued) {
  IFormView& shown = queued ? static_cast<IFormView&>(queuedView) : view;
  IsolateSettings(dir);
  if (options.contentDir.empty()) options.contentDir = dir.path() + "/phone";
  for (const char* f : {"1", "2", "3", "4"}) std::filesystem::create_directories(options.contentDir + "/" + f);
  if (line == Line::Memory) {
    auto backend = std::make_unique<phonesim::EngineBackend>(options);
    memory = backend.get();
    // The phone answers at once: the waits read it, with no receiver thread.
    link = std::make_unique<TLink>(shown, std::move(backend), TReceiverRun::InWaits);
  } else {
    sim = std::make_unique<phonesim::PhoneSim>(options);
    sim->Start();
    // The phone is a named port, as the window would see it.
    AddPortMapEntry(kPortName, sim->DevicePath());
    link = std::make_unique<TLink>(shown);
  }
  link->Port().SetPort(kPortName);
  connection = std::make_unique<TConnection>(*link);
}

void SimLink::EndLink() {
  connection.reset();  // it listens to the link: it goes first
  link.reset();
}

SimLink::~SimLink() {
  EndLink();
  sim.reset();
}

void SimLink::Connect() { link->Open(); }

TWaitEnd SimLink::Exchange(const std::string& line, const TWaitRule& rule) {
  link->Reply().Reset(rsWaiting);
  TLinkProbe(*link).SendLine(line);
  return TLinkProbe(*link).WaitReply(rule);
}

bool SimLink::PumpUntil(const std::function<bool()>& pred, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    link->WaitTurn();
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  link->WaitTurn();
  return pred();
}

phonesim::Options SimLink::PhoneOptions() const { return sim ? sim->GetOptions() : memory->GetOptions(); }

void SimLink::SetPhoneOptions(const phonesim::Options& options) {
  if (sim) sim->SetOptions(options);
  else memory->SetOptions(options);
}

std::vector<std::string> SimLink::PhoneLines() const { return sim ? sim->ReceivedLines() : memory->ReceivedLines(); }

void SimLink::ClearPhoneLines() {
  if (sim) sim->ClearReceived();
  else memory->ClearReceived();
}
