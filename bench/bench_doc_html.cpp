// The page writer: 30 doctor pages of 104 weeks x 3 slots built from label
// cells, escaped and joined, against Python building the same lines with
// html.escape and "\n".join (bench_doc_html.py).  Prints the time per page of
// each and the ratio writer/Python with its goal.
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

#include "SYSTEM/my_html/htm.h"
#include "SYSTEM/timepack/mytime.h"
#include "bench_util.h"
#include "unit.h"

using namespace rizediveva6;
namespace Kn = Qel::RunTime::Kernel;

namespace {

constexpr int kPages = 30, kWeeks = 104;

cell Label(const wchar_t* text) {
  cell_def d{};
  d.kind = cell_def::label;
  d.text = text;
  return cell{1, d, alignm::centre, L""};
}

// One doctor's page; its joined text's length.
size_t Page(const wchar_t* doctor, const wchar_t* practice) {
  htm::clear();
  htm::start_page(L"Roster", L"");
  htm::write_big_str(doctor);
  htm::write_table(1, 1, 1, 100);
  htm::write_tr();
  cell head[9];
  const wchar_t* heads[9] = {L"Date", L"Slot", L"Mon", L"Tue", L"Wed", L"Thur", L"Fri", L"Sat", L"Sun"};
  for (int i = 0; i < 9; ++i) head[i] = Label(heads[i]);
  htm::do_row(head, 9);
  htm::write_tr_end();
  static const wchar_t spacer[] =
      L"                                                                                   .";
  const wchar_t* slots[3] = {L"Morning", L"Evening", L"Night"};
  const wchar_t* duty = tav::string::concat(practice, L" / ", doctor);
  for (uint32_t week = 1; week <= kWeeks; ++week) {
    htm::write_tr();
    const cell s = Label(spacer);
    htm::do_row(&s, 1);
    htm::write_tr_end();
    for (const wchar_t* slot : slots) {
      htm::write_tr();
      cell row[9] = {Label(mytime::dt_str(dt{2011, 1 + week % 12, 1 + week % 28})), Label(slot)};
      for (int k = 2; k < 9; ++k) row[k] = Label((week + k) % 3 ? L"" : duty);
      htm::do_row(row, 9);
      htm::write_tr_end();
    }
  }
  htm::write_table_end();
  htm::end_page();
  return wcslen(htm::all_lines());
}

size_t Run() {
  size_t total = 0;
  for (int i = 0; i < kPages; ++i) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    wchar_t doctor[64], practice[32];
    swprintf(doctor, 64, L"Dr Smith & Jones %d \xE9", i);
    swprintf(practice, 32, L"North <%d>", i);
    total += Page(doctor, practice);
    Kn::Memory::ReleaseGStack(mark);
  }
  return total;
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  double best = 1e30;
  size_t total = 0;
  for (int run = 0; run < 3; ++run) {
    const double start = bench::Now();
    total = Run();
    best = std::min(best, (bench::Now() - start) / kPages);
  }
  printf("page writer: %d doctor pages of %d weeks x 3 slots (per page)\n", kPages, kWeeks);
  printf("  %-28s %8.2f ms  (%zu characters per page)\n", "build, escape, join", best * 1e3,
         total / kPages);
  std::string py = bench::RunUnixProgram(
      nullptr, L"/usr/bin/python3 " _CRT_WIDE(RZ_BENCH_DIR) L"/bench_doc_html.py /tmp/rz_bench_html.txt",
      L"Z:\\tmp\\rz_bench_html.txt", 300);
  double pyPage = 0;
  unsigned long pyLength = 0;
  if (py.empty() || sscanf(py.c_str(), "%lf %lu", &pyPage, &pyLength) != 2) {
    printf("  Python not available\n");
    return 0;
  }
  const double ratio = best / pyPage;
  printf("  %-28s %8.2f ms  (%lu characters for the first page)\n", "Python html.escape, join",
         pyPage * 1e3, pyLength);
  printf("  ratio writer/Python %.2f (goal <= 1.0)%s\n", ratio, ratio <= 1.0 ? "" : "  below goal");
  return 0;
}
