// The set-up shared by the benchmarks of generated roster documents: the
// model's unit and exception state, notes dropped, a new document file
// opened by the model and, after the figures, closed and deleted.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/mychaindb/orvdb.h"
#include "all_unit.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "kalmoradb/kalmora_DB.h"

namespace rosterbench {

namespace rz = rizediveva6;

inline rz::document* NewDocument(const std::wstring& path) {
  DeleteFileW(path.c_str());
  rz::document* d = rz::orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(path.c_str()), true, rz::kBackupNone));
  all::kalmora_DB::init(d);
  return d;
}

inline void DropDocument(rz::document* d, const std::wstring& path) {
  all::kalmora_DB::uninit();
  d->set_as_modified(false);
  d->orv_close(rz::Nil<const wchar_t*>(), false);
  DeleteFileW(path.c_str());
}

// The best of `runs` timings of body(), in seconds; after() runs untimed
// after each, then the collected stack is released.
template <class F, class G>
double Best(int runs, F body, G after) {
  namespace K = Qel::RunTime::Kernel;
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    uint8_t* mark = K::Memory::MarkGStack();
    const double start = bench::Now();
    body();
    best = std::min(best, bench::Now() - start);
    after();
    K::Memory::ReleaseGStack(mark);
  }
  return best;
}

template <class F>
double Best(int runs, F body) {
  return Best(runs, body, [] {});
}

// Runs measure(temporary folder) under a trap; the process's exit code.
template <class F>
int Main(F measure) {
  namespace K = Qel::RunTime::Kernel;
  if (all::InitializeUnit() != 0) return 1;
  K::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  rz::Dialogs quiet{};
  quiet.note = quiet.error = quiet.message_write = [](const wchar_t*) {};
  rz::myKWI::set_dialogs(quiet);
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const uint32_t code = K::RunTrapped([&] { measure(std::wstring(tmp)); });
  if (code) {
    printf("error %u\n", code);
    return 1;
  }
  return 0;
}

}  // namespace rosterbench
