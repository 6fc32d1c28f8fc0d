// A protocol log as the replay reads it (a user's file, edited or cut):
// whatever it holds, the reader either refuses it with a line number or
// gives records that write back to the same records.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "link/TraceFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  trace::Trace t;
  std::string error;
  if (!trace::Parse(text, &t, &error)) {
    FUZZ_CHECK(error.rfind("line ", 0) == 0);
    return 0;
  }
  std::string again;
  for (const trace::Record& r : t.records) {
    FUZZ_CHECK(!r.bytes.empty() && r.line >= 1 && r.ms >= 0);
    const std::string escaped = trace::Escape(r.bytes);
    FUZZ_CHECK(escaped.find_first_of("\r\n") == std::string::npos);
    again += std::string(r.written ? ">" : "<") + " 0 " + escaped + "\n";
  }
  trace::Trace back;
  FUZZ_CHECK(trace::Parse(again, &back, &error));
  FUZZ_CHECK(back.records.size() == t.records.size());
  for (size_t i = 0; i < t.records.size(); ++i) {
    FUZZ_CHECK(back.records[i].bytes == t.records[i].bytes);
    FUZZ_CHECK(back.records[i].written == t.records[i].written);
  }
  return 0;
}
