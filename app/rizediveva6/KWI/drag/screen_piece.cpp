// screen_piece: see the header.
#include "KWI/drag/screen_piece.h"

#include <algorithm>

namespace rizediveva6::drag_support {

bool ScreenPiece::Fit(HDC dc, int32_t width, int32_t height) {
  if (bitmap_ && width <= capWidth_ && height <= capHeight_) return true;
  if (!mem_ && !(mem_ = CreateCompatibleDC(dc))) return false;
  const int32_t w = std::max(width, capWidth_), h = std::max(height, capHeight_);
  HBITMAP larger = CreateCompatibleBitmap(dc, w, h);
  if (!larger) return false;
  HGDIOBJ before = SelectObject(mem_, larger);
  if (!original_) original_ = before;
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = larger;
  capWidth_ = w;
  capHeight_ = h;
  return true;
}

bool ScreenPiece::Save(HDC dc, QEL_KWI::rect_struct r) {
  saved_ = false;
  const int64_t width = int64_t{r.right} - r.left, height = int64_t{r.bottom} - r.top;
  at_ = r;
  if (width <= 0 || height <= 0) return saved_ = true;
  if (width > INT32_MAX || height > INT32_MAX || !Fit(dc, static_cast<int32_t>(width), static_cast<int32_t>(height)))
    return false;
  BitBlt(mem_, 0, 0, static_cast<int>(width), static_cast<int>(height), dc, r.left, r.top, SRCCOPY);
  return saved_ = true;
}

void ScreenPiece::Restore(HDC dc) const {
  if (!saved_ || at_.right <= at_.left || at_.bottom <= at_.top) return;
  BitBlt(dc, at_.left, at_.top, at_.right - at_.left, at_.bottom - at_.top, mem_, 0, 0, SRCCOPY);
}

void ScreenPiece::Release() {
  if (mem_ && original_) SelectObject(mem_, original_);
  if (bitmap_) DeleteObject(bitmap_);
  if (mem_) DeleteDC(mem_);
  *this = ScreenPiece{};
}

}  // namespace rizediveva6::drag_support
