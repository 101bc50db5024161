// Helpers shared by the runtime's tests.
#pragma once

#include <string>

#include "qel6run.h"

namespace runtest {

using Qel::RunTime::Kernel::Control::TPrologThreadData;

// The text of the last error after "error rNNN: ", or after "error rNNN".
inline std::wstring LastErrorText() {
  std::wstring m = TPrologThreadData::GetCurrentLastErrorMessage();
  size_t at = m.find(L"error r");
  if (at == std::wstring::npos) return m;
  size_t colon = m.find(L": ", at);
  return colon == std::wstring::npos ? L"" : m.substr(colon + 2);
}

inline std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

// The error code of body (0 when it completed).
template <class F>
uint32_t ErrorOf(F&& body) {
  return Qel::RunTime::Kernel::RunTrapped(body);
}

}  // namespace runtest
