#include "support/ZipFile.h"

#include <zip.h>

bool WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  int code = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!z) return false;
  for (const auto& [name, data] : entries) {
    // libzip copies nothing until the close: the strings outlive it here.
    zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
    if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
      if (src) zip_source_free(src);
      zip_discard(z);
      return false;
    }
  }
  return zip_close(z) == 0;
}
