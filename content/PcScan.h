#pragma once
// Which PC files the phone can take into a content folder (1 melodies,
// 2 animations, 3 pictures), judged from the file's size, name and first
// bytes. The judgement is split in pure steps so each rule can be tested
// on bytes alone; ScanFolder runs them over a directory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pcscan {

inline constexpr int64_t kMaxFileSize = 63000;
inline constexpr int kMaxPictureSide = 640;
// The JPEG frame header search reads the file in pieces of this size.
inline constexpr size_t kJpegChunk = 4096;

inline constexpr const char* kNoDirectory = "Unable to open directory";
inline constexpr const char* kOperationError = "Image Operation Error";
inline constexpr const char* kNothingSuitable = "No suitable file in this folder";
// "Image" + name + "Open Error", joined without spaces.
std::string OpenErrorText(const std::string& name);

// Reads up to n bytes from offset into buf; returns how many it got
// (fewer at the end of the file).
using TByteReader = std::function<size_t(uint64_t offset, unsigned char* buf, size_t n)>;

enum class TVerdict {
  Listed,
  NotListed,
  OperationError,  // the header offset lies beyond the end of the file
  NeedAnimatedGif, // header passed; listed when the GIF holds at least 2 frames
  NeedStillGif,    // header passed; listed when the GIF holds at most 1 frame
};

// Files of 1..63000 bytes are looked at; others are passed over silently.
bool SizeAccepted(int64_t size);

// The header rules of one folder. Reads only the bytes the rules need.
TVerdict JudgeHeader(int folder, std::string_view name, int64_t size, const TByteReader& read);

// Final answer for the two GIF verdicts once the frame count is known.
bool FramesAccepted(TVerdict verdict, int frames);

// Why a file is not listed. The texts are the window's business.
enum class TReason {
  None,           // listed
  Empty,
  TooLarge,       // size, against kMaxFileSize
  TooManyPixels,  // width x height over kMaxPictureSide
  WrongType,      // type: what the first bytes say ("" unknown)
  StillGif,       // animation page: one frame or none
  AnimatedGif,    // picture page: frames
  JpegLayout,     // components: from the frame header, 0 when none was found
  Truncated,      // the header the rules need is cut short
  Unreadable,     // the file cannot be opened
  Damaged,        // a GIF whose blocks cannot be followed
};

struct TJudgement {
  TVerdict verdict = TVerdict::NotListed;
  TReason reason = TReason::None;
  int64_t size = 0;
  int width = 0, height = 0;
  int frames = 0;
  int components = 0;
  std::string type;
};

// The header rules with their reason; JudgeHeader is its verdict alone.
// The explanation reads a few more bytes, and only for a file not listed.
TJudgement JudgeHeaderWhy(int folder, std::string_view name, int64_t size, const TByteReader& read);
// The size rule with its reason (None when the size is accepted).
TReason SizeReason(int64_t size);
// Completes a GIF judgement once its frames are counted.
void ApplyFrames(TJudgement& j, int frames);
// Name of a common file type from its first bytes ("PNG", "MP3", ...), "" when unknown.
std::string SniffType(const unsigned char* head, size_t n);

struct TScanEntry {
  std::string name;
  int32_t size = 0;
};

struct TRejectedEntry {
  std::string name;
  TJudgement why;  // why.size is the file size
};

using TMessageFn = std::function<void(const std::string&)>;
using TEntryFn = std::function<void(const TScanEntry&)>;
using TRejectFn = std::function<void(const TRejectedEntry&)>;

// Lists the files of dir that folder would accept, in the order the
// directory yields them, telling onMessage what the page tells the user.
// onEntry (optional) sees each accepted file as soon as it is found.
// onRejected (optional) sees every other regular file with its reason; a
// GIF that cannot be decoded is one of them (Damaged), and the scan goes on.
std::vector<TScanEntry> ScanFolder(int folder, const std::string& dir, const TMessageFn& onMessage,
                                   const TEntryFn& onEntry = {}, const TRejectFn& onRejected = {});

// Judges one file as ScanFolder would (frames counted, size rule first;
// a broken GIF is Damaged). For a single file
// outside a scan: a drop, a fitted copy.
TJudgement JudgeFile(int folder, const std::string& path);

}  // namespace pcscan
