// The archive reader on libzip.
#include <zip.h>

#include <memory>

#include "content/SuiteArchive.h"

namespace suite {
namespace {

struct TArchiveCloser {
  void operator()(zip_t* z) const { zip_discard(z); }  // read only: nothing to write back
};
struct TEntryCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

std::string OpenErrorText(int code) {
  zip_error_t e;
  zip_error_init_with_code(&e, code);
  std::string text = zip_error_strerror(&e);
  zip_error_fini(&e);
  return text;
}

}  // namespace

bool ReadArchiveEntry(const std::string& archivePath, const std::string& entryName, size_t maxBytes,
                      std::string* data, std::string* error) {
  data->clear();
  int code = 0;
  std::unique_ptr<zip_t, TArchiveCloser> archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &code));
  if (!archive) {
    *error = "not a readable archive (" + OpenErrorText(code) + ")";
    return false;
  }
  zip_int64_t index = zip_name_locate(archive.get(), entryName.c_str(), ZIP_FL_NOCASE);
  if (index < 0) {
    *error = "no " + entryName + " in the archive";
    return false;
  }
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
      st.size > maxBytes) {
    *error = entryName + " is larger than " + std::to_string(maxBytes) + " bytes";
    return false;
  }
  std::unique_ptr<zip_file_t, TEntryCloser> entry(zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(index), 0));
  if (!entry) {
    *error = entryName + " cannot be read (" + std::string(zip_strerror(archive.get())) + ")";
    return false;
  }
  // The stated size may lie: stop one byte past the cap whatever it says.
  char buf[8192];
  for (;;) {
    zip_int64_t got = zip_fread(entry.get(), buf, sizeof buf);
    if (got < 0) {
      *error = entryName + " is damaged (" + std::string(zip_file_strerror(entry.get())) + ")";
      data->clear();
      return false;
    }
    if (got == 0) break;
    data->append(buf, static_cast<size_t>(got));
    if (data->size() > maxBytes) {
      *error = entryName + " is larger than " + std::to_string(maxBytes) + " bytes";
      data->clear();
      return false;
    }
  }
  return true;
}

}  // namespace suite
