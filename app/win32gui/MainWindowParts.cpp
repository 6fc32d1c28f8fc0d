#include "app/win32gui/MainWindowParts.h"

namespace win32gui {

namespace {

// Drawing on a 48-unit grid, scaled to the picture's side.
struct TPen {
  HDC dc;
  int side;
  int operator()(int v) const { return MulDiv(v, side, 48); }
};

void Fill(HDC dc, COLORREF colour, const RECT& r) {
  HBRUSH b = CreateSolidBrush(colour);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void Shape(HDC dc, COLORREF fill, COLORREF line, int width, void (*draw)(HDC, const TPen&), const TPen& s) {
  HBRUSH b = CreateSolidBrush(fill);
  HPEN p = CreatePen(PS_SOLID, width, line);
  HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, p);
  draw(dc, s);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(b);
  DeleteObject(p);
}

void DrawMelody(HDC dc, const TPen& s) {
  const COLORREF ink = RGB(30, 60, 150);
  Shape(dc, ink, ink, s(3), [](HDC d, const TPen& t) {
    Ellipse(d, t(8), t(32), t(20), t(42));
    Ellipse(d, t(28), t(28), t(40), t(38));
    MoveToEx(d, t(19), t(37), nullptr);
    LineTo(d, t(19), t(10));
    MoveToEx(d, t(39), t(33), nullptr);
    LineTo(d, t(39), t(6));
  }, s);
  // The beam joining the stems.
  POINT beam[4] = {{s(18), s(9)}, {s(41), s(4)}, {s(41), s(10)}, {s(18), s(15)}};
  HBRUSH b = CreateSolidBrush(ink);
  HGDIOBJ ob = SelectObject(dc, b);
  Polygon(dc, beam, 4);
  SelectObject(dc, ob);
  DeleteObject(b);
}

void DrawAnimation(HDC dc, const TPen& s) {
  Fill(dc, RGB(50, 50, 50), {s(4), s(8), s(44), s(40)});
  for (int i = 0; i < 5; ++i) {
    Fill(dc, RGB(240, 240, 240), {s(7 + 8 * i), s(10), s(11 + 8 * i), s(14)});
    Fill(dc, RGB(240, 240, 240), {s(7 + 8 * i), s(34), s(11 + 8 * i), s(38)});
  }
  const COLORREF frames[3] = {RGB(230, 120, 40), RGB(240, 190, 40), RGB(90, 170, 60)};
  for (int i = 0; i < 3; ++i) Fill(dc, frames[i], {s(7 + 12 * i), s(17), s(17 + 12 * i), s(31)});
}

void DrawPicture(HDC dc, const TPen& s) {
  Fill(dc, RGB(90, 90, 90), {s(3), s(7), s(45), s(41)});
  Fill(dc, RGB(150, 200, 240), {s(6), s(10), s(42), s(38)});
  Shape(dc, RGB(250, 210, 40), RGB(250, 210, 40), 1, [](HDC d, const TPen& t) {
    Ellipse(d, t(30), t(13), t(38), t(21));
  }, s);
  Shape(dc, RGB(60, 140, 60), RGB(60, 140, 60), 1, [](HDC d, const TPen& t) {
    POINT hills[5] = {{t(6), t(38)}, {t(6), t(32)}, {t(18), t(20)}, {t(30), t(32)}, {t(42), t(38)}};
    Polygon(d, hills, 5);
  }, s);
}

void DrawJava(HDC dc, const TPen& s) {
  const COLORREF cup = RGB(150, 80, 30);
  Shape(dc, cup, cup, 1, [](HDC d, const TPen& t) {
    POINT body[4] = {{t(8), t(22)}, {t(34), t(22)}, {t(30), t(42)}, {t(12), t(42)}};
    Polygon(d, body, 4);
    RoundRect(d, t(4), t(42), t(38), t(46), t(4), t(4));
  }, s);
  Shape(dc, RGB(0, 0, 0), cup, s(3), [](HDC d, const TPen& t) {
    Arc(d, t(29), t(24), t(43), t(36), t(33), t(36), t(33), t(24));
  }, s);
  Shape(dc, RGB(0, 0, 0), RGB(200, 60, 40), s(2), [](HDC d, const TPen& t) {
    for (int x : {14, 21, 28}) {
      MoveToEx(d, t(x), t(18), nullptr);
      LineTo(d, t(x + 3), t(12));
      LineTo(d, t(x), t(6));
    }
  }, s);
}

}  // namespace

HBITMAP MakeToolPicture(TToolPicture kind, int side) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, side, side);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, side, side};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  const TPen s{dc, side};
  switch (kind) {
    case TToolPicture::Melody: DrawMelody(dc, s); break;
    case TToolPicture::Animation: DrawAnimation(dc, s); break;
    case TToolPicture::Picture: DrawPicture(dc, s); break;
    case TToolPicture::Java: DrawJava(dc, s); break;
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

void PaintLogo(HDC dc, const RECT& area, HFONT font) {
  FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
  const int w = area.right - area.left, h = area.bottom - area.top;
  // A phone at the left, the name beside it.
  const int pw = h / 3, ph = h * 2 / 3, px = area.left + w / 6, py = area.top + (h - ph) / 2;
  HBRUSH body = CreateSolidBrush(RGB(60, 70, 90));
  HGDIOBJ ob = SelectObject(dc, body);
  HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
  RoundRect(dc, px, py, px + pw, py + ph, pw / 4, pw / 4);
  SelectObject(dc, ob);
  DeleteObject(body);
  RECT screen{px + pw / 8, py + ph / 8, px + pw * 7 / 8, py + ph / 2};
  HBRUSH glass = CreateSolidBrush(RGB(150, 200, 240));
  FillRect(dc, &screen, glass);
  DeleteObject(glass);
  HBRUSH keys = CreateSolidBrush(RGB(200, 200, 210));
  ob = SelectObject(dc, keys);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int kx = px + pw / 8 + c * pw / 4, ky = py + ph * 9 / 16 + r * ph / 10;
      Ellipse(dc, kx + pw / 20, ky, kx + pw / 5, ky + ph / 14);
    }
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(keys);
  RECT text{px + pw + w / 16, area.top, area.right, area.bottom};
  HGDIOBJ of = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(30, 60, 150));
  DrawTextW(dc, L"Quendrel", -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  if (of) SelectObject(dc, of);
}

std::wstring WideFromBytes(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  if (n > 0) {
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
    return w;
  }
  std::wstring w;
  for (unsigned char c : bytes) w.push_back(static_cast<wchar_t>(c));
  return w;
}

std::wstring CutInTheMiddle(HDC dc, const std::wstring& text, int width) {
  auto fits = [dc, width](const std::wstring& t) {
    SIZE size{};
    return GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size) && size.cx <= width;
  };
  if (fits(text)) return text;
  // The most characters kept, half from each end, that still fit.
  auto cut = [&text](size_t kept) {
    size_t head = (kept + 1) / 2, tail = kept / 2;
    // Never half a surrogate pair.
    if (head > 0 && IS_HIGH_SURROGATE(text[head - 1])) --head;
    if (tail > 0 && IS_LOW_SURROGATE(text[text.size() - tail])) --tail;
    return text.substr(0, head) + L"\u2026" + text.substr(text.size() - tail);
  };
  size_t lo = 0, hi = text.size() - 1;
  while (lo < hi) {
    const size_t mid = (lo + hi + 1) / 2;
    if (fits(cut(mid))) lo = mid;
    else hi = mid - 1;
  }
  return cut(lo);
}

}  // namespace win32gui
