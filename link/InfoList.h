#pragma once
// Singly linked record lists; row i of a list view is entry i of its list.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

template <typename T>
class TInfoList {
 public:
  TInfoList() = default;
  TInfoList(const TInfoList&) = delete;
  TInfoList& operator=(const TInfoList&) = delete;
  ~TInfoList() { Clear(); }

  T* First() const { return head_.get(); }
  bool Empty() const { return !head_; }
  size_t Count() const {
    size_t n = 0;
    for (T* p = head_.get(); p; p = p->next.get()) ++n;
    return n;
  }
  // Appends a new record at the tail and returns it.
  T* Append() {
    std::unique_ptr<T>* slot = &head_;
    while (*slot) slot = &(*slot)->next;
    *slot = std::make_unique<T>();
    return slot->get();
  }
  // Removes and frees the last record.
  void RemoveLast() {
    if (!head_) return;
    std::unique_ptr<T>* slot = &head_;
    while ((*slot)->next) slot = &(*slot)->next;
    slot->reset();
  }
  // The record at a row index, found by counting from the first; null past the end.
  T* At(size_t index) const {
    T* p = head_.get();
    while (p && index--) p = p->next.get();
    return p;
  }
  void Clear() {
    // Iteratively, so a long list cannot overflow the stack.
    while (head_) head_ = std::move(head_->next);
  }

 private:
  std::unique_ptr<T> head_;
};

// One file of a folder listing (phone or PC).
struct pic_info {
  std::string Name;
  int32_t Size = 0;
  // The phone's size as listed, digits kept beyond 32 bits (where Size is 0);
  // empty for a PC file.
  std::string SizeText;
  std::unique_ptr<pic_info> next;
};
using TPicList = TInfoList<pic_info>;
