#pragma once
// A link connected to an in-process virtual phone, over a real
// pseudo-terminal or straight behind the port in memory.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "link/Connection.h"
#include "link/Link.h"
#include "link/PhoneFiles.h"
#include "link/QueuedView.h"
#include "link/ThreadQueue.h"
#include "support/FakeView.h"
#include "support/TempDir.h"
#include "virtualphone/EnginePort.h"
#include "virtualphone/PhoneSim.h"

struct SimLink {
  static constexpr const char* kPortName = "COM50";
  enum class Line { Pty, Memory };
  // 'queued': the link sees the view through a window queue that the
  // test's thread serves, as a session worker sees the window.
  explicit SimLink(phonesim::Options options = {}, Line line = Line::Pty, bool queued = false);
  ~SimLink();

  // The link goes, and the connection that listens to it before it.
  void EndLink();
  // Open the port on the phone and start the receiver (as FormCreate does).
  void Connect();
  // One exchange: start value, line, wait.
  TWaitEnd Exchange(const std::string& line, const TWaitRule& rule = TWaitRule{});
  // Serve the link's inbox until pred holds or ms pass.
  bool PumpUntil(const std::function<bool()>& pred, int ms = 5000);

  // The phone's faults and the lines it received, on either line.
  phonesim::Options PhoneOptions() const;
  void SetPhoneOptions(const phonesim::Options& options);
  std::vector<std::string> PhoneLines() const;
  void ClearPhoneLines();

  TempDir dir;
  FakeView view;
  TThreadQueue window;
  TQueuedView queuedView{view, window};
  std::unique_ptr<phonesim::PhoneSim> sim;    // on a pty
  phonesim::EngineBackend* memory = nullptr;  // in memory; the link's port owns it
  std::unique_ptr<TLink> link;
  std::unique_ptr<TConnection> connection;  // what a window would show of the link
  TPageState pages;  // what the pages and the phone file operations share
};
