#pragma once
// A fresh empty folder of this run's in the system's temporary folder,
// removed with everything in it at the end: where a page that also reads a
// PC folder is pointed when only the phone's side is wanted.
#include <string>

class TTempFolder {
 public:
  explicit TTempFolder(const std::string& prefix = "quendrel-empty-");
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  // UTF-8; empty when no folder could be made.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
