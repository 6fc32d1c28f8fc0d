// Download packets: any reply text, written into a memory file that
// refuses to be moved back over bytes it never got, and that may fail a
// write part way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "link/Link.h"
#include "link/PhoneFiles.h"
#include "link/Transfers.h"

namespace {

class TCheckedSink : public IPacketSink {
 public:
  explicit TCheckedSink(long failAt) : failAt_(failAt) {}
  bool Put(uint8_t byte) override {
    if (failAt_ >= 0 && puts_ == failAt_) return false;
    ++puts_;
    bytes.resize(pos);
    bytes.push_back(byte);
    ++pos;
    return true;
  }
  void Back(long count) override {
    // Moving back past the start of this download would eat the bytes of
    // earlier replies (or, on disk, of the file before them).
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(static_cast<size_t>(count) <= pos);
    pos -= static_cast<size_t>(count);
    bytes.resize(pos);
  }
  std::vector<uint8_t> bytes;
  size_t pos = 0;

 private:
  long failAt_;
  long puts_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int start = data[0] % 7;
  // Top bit of the first byte: a disk that fills up after data[1] bytes.
  const long failAt = (data[0] & 0x80) ? data[1] : -1;
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

  // Earlier packets already on the file: they must survive whatever this
  // reply does.
  const long sinkFailAt = failAt < 0 ? -1 : failAt + 3;
  auto primed = [sinkFailAt] {
    TCheckedSink s(sinkFailAt);
    for (uint8_t b : {0x11, 0x22, 0x33}) FUZZ_CHECK(s.Put(b));
    return s;
  };
  TCheckedSink sink = primed();
  const size_t before = sink.pos;

  const TPacketParseResult r = ParsePacketText(text, sink, start);
  FUZZ_CHECK(r.state == start || r.state == rsChecksumError || r.state == rsError);
  FUZZ_CHECK(sink.pos >= before);
  FUZZ_CHECK(sink.bytes[0] == 0x11 && sink.bytes[1] == 0x22 && sink.bytes[2] == 0x33);
  FUZZ_CHECK(r.written >= 0);
  // What the parser says it kept is what the file holds beyond the old end.
  FUZZ_CHECK(static_cast<size_t>(r.written) == sink.pos - before);
  // A check value mismatch asks for the whole reply again: nothing of it stays.
  if (r.state == rsChecksumError && start != rsChecksumError) FUZZ_CHECK(r.written == 0);
  // Every kept byte came from two hex digits of the text.
  FUZZ_CHECK(static_cast<size_t>(r.written) * 2 <= text.size());

  // The link's own entry point on the same text: it takes the text out of
  // the reply, moves the verdict and writes the same bytes.
  static fuzz::NullView view;
  static TLink link(view);
  link.Reply().Reset(start);
  link.Reply().SetText(text);
  view.messages = 0;
  TCheckedSink viaLink = primed();
  ParseDownloadPacket(link, viaLink);
  FUZZ_CHECK(link.Reply().TextLength() == 0);
  FUZZ_CHECK(link.Reply().State() == r.state);
  FUZZ_CHECK(viaLink.bytes == sink.bytes);
  FUZZ_CHECK((view.messages == 1) == !r.message.empty());
  if (!r.message.empty()) FUZZ_CHECK(view.lastMessage == r.message);
  return 0;
}
