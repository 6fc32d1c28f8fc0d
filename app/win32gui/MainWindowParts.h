#pragma once
// Pieces of the main window that need none of its state: the pictures of
// the page tool bar and the logo page, and the core's bytes as wide text.
#include <windows.h>

#include <string>

namespace fit {
class TPictureFitter;
}

namespace win32gui {

enum class TToolPicture { Melody, Animation, Picture, Java };

// A side x side picture for a tool button on the button face's colour.
HBITMAP MakeToolPicture(TToolPicture kind, int side);
// The logo page: the product's name over a drawn phone.
void PaintLogo(HDC dc, const RECT& area, HFONT font);
// Text from the core: UTF-8 when valid, otherwise one character per byte.
std::wstring WideFromBytes(const std::string& bytes);
// The window's "Fit to phone", on the system's imaging codecs.
const fit::TPictureFitter& PictureFitter();

// text as it fits in width pixels in the font selected into dc: whole, or
// cut in the middle with an ellipsis, keeping its start and its end.
std::wstring CutInTheMiddle(HDC dc, const std::wstring& text, int width);

}  // namespace win32gui
