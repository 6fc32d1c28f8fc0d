#pragma once
// Small pictures in the PC list of the animation and picture pages,
// decoded on a thread of their own so a folder of many files never holds
// the window. Each result is posted back and set on its row only while
// the row still shows the same name; clearing the list forgets the rest.
// A file no decoder takes keeps a row without a picture.
#include <windows.h>

#include <commctrl.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace win32gui {

class TThumbnails {
 public:
  // list: the list view; done: posted to notify when results wait (Apply takes them).
  TThumbnails(HWND list, HWND notify, UINT done, int side);
  ~TThumbnails();
  TThumbnails(const TThumbnails&) = delete;
  TThumbnails& operator=(const TThumbnails&) = delete;

  // On: the list keeps room for a picture in every row (animation and picture pages).
  void SetShown(bool on);
  bool Shown() const { return shown_; }
  void Queue(int row, const std::wstring& name, const std::wstring& path);
  // Forgets queued work and results on their way, and the pictures made.
  void Clear();
  // On the window thread, for the posted message; shownName gives the
  // whole name a row stands for now.
  void Apply(const std::function<std::wstring(int row)>& shownName);
  // Files queued whose result has not been applied yet.
  int Outstanding() const;

 private:
  struct TJob {
    unsigned generation;
    int row;
    std::wstring name, path;
    HBITMAP bitmap = nullptr;
  };
  void Work();

  HWND list_, notify_;
  UINT done_;
  int side_;
  HIMAGELIST images_ = nullptr;
  bool shown_ = false;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TJob> queued_;
  std::vector<TJob> ready_;
  unsigned generation_ = 0;
  int outstanding_ = 0;
  bool quit_ = false;
  std::thread worker_;  // last: it starts once the rest is in place
};

}  // namespace win32gui
