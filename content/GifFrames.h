#pragma once
// Frame count of a GIF file, from its block structure alone (no pixels are
// decoded). A damaged or hostile file raises std::runtime_error whose text
// starts with "GIF decode error: ".
#include <cstddef>
#include <string>
#include <string_view>

namespace gif {

// One frame per image descriptor, plus one for a group of extension blocks
// that follows the last image with no image after it (an image followed by
// a comment counts 2). A file without any image counts 0. The data may end
// at a block boundary instead of with the trailer.
int CountFrames(std::string_view data);

// Loads the whole file and counts its frames; a file that cannot be read
// raises the same error type.
int CountFramesInFile(const std::string& path);

}  // namespace gif
