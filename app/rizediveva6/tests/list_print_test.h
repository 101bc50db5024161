// Helpers of the list printing tests: the font dialog's answer and UTF-8
// text to look for in a job's pdftotext output.
#pragma once

#include <windows.h>

#include <string>

namespace rztest {

// The font dialog's first face may be one Wine's printer driver cannot
// draw: the answer picks a sans-serif face and 12 points.
inline void ChooseSans(HWND dialog) {
  constexpr int kFaces = 0x470, kSizes = 0x472;
  const HWND faces = GetDlgItem(dialog, kFaces), sizes = GetDlgItem(dialog, kSizes);
  for (const wchar_t* face : {L"Arial", L"Liberation Sans", L"DejaVu Sans", L"Tahoma"})
    if (SendMessageW(faces, CB_SELECTSTRING, WPARAM(-1), LPARAM(face)) != CB_ERR) break;
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFaces, CBN_SELCHANGE), LPARAM(faces));
  Sleep(100);
  SendMessageW(sizes, CB_SELECTSTRING, WPARAM(-1), LPARAM(L"12"));
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kSizes, CBN_SELCHANGE), LPARAM(sizes));
  Sleep(100);
}

inline std::string Utf8(const std::wstring& w) {
  std::string s(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), int(s.size()), nullptr, nullptr);
  s.pop_back();
  return s;
}

}  // namespace rztest
