// Time of the PC folder scan over 10,000 mixed files, per page. Prints figures only.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "content/ContentPage.h"
#include "link/Link.h"
#include "support/FakeView.h"

namespace {

std::string Le16(int v) { return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)}; }

std::string Gif(int images) {
  std::string b = "GIF89a" + Le16(64) + Le16(48) + std::string("\x80\0\0", 3) + std::string(6, '\x40');
  for (int i = 0; i < images; ++i) {
    b += std::string("\x21\xf9\x04\x00\x0a\x00\x00\x00", 8);
    b += std::string("\x2c\0\0\0\0\x40\0\x30\0\0\x02", 11);
    // Plenty of image data, so the GIF walk has real work to skip.
    for (int k = 0; k < 20; ++k) b += '\xff' + std::string(255, '\x11');
    b += '\0';
  }
  return b + "\x3b";
}

std::string Jpeg(size_t filler) {
  std::string b("\xff\xd8\xff\xe0\x00\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 20);
  b += std::string(filler, '\x55');  // the frame header sits deep in the file
  b += std::string("\xff\xc0\x00\x11\x08\x01\x00\x01\x40\x03", 10);
  return b + "\xff\xd9";
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/quendrel-bench-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;

  const std::string kinds[] = {
      "MThd" + std::string(2000, '\0'),              // melody
      "MMMD" + std::string(3000, '\0'),              // melody
      Gif(1),                                       // still picture
      Gif(3),                                       // animation
      "BM" + std::string(16, '\0') + std::string("\x40\x01\0\0\xf0\0\0\0", 8) + std::string(3000, '\0'),
      Jpeg(20000),                                  // picture, long search
      std::string(5000, 'w'),                       // named .wbmp below
      std::string(4000, 't'),                       // text, never listed
      std::string(64000, 'b'),                      // too large
  };
  const char* ext[] = {".mid", ".mmf", ".gif", ".gif", ".bmp", ".jpg", ".wbmp", ".txt", ".bin"};
  const int kFiles = 10000;
  for (int i = 0; i < kFiles; ++i) {
    int k = i % 9;
    std::ofstream(dir + "/f" + std::to_string(i) + ext[k], std::ios::binary) << kinds[k];
  }

  FakeView view;
  TLink link(view);
  TPageState pages;
  TContentPage page(link, pages);
  pages.PcFolder = dir;
  std::printf("ScanPcFolder over %d mixed files\n", kFiles);
  for (int folder = 1; folder <= 3; ++folder) {
    pages.FolderNumber = folder;
    view.lists.clear();
    auto t0 = std::chrono::steady_clock::now();
    page.ScanPcFolder();
    auto t1 = std::chrono::steady_clock::now();
    double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
    std::printf("  folder %d: %8.1f ms, %zu listed\n", folder, ms, page.PcFileList.Count());
  }
  std::filesystem::remove_all(dir);
  return 0;
}
