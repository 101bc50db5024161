// The fixtures of the roster model's tests: real document files in a
// temporary folder, the model opened on a new one in process with notes
// recorded, or worked on by the child process.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/timepack/mytime.h"
#include "all_test.h"
#include "doc_test.h"
#include "kalmoradb/kalmora_DB.h"

namespace alltest {

using rizediveva6::orvDB;
namespace rz = rizediveva6;

inline std::vector<std::wstring> Names(const SList* l) {
  std::vector<std::wstring> v;
  for (; !l->Empty(); l = l->tail) v.push_back(l->head);
  return v;
}

// Storage the collector scans: objects held only here stay alive.
template <class T>
struct ScannedAllocator {
  using value_type = T;
  ScannedAllocator() = default;
  template <class U>
  ScannedAllocator(const ScannedAllocator<U>&) {}
  T* allocate(size_t n) {
    return static_cast<T*>(Qel::RunTime::Kernel::Memory::AllocUncollectableHeap(uint32_t(n * sizeof(T))));
  }
  void deallocate(T* p, size_t) { Qel::RunTime::Kernel::Memory::ReleaseHeap(p); }
  bool operator==(const ScannedAllocator&) const { return true; }
};

class Roster : public rztest::Documents {
 protected:
  static void SetUpTestSuite() {
    Documents::SetUpTestSuite();
    ASSERT_EQ(all::InitializeUnit(), 0);
  }
  void TearDown() override {
    kalmora_DB::uninit();
    rz::mytime::set_start_day(0);
    for (rz::document* d : open_)
      RunTrapped([&] {
        d->set_as_modified(false);
        d->orv_close(rz::MakeList<const wchar_t*>({}), false);
      });
    Documents::TearDown();
  }
  // A new document file, the model opened on it.
  rz::document* New(const wchar_t* name = L"r.km6") {
    rz::document* d = nullptr;
    Run([&] {
      // The document keeps the name's text: a heap copy outlives the path.
      d = orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(Path(name).c_str()), true, rz::kBackupNone));
      kalmora_DB::init(d);
    });
    open_.push_back(d);
    return d;
  }
  // Runs body; the run-time error number it raised (0: none).
  uint32_t Error(std::function<void()> body) { return ErrorNumber(RunTrapped([&] { body(); })); }

  // Collected objects: after kalmora_DB::uninit nothing else holds them.
  std::vector<rz::document*, ScannedAllocator<rz::document*>> open_;
};

// The lines of a child's output.
inline std::vector<std::wstring> LinesOf(const std::wstring& text) {
  std::vector<std::wstring> out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find(L'\n', at);
    out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

// Documents in the temporary folder worked on by all_roster_child.exe.
class ChildDocuments : public rztest::Documents {
 protected:
  std::wstring Quoted(const std::wstring& name) { return L"\"" + Path(name.c_str()) + L"\""; }
  // The child's output; its exit code is expected to be 0.
  std::wstring Child(const std::wstring& args) {
    auto [code, text] = RosterChild(args);
    EXPECT_EQ(code, 0u) << Narrow(text);
    return text;
  }
};

}  // namespace alltest
