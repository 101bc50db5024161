// Scintilla, the peer of the editor benchmarks: the DLL that
// `tools/bootstrap.sh bench` builds into the cache, loaded at run time and
// called through its direct function.  Without it the benchmarks print the
// editor's own figures only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "qel6kwi.h"

namespace bench::sci {

// The messages and values used (Scintilla's documented numbers).
enum : unsigned {
  kAddText = 2001,
  kGetLength = 2006,
  kSetUndoCollection = 2012,
  kGotoPos = 2025,
  kSetCodePage = 2037,
  kStyleClearAll = 2050,
  kStyleSetFont = 2056,
  kStyleSetSizeFractional = 2061,
  kStyleSetWeight = 2063,
  kBeginUndoAction = 2078,
  kEndUndoAction = 2079,
  kGetLineCount = 2154,
  kPositionFromLine = 2167,
  kReplaceSel = 2170,
  kCanUndo = 2174,
  kEmptyUndoBuffer = 2175,
  kUndo = 2176,
  kPaste = 2179,
  kSetText = 2181,
  kGetDirectFunction = 2184,
  kGetDirectPointer = 2185,
  kGetTargetEnd = 2193,
  kReplaceTargetRe = 2195,
  kSearchInTarget = 2197,
  kSetSearchFlags = 2198,
  kVisibleFromDocLine = 2220,
  kEnsureVisible = 2232,
  kWrapCount = 2235,
  kSetWrapMode = 2268,
  kAppendText = 2282,
  kDeleteRange = 2645,
  kSetTargetRange = 2686,
};
constexpr uintptr_t kCpUtf8 = 65001;
constexpr uintptr_t kStyleDefault = 32;
constexpr uintptr_t kWrapWord = 1;
constexpr uintptr_t kFindMatchCase = 0x4;
constexpr uintptr_t kFindRegExp = 0x00200000;
constexpr uintptr_t kFindPosix = 0x00400000;
constexpr uintptr_t kFindCxx11RegEx = 0x00800000;

// Loads Scintilla.dll once (it registers its window class); prints why the
// peer is missing when it cannot.
inline bool Available() {
  static int loaded = -1;
  if (loaded < 0) {
    loaded = 0;
#ifdef KALMORA_SCINTILLA_DLL
    // A Unix path of the cache, reached through drive Z:.
    const char* unixPath = KALMORA_SCINTILLA_DLL;
    wchar_t path[MAX_PATH] = L"Z:";
    const int n = MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, path + 2, MAX_PATH - 2);
    for (wchar_t* c = path; *c; ++c)
      if (*c == L'/') *c = L'\\';
    loaded = n > 0 && LoadLibraryW(path) != nullptr;
#endif
    if (!loaded) std::printf("peer: Scintilla.dll not built (bash tools/bench.sh builds it)\n");
  }
  return loaded != 0;
}

// The font that a device context draws with, as the system made it.
struct Font {
  wchar_t face[LF_FACESIZE];
  int height;  // of the characters, pixels
  int weight;
};

// The font a window of the GUI layer draws with (our editor's, given to the
// peer too); an empty face when it cannot be read.
inline Font FontOf(LONG_PTR window) {
  Font font{};
  int acquired = 0;
  if (HDC dc = QEL_KWI::win_GetNativeGraphicContext(window, &acquired)) {
    TEXTMETRICW tm;
    if (GetTextFaceW(dc, LF_FACESIZE, font.face) && GetTextMetricsW(dc, &tm)) {
      font.height = tm.tmHeight - tm.tmInternalLeading;
      font.weight = tm.tmWeight;
    } else {
      font.face[0] = 0;
    }
    QEL_KWI::win_ReleaseNativeGraphicContext(window, dc, acquired);
  }
  return font;
}

// UTF-8 form of a text, as Scintilla holds it.
inline std::string Utf8(const std::wstring& text) {
  std::string out;
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  out.resize(n);
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// A Scintilla window of `width` x `height` pixels in UTF-8 mode.
class Editor {
 public:
  Editor(HWND parent, DWORD style, int width, int height) {
    hwnd_ = CreateWindowExW(0, L"Scintilla", L"", style, 0, 0, width, height, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    fn_ = reinterpret_cast<Direct>(SendMessageW(hwnd_, kGetDirectFunction, 0, 0));
    self_ = SendMessageW(hwnd_, kGetDirectPointer, 0, 0);
    (*this)(kSetCodePage, kCpUtf8);
  }
  ~Editor() { DestroyWindow(hwnd_); }
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  HWND Window() const { return hwnd_; }
  intptr_t operator()(unsigned message, uintptr_t w = 0, intptr_t l = 0) const { return fn_(self_, message, w, l); }
  intptr_t operator()(unsigned message, uintptr_t w, const char* text) const {
    return fn_(self_, message, w, reinterpret_cast<intptr_t>(text));
  }
  // Every style draws with `font`.
  void SetFont(const Font& font) const {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    (*this)(kStyleSetFont, kStyleDefault, Utf8(font.face).c_str());
    (*this)(kStyleSetSizeFractional, kStyleDefault, MulDiv(font.height, 7200, dpi));
    (*this)(kStyleSetWeight, kStyleDefault, font.weight);
    (*this)(kStyleClearAll);
  }
  // Display rows of the whole text (all wrapped rows of every line).
  intptr_t Rows() const {
    const intptr_t last = (*this)(kGetLineCount) - 1;
    return (*this)(kVisibleFromDocLine, last) + (*this)(kWrapCount, last);
  }

 private:
  using Direct = intptr_t (*)(intptr_t, unsigned, uintptr_t, intptr_t);
  HWND hwnd_ = nullptr;
  Direct fn_ = nullptr;
  intptr_t self_ = 0;
};

}  // namespace bench::sci
