#include "app/win32gui/WinThumbnails.h"

#include "app/win32/WinFitPicture.h"

namespace win32gui {

TThumbnails::TThumbnails(HWND list, HWND notify, UINT done, int side)
    : list_(list), notify_(notify), done_(done), side_(side), worker_([this] { Work(); }) {
  images_ = ImageList_Create(side, side, ILC_COLOR32, 16, 16);
  // The pictures are this object's: the list must not destroy them with itself.
  SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
}

TThumbnails::~TThumbnails() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    queued_.clear();
  }
  wake_.notify_all();
  worker_.join();
  for (TJob& j : ready_)
    if (j.bitmap) DeleteObject(j.bitmap);
  if (shown_) SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
  if (images_) ImageList_Destroy(images_);
}

void TThumbnails::SetShown(bool on) {
  if (on == shown_) return;
  shown_ = on;
  // Without the list the rows keep no room for a picture (the melody page).
  SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(on ? images_ : nullptr));
}

void TThumbnails::Queue(int row, const std::wstring& name, const std::wstring& path) {
  if (!shown_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back({generation_, row, name, path});
    ++outstanding_;
  }
  wake_.notify_one();
}

void TThumbnails::Clear() {
  std::vector<TJob> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    queued_.clear();
    dropped.swap(ready_);
    outstanding_ = 0;
  }
  for (TJob& j : dropped)
    if (j.bitmap) DeleteObject(j.bitmap);
  ImageList_RemoveAll(images_);
}

int TThumbnails::Outstanding() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outstanding_;
}

void TThumbnails::Apply(const std::function<std::wstring(int row)>& shownName) {
  std::vector<TJob> ready;
  unsigned generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready.swap(ready_);
    generation = generation_;
  }
  for (TJob& j : ready) {
    if (j.generation == generation) {
      if (j.bitmap && j.name == shownName(j.row)) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = j.row;
        item.iImage = ImageList_Add(images_, j.bitmap, nullptr);
        if (item.iImage >= 0) SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      }
      std::lock_guard<std::mutex> lock(mutex_);
      if (generation_ == generation && outstanding_ > 0) --outstanding_;
    }
    if (j.bitmap) DeleteObject(j.bitmap);
  }
}

void TThumbnails::Work() {
  // The codecs need COM on this thread.
  fit::TComScope com;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || !queued_.empty(); });
    if (quit_) return;
    TJob job = std::move(queued_.front());
    queued_.pop_front();
    lock.unlock();
    job.bitmap = fit::WinThumbnail(job.path, side_);
    lock.lock();
    if (job.generation != generation_) {
      if (job.bitmap) DeleteObject(job.bitmap);
      continue;
    }
    const bool first = ready_.empty();
    ready_.push_back(std::move(job));
    // One message for a run of results; Apply takes all that wait.
    if (first) PostMessageW(notify_, done_, 0, 0);
  }
}

}  // namespace win32gui
