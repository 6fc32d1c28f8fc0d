#pragma once
// The real window's session in tests: serve the window thread, as its
// event loop would, until the worker has nothing left to run.
#include <QAbstractButton>
#include <QApplication>
#include <chrono>
#include <functional>
#include <thread>

#include "app/gui/MainForm.h"

// False when the worker is still busy after the limit.
inline bool Settle(TVelkoMainForm& form, std::chrono::seconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!form.SessionIdle()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  QApplication::processEvents();
  return true;
}

// Runs an operation on the window's worker, as a handler does, and serves
// the window until it has ended.
inline bool OnSession(TVelkoMainForm& form, std::function<void()> operation) {
  form.RunOnSession(std::move(operation));
  return Settle(form);
}

// Clicks a button of the window, as the user does, and serves the window
// until what it started has ended.
inline bool ClickAndSettle(TVelkoMainForm& form, const char* button) {
  form.findChild<QAbstractButton*>(button)->click();
  return Settle(form);
}
