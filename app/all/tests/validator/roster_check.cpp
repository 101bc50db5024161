// roster_check: judges a roster document from its stored records.
//   roster_check.exe [--figures] <file> [<earlier file>]
// Prints one line per violation, with --figures one line per doctor and
// practice deviation and the figures of each weekend category, then the
// summary line.  Exit code 0; 1 when a
// violation was introduced since the earlier document (without one: any
// violation); 2 with "error N" when a file cannot be read as a roster.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "SYSTEM/myKWI/myKWI.h"
#include "all_unit.h"
#include "exception/exception.h"
#include "roster_validator.h"

namespace K = Qel::RunTime::Kernel;

namespace {

std::wstring out;

void Line(const std::wstring& l) { out += l + L"\n"; }

// Notes and errors of the libraries become lines; there is no window and
// the message window's progress texts are dropped.
void Note(const wchar_t* text) { Line(std::wstring(L"note: ") + text); }
void Drop(const wchar_t*) {}

// Opened for reading only: a damaged file is left as it is.
tav::chainDB* Open(const wchar_t* file) { return tav::chainDB::db_openread(file, tav::place::in_file); }

void Deviations(const std::vector<rostercheck::Deviation>& rows, const wchar_t* what) {
  for (const auto& d : rows) {
    wchar_t b[64];
    swprintf(b, 64, L" weekend%u assigned %u share %.2f deviation %.2f", d.category, d.assigned, d.share,
             d.deviation());
    Line(std::wstring(what) + L" " + d.who + b);
  }
}

void Categories(const rostercheck::Figures& f) {
  wchar_t b[200];
  for (uint32_t c = 0; c < 2; ++c) {
    swprintf(b, 200, L"weekend%u duties %u fill rate %.2f %% doctors max %.2f sum %.2f practices max %.2f sum %.2f", c,
             f.duties[c], f.FillRate(c), f.doctorByCategory[c].max, f.doctorByCategory[c].sum,
             f.practiceByCategory[c].max, f.practiceByCategory[c].sum);
    Line(b);
  }
  swprintf(b, 200, L"practices max %.2f sum %.2f", f.practiceAll.max, f.practiceAll.sum);
  Line(b);
}

int Run(bool figures, const wchar_t* file, const wchar_t* earlierFile) {
  static rostercheck::Report now, before;  // outside the frames an error unwinds
  if (earlierFile) {
    tav::chainDB* earlier = Open(earlierFile);
    before = rostercheck::Judge(earlier, nullptr);
    earlier->db_close();
  }
  tav::chainDB* db = Open(file);
  now = rostercheck::Judge(db, earlierFile ? &before : nullptr);
  db->db_close();
  for (const std::wstring& v : now.violations) Line(v);
  if (figures) {
    Deviations(now.figures.doctors, L"doctor");
    Deviations(now.figures.practices, L"practice");
    Categories(now.figures);
  }
  Line(rostercheck::Summary(now));
  return rostercheck::Introduced(now, earlierFile ? &before : nullptr).empty() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  int first = 1;
  const bool figures = argc > 1 && std::wstring_view(argv[1]) == L"--figures";
  if (figures) ++first;
  if (argc - first < 1 || argc - first > 2 || all::InitializeUnit()) {
    fputs("usage: roster_check [--figures] <file> [<earlier file>]\n", stderr);
    return 3;
  }
  K::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  rizediveva6::Dialogs dialogs{};
  dialogs.note = dialogs.error = &Note;
  dialogs.message_write = &Drop;
  rizediveva6::myKWI::set_dialogs(dialogs);
  volatile int rc = 0;
  const uint32_t code =
      K::RunTrapped([&] { rc = Run(figures, argv[first], argc - first == 2 ? argv[first + 1] : nullptr); });
  if (code) {
    Line(L"error " + std::to_wstring(rostercheck::ErrorNumber(code)));

    rc = 2;
  }
  const int n = WideCharToMultiByte(CP_UTF8, 0, out.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, out.c_str(), -1, bytes.data(), n, nullptr, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), stdout);
  return rc;
}
