// Helpers of the document tests: a temporary folder per test, file bytes,
// a document file built directly on the chain database, the fresh-process
// view of a file (rz_doc_child.exe) and the independent verifier.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SYSTEM/orv_list/orv_list.h"
#include "child_process.h"
#include "chainDB/chainDb.h"
#include "dialog_recorder.h"
#include "list_test.h"
#include "rz_test.h"
#include "verify.h"

namespace rztest {

using tav::chainDB;


// What a fresh process reads with a plain db_open: exit code (999 when it
// could not start) and text.
inline std::pair<DWORD, std::string> Child(const std::wstring& file) {
  testchild::Child c =
      testchild::Start(testchild::Beside(L"rz_doc_child.exe"), L"rz_doc_child.exe \"" + file + L"\"", true);
  if (!c.Started()) return {999, "not started"};
  testchild::Wait(c, 600000);
  return {c.exitCode, c.text};
}
// The fresh process's view and the verifier's report, as one text.
inline std::string Checked(const std::wstring& file) {
  auto [code, text] = Child(file);
  auto report = chaindb_verify::VerifyFile(file);
  return "exit " + std::to_string(code) + "\n" + text + (report.ok() ? "" : "verify: " + report.Text());
}


class Documents : public Rz {
 protected:
  void SetUp() override {
    Rz::SetUp();
    static int serial = 0;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    dir_ = std::wstring(tmp) + L"rz-doc-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++serial) + L"\\";
    CreateDirectoryW(dir_.c_str(), nullptr);
    recorder_ = new DialogRecorder;
  }
  void TearDown() override {
    delete recorder_;
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((dir_ + L"*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring p = dir_ + f.cFileName;
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(p.c_str());
      } while (FindNextFileW(h, &f));
      FindClose(h);
    }
    RemoveDirectoryW(dir_.c_str());
    Rz::TearDown();
  }

  std::wstring Path(const wchar_t* name) const { return dir_ + name; }
  DialogRecorder& rec() { return *recorder_; }

  template <class F>
  void Run(F body) {
    uint32_t code = RunTrapped(body);
    ASSERT_EQ(code, 0u) << ErrorText(code);
  }
  static std::string ErrorText(uint32_t code) { return "error " + std::to_string(ErrorNumber(code)); }

  static std::vector<uint8_t> Bytes(const std::wstring& path) {
    std::vector<uint8_t> b;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return b;
    LARGE_INTEGER size;
    GetFileSizeEx(h, &size);
    b.resize(static_cast<size_t>(size.QuadPart));
    DWORD n = 0;
    if (!b.empty()) ReadFile(h, b.data(), static_cast<DWORD>(b.size()), &n, nullptr);
    CloseHandle(h);
    b.resize(n);
    return b;
  }
  static void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& b) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n;
    if (!b.empty()) WriteFile(h, b.data(), static_cast<DWORD>(b.size()), &n, nullptr);
    CloseHandle(h);
  }
  static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  // A document file: chain "names" with the strings, tree "bt_names" with
  // one key per string.
  void MakeDocument(const std::wstring& path, std::initializer_list<const wchar_t*> names) {
    Run([&] {
      chainDB* db = chainDB::db_create(path.c_str(), place::in_file);
      int32_t selector, ref;
      db->bt_create(L"bt_names", &selector, 12, 4, false);
      for (const wchar_t* n : names) {
        db->chain_insertz(T::Domain(tav::domains::string), L"names", reinterpret_cast<term>(n), &ref);
        db->key_insert(selector, n, ref);
      }
      db->bt_close(selector);
      db->db_close();
    });
  }
  // Appends a name to the open document's chain and tree.
  void AddName(chainDB* db, const wchar_t* n) {
    Run([&] {
      int32_t selector, ref;
      db->chain_insertz(T::Domain(tav::domains::string), L"names", reinterpret_cast<term>(n), &ref);
      if (db->db_btrees([](const wchar_t* n) {
            if (std::wstring(n) != L"bt_names") Qel::RunTime::Kernel::Fail();
          }))
        db->bt_open(L"bt_names", &selector);
      else
        db->bt_create(L"bt_names", &selector, 12, 4, false);
      db->key_insert(selector, n, ref);
      db->bt_close(selector);
    });
  }

  std::wstring dir_;
  DialogRecorder* recorder_ = nullptr;
};

}  // namespace rztest
