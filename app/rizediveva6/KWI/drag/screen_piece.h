// screen_piece: a piece of a window's screen kept in a memory bitmap of the
// screen's own format, for feedback drawn over the screen and put back.
//
// Invariants:
//  - The bitmap is only replaced by a larger one; a saved piece occupies
//    its top-left corner, at most one piece at a time.
//  - Save and Restore copy pixels 1:1 on the context given (no conversion);
//    Release frees the memory context and bitmap and forgets the piece.
//  - The piece holds no collected memory: an owner on the collected heap
//    calls Release from its finaliser.
#pragma once

#include <windows.h>

#include "qel6kwi.h"

namespace rizediveva6::drag_support {

class ScreenPiece {
 public:
  // Copies the pixels of dc inside r; an empty r saves an empty piece.
  // False when no bitmap could be made (nothing saved).
  bool Save(HDC dc, QEL_KWI::rect_struct r);
  // Draws the saved piece back where it was taken.
  void Restore(HDC dc) const;
  bool saved() const { return saved_; }
  void Release();

 private:
  bool Fit(HDC dc, int32_t width, int32_t height);

  HDC mem_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ original_ = nullptr;
  int32_t capWidth_ = 0, capHeight_ = 0;
  QEL_KWI::rect_struct at_{};
  bool saved_ = false;
};

}  // namespace rizediveva6::drag_support
