// The fixture of the publishing and options tests: the roster model on a
// new document in a temporary folder, the web-page folder "web" inside it,
// the options file beside the program put back after each test, and the
// shell's browser pointed at a stub that logs what it is asked to open.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "publish/publish_it.h"
#include "registry_value.h"
#include "roster_fixture.h"
#include "roster_test.h"

namespace alltest {

inline std::string Utf8(const std::wstring& w) {
  std::string s(w.size() * 3 + 1, '\0');
  s.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(),
                               static_cast<int>(s.size()), nullptr, nullptr));
  return s;
}
inline std::wstring Wide(const std::string& s) {
  std::wstring w(s.size() + 1, L'\0');
  w.resize(MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(),
                               static_cast<int>(w.size())));
  return w;
}
inline std::wstring Upper(std::wstring s) {
  CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}
inline std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
// The names in a folder, sorted (UTF-8).
inline std::vector<std::string> EntriesOf(const std::wstring& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (wcscmp(f.cFileName, L".") && wcscmp(f.cFileName, L"..")) names.push_back(Utf8(f.cFileName));
  } while (FindNextFileW(h, &f));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// "%XX" sequences decoded.
inline std::string PercentDecoded(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  return out;
}
// The page writer's entities and decimal references decoded.
inline std::wstring Unescaped(const std::string& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += static_cast<wchar_t>(s[i]);
      continue;
    }
    const size_t end = s.find(';', i);
    const std::string e = s.substr(i + 1, end - i - 1);
    i = end;
    if (e == "amp") out += L'&';
    else if (e == "lt") out += L'<';
    else if (e == "gt") out += L'>';
    else if (e == "quot") out += L'"';
    else {
      const uint32_t c = static_cast<uint32_t>(std::stoul(e.substr(1)));
      if (c >= 0x10000) {
        out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        out += static_cast<wchar_t>(c);
      }
    }
  }
  return out;
}

// The CRC-32 (IEEE, reflected) of the text's UTF-16LE bytes, 8 hex digits.
inline std::wstring Crc32Hex(const std::wstring& text) {
  uint32_t crc = 0xFFFFFFFFu;
  for (wchar_t c : text)
    for (uint8_t b : {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)}) {
      crc ^= b;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
  wchar_t hex[9];
  swprintf(hex, 9, L"%08X", ~crc);
  return hex;
}

// Wine's browser bridge pointed at a stub that logs the address it gets.
class Browser {
 public:
  Browser()
      : html_(rztest::Set(HKEY_CLASSES_ROOT, L".html", nullptr, L"htmlfile")),
        browsers_(rztest::Set(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers",
                              std::wstring(ALL_BROWSER_STUB, ALL_BROWSER_STUB + strlen(ALL_BROWSER_STUB)))) {
    DeleteFileW(rztest::WindowsPath(ALL_BROWSER_LOG).c_str());
  }
  ~Browser() {
    rztest::Restore(html_);
    rztest::Restore(browsers_);
    DeleteFileW(rztest::WindowsPath(ALL_BROWSER_LOG).c_str());
  }
  // The log once it has `lines` lines, or after `ms`.
  std::string Opened(size_t lines, DWORD ms = 30000) {
    std::string text;
    for (DWORD waited = 0; waited <= ms; waited += 100, Sleep(100)) {
      text = ReadBytes(rztest::WindowsPath(ALL_BROWSER_LOG));
      if (lines && static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
    }
    return text;
  }

 private:
  rztest::SavedValue html_, browsers_;
};

class PublishTest : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    options_ = ReadBytes(rizediveva6::OptionsFileName());
    hadOptions_ = GetFileAttributesW(rizediveva6::OptionsFileName()) != INVALID_FILE_ATTRIBUTES;
    Run([&] { rizediveva6::options_db::publish_folder(WebFolder().c_str()); });
  }
  void TearDown() override {
    ClearFolder(WebFolder());
    RemoveDirectoryW(WebFolder().c_str());
    if (hadOptions_) {
      std::ofstream(rizediveva6::OptionsFileName(), std::ios::binary) << options_;
    } else {
      DeleteFileW(rizediveva6::OptionsFileName());
    }
    Roster::TearDown();
  }

  std::wstring WebFolder() const { return Path(L"web"); }
  // A new document with the roster spec written into it.
  void Build(const RosterSpec& spec) {
    New();
    Run([&] { WriteSpec(spec); });
  }
  // Closes the open document and empties the web folder.
  void Close() {
    kalmora_DB::uninit();
    for (rizediveva6::document* d : open_)
      RunTrapped([&] {
        d->set_as_modified(false);
        d->orv_close(rizediveva6::MakeList<const wchar_t*>({}), false);
      });
    open_.clear();
    for (const wchar_t* f : {L"r.km6", L"r.km6 Back"}) DeleteFileW(Path(f).c_str());
    ClearFolder(WebFolder());
  }
  // Publishes; the error it raised (0: none).
  uint32_t PublishNow() { return RunTrapped([] { all::publish_it::do_publish(); }); }

  std::string FileText(const std::string& name) const { return ReadBytes(WebFolder() + L"\\" + Wide(name)); }
  std::vector<std::string> FilesInFolder() const { return EntriesOf(WebFolder()); }
  bool Exists(const std::string& name) const {
    return GetFileAttributesW((WebFolder() + L"\\" + Wide(name)).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // Copies the pages to "all_publish_pages\<name>" beside the program, for
  // tidy's look after the run.
  void KeepPages(const wchar_t* name) const {
    const std::wstring kept = std::wstring(L"all_publish_pages\\") + name;
    CreateDirectoryW(L"all_publish_pages", nullptr);
    CreateDirectoryW(kept.c_str(), nullptr);
    ClearFolder(kept);
    for (const std::string& f : FilesInFolder())
      CopyFileW((WebFolder() + L"\\" + Wide(f)).c_str(), (kept + L"\\" + Wide(f)).c_str(), FALSE);
  }
  static void ClearFolder(const std::wstring& folder) {
    for (const std::string& f : EntriesOf(folder)) {
      const std::wstring p = folder + L"\\" + Wide(f);
      if (!DeleteFileW(p.c_str())) RemoveDirectoryW(p.c_str());
    }
  }

 private:
  std::string options_;
  bool hadOptions_ = false;
};

}  // namespace alltest
