#pragma once
// Pure pieces of the file commands (listing and packet parsers, name checks)
// and the download targets, kept apart from the port so they can be tested
// and fuzzed on their own.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "link/Reply.h"

// Target of the download parser: the PC file, or memory in tests.
class IPacketSink {
 public:
  virtual ~IPacketSink() = default;
  virtual bool Put(uint8_t byte) = 0;
  virtual void Back(long count) = 0;  // move the write position back
};

// ---- Folder listing ----

enum class TListingOutcome { Ok, NoFiles, ParseError };

// The size of a listed file whose size text is not plain decimal digits
// fitting 32 bits: such a file has no bound and is never fetched.
inline constexpr int32_t kUnreadableSize = -1;

struct TListingEntry {
  std::string name;
  int32_t size = 0;      // kUnreadableSize when the text is no size
  std::string sizeText;  // the size for people: see ListedSizeText
};

struct TListingResult {
  // Complete file entries in listing order; on ParseError the ones before it.
  std::vector<TListingEntry> entries;
  TListingOutcome outcome = TListingOutcome::Ok;
};

// Reads "<F> name (size)" entries out of a listing reply. Entries with any
// other mark are stepped over. A size that is not plain decimal digits
// fitting 32 bits reads as kUnreadableSize.
TListingResult ParseListing(const std::string& text);

// A listed size as shown to people: the number read (leading zeros
// dropped), or for a size that cannot be read, the phone's text in its
// brackets, so it never passes for a number.
std::string ListedSizeText(std::string_view listed, int32_t size);

// What the user is told about a file whose listed size cannot be read;
// 'listed' (its ListedSizeText) may be left out.
std::string UnreadableSizeMessage(const std::string& name, const std::string& listed = {});

// ---- Download packets ----

struct TPacketParseResult {
  int state = rsWaiting;        // state after the parse
  std::string message;          // message to show, empty for none
  long written = 0;             // bytes handed to the sink and kept
};

// Where one download stands between its reply texts: packets must come
// numbered 1, 2, 3, ...; the packet just taken may come again (it is not
// written twice); after a packet marked last only an empty one may follow.
struct TPacketSequence {
  long long next = 1;      // number of the packet expected next
  bool lastTaken = false;  // a packet marked last was taken
  long long bytes = 0;     // bytes kept so far
  // The most bytes the file may have (its listed size); a packet that
  // would pass it is refused, so a phone cannot run on. Negative: none.
  long long bound = -1;
};

// Messages of a packet that does not fit the sequence.
extern const char* const kPacketOutOfOrder;
extern const char* const kPacketPastEnd;
extern const char* const kPastListedSize;

// Checks and writes every packet of one reply text. 'state' is the verdict
// before the parse; it comes back unchanged on success, rsChecksumError after
// a check value mismatch (the sink is moved back over every byte of this
// text, and the sequence stays where it was) or rsError for a malformed
// packet or one out of sequence. Without a sequence each text is judged on
// its own. Never reads outside the text.
TPacketParseResult ParsePacketText(const std::string& text, IPacketSink& sink, int state,
                                   TPacketSequence* sequence = nullptr);

// Value of an upper-case hexadecimal digit, -1 for anything else.
int HexDigitValue(char c);

// Download target in memory (tests, fuzzing).
class TMemorySink : public IPacketSink {
 public:
  bool Put(uint8_t byte) override;
  // Also drops what lay past the new position, so a refused packet leaves
  // no trace.
  void Back(long count) override;
  std::vector<uint8_t> bytes;
  size_t pos = 0;
  int backCalls = 0;
};

// Download target on disk. Back() truncates at the new position too.
class TFileSink : public IPacketSink {
 public:
  explicit TFileSink(std::FILE* f) : f_(f) {}
  bool Put(uint8_t byte) override;
  void Back(long count) override;
  // A write, flush or truncation failed: the file cannot be trusted.
  bool Failed() const { return failed_; }

 private:
  std::FILE* f_;
  bool failed_ = false;
};

// ---- Names ----

// A phone-side name that may become a file in the PC folder: not empty, not
// "." or "..", no path separator, no NUL.
bool IsSafeLocalName(const std::string& name);

// A name that may go between the quotation marks of a command line: one
// entry of a phone folder (no slash or backslash, not "." or ".."), no quotation
// mark and no control byte (below 0x20, or 0x7F).
bool IsSafeCommandName(const std::string& name);

// What the user is told about a name refused by the checks above, naming it.
std::string InvalidNameMessage(const std::string& name);

// Folder + separator + name.
std::string JoinLocalPath(const std::string& folder, const std::string& name);


// Per-packet tick limit of the upload: long waits on every 80th packet and
// on the last packet of a long file, where the phone flushes its storage.
int UploadTickLimit(int n, int count);
