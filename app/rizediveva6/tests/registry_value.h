// A registry value of the test's prefix set for a test and put back after
// it, and the Windows form of a Unix path (drive Z:).  Used to point Wine's
// browser bridge at a logging stub.
#pragma once

#include <windows.h>

#include <string>

namespace rztest {

// A registry value of the test's prefix, kept to be put back.
struct SavedValue {
  HKEY root;
  const wchar_t* key;
  const wchar_t* name;
  bool present;
  std::wstring text;
};
inline SavedValue Set(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& text) {
  SavedValue old{root, key, name, false, {}};
  wchar_t buffer[1024];
  DWORD bytes = sizeof buffer;
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) ==
      ERROR_SUCCESS)
    old.present = true, old.text = buffer;
  RegSetKeyValueW(root, key, name, REG_SZ, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  return old;
}
inline void Restore(const SavedValue& v) {
  if (v.present)
    RegSetKeyValueW(v.root, v.key, v.name, REG_SZ, v.text.c_str(),
                    static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t)));
  else if (v.name)
    RegDeleteKeyValueW(v.root, v.key, v.name);
  else
    RegDeleteKeyW(v.root, v.key);  // made for the test
}
inline std::wstring WindowsPath(const char* unixPath) {
  std::wstring w = L"Z:";
  for (const char* c = unixPath; *c; ++c) w += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return w;
}

}  // namespace rztest
