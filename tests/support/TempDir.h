#pragma once
// A temporary folder removed at the end of the test, and an isolated settings store.
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

// Points the settings store at a fresh folder and keeps system serial
// devices out of the port map for the rest of the process.
void IsolateSettings(const TempDir& dir);
