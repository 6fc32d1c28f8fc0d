#pragma once
// A fresh empty folder of this run's in the system's temporary folder,
// removed with everything in it at the end: where a page that also reads a
// PC folder is pointed when only the phone's side is wanted, and where a
// restore keeps its private copies.
#include <string>

class TTempFolder {
 public:
  explicit TTempFolder(const std::string& prefix = "quendrel-empty-");
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  // UTF-8; empty when no folder could be made.
  const std::string& Path() const { return path_; }
  // Why no folder could be made (the system's words); empty otherwise.
  const std::string& Error() const { return error_; }

 private:
  std::string path_, error_;
};

// Removes every temporary folder that is still in use, and makes none
// from now on: for a program about to end without running its destructors.
// Not for a signal handler: call it from an ordinary thread.
void RemoveTempFoldersNow();
