// Publishing: the pages of a generated 104-week, 60-doctor roster written
// into a temporary folder (publish_it::write_pages), against Python building
// and writing the same bytes (html.escape, "\r\n" join, one write per page,
// bench_publish.py) from lookup tables exported beforehand, untimed: the
// roster's names, dates and file names, and each doctor's cell texts from
// the busy and rule verdicts.  Publishing flushes every page to the disc
// (the file stream's flush is FlushFileBuffers), so the peer does the same
// work: an os.fsync per page.  The two sides take turns, three rounds each,
// and the best round of each counts.  Prints pages per second of each with
// its processor seconds (the flushes mostly wait), the system's floor (the
// same bytes written through the file calls alone), the ratio and whether
// the two folders hold the same bytes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "SYSTEM/timepack/mytime.h"
#include "bench_util.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "phase1/sc_phase1.h"
#include "publish/publish_it.h"
#include "roster_bench.h"
#include "roster_generator.h"
#include "rulesPack/sc_rules.h"

using namespace all;
namespace rz = rizediveva6;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr uint32_t kSeed = 5, kWeeks = 104, kPercent = 60;

std::string Utf8(const wchar_t* w) {
  std::string s(wcslen(w) * 3 + 1, '\0');
  s.resize(WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(wcslen(w)), s.data(), static_cast<int>(s.size()),
                               nullptr, nullptr));
  return s;
}
std::string Read(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A cell's text from the model's verdicts, as a doctor page shows it.
std::string CellText(chain_ref doctor, const sp& at, uint32_t taskCount, uint32_t locCount) {
  const ReasonTerm* busy = sc_assign::person_is_busy_sp(doctor, at, rz::Nil<const wchar_t*>());
  if (busy->Kind() == reason_kind::cant_assign_reason &&
      busy->assign->functor == static_cast<uint64_t>(assign_reason_kind::is_busy)) {
    const DutyTerm* duty = sc_phase1::get_duty_by_ref(busy->assign->ref);
    if (SpOf(duty->dat->at) == at)
      return Utf8(tasks::get_task_name(duty->dat->task)) + " " + Utf8(locations::get_where_name(duty->dat->where));
  }
  const SpTerm spt{1, at.day, at.period, at.slot};
  const PgTerm who{static_cast<uint64_t>(pg_kind::p), {doctor}};
  const tav::BooleanTerm no{1};
  std::string first;
  for (uint32_t task = 1; task <= taskCount; ++task)
    for (uint32_t where = 1; where <= locCount; ++where) {
      const DutyDatTerm duty{1, &spt, where, task, &no};
      const ReasonTerm* v = sc_rules::rule_allows_it(&duty, &who);
      if (v->Kind() == reason_kind::can_do_it) return ".........";
      if (first.empty() && v->Kind() == reason_kind::cant_rule_reason &&
          v->rule->functor == static_cast<uint64_t>(rule_reason_kind::cant_do_it))
        first = Utf8(v->rule->text);
    }
  return first.empty() ? "........." : first;
}

uint32_t Count(const rz::SList* l) {
  uint32_t n = 0;
  for (; !l->Empty(); l = l->tail) ++n;
  return n;
}

// The file names of the pages as publishing gives them: fixed pages first,
// practices, then doctors in practice order; clashes ignoring case get "~2"...
class Names {
 public:
  std::string Take(const wchar_t* name) {
    std::wstring base = publish_it::page_name(name), file = base;
    for (int n = 2; Used(file); ++n) file = base + L"~" + std::to_wstring(n);
    used_.push_back(file);
    return Utf8(file.c_str()) + "\t" + Utf8(publish_it::page_href(file.c_str()));
  }

 private:
  bool Used(const std::wstring& f) {
    for (const std::wstring& u : used_)
      if (CompareStringOrdinal(u.c_str(), -1, f.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    return false;
  }
  std::vector<std::wstring> used_;
};

// The lookup tables for bench_publish.py, one record per line, tab-separated.
void Export(const std::wstring& path) {
  std::string out = "weeks\t" + std::to_string(kalmora_DB::get_weeks_duration()) + "\n";
  const rz::SList* slots = kalmora_DB::get_list_slots();
  for (const rz::SList* s = slots; !s->Empty(); s = s->tail) out += "slot\t" + Utf8(s->head) + "\n";
  for (uint32_t k = 1; k <= 7; ++k) {
    const wchar_t* day;
    rz::mytime::dayno_dayname(k, &day);
    out += "day\t" + Utf8(day) + "\n";
  }
  for (uint32_t w = 1; w <= kalmora_DB::get_weeks_duration(); ++w)
    out += "date\t" + Utf8(rz::mytime::dt_str(kalmora_DB::sp_dt(sp{1, w, 1}))) + "\n";
  Names names;
  for (const wchar_t* fixed : {L"kalmora6", L"km6practices", L"km6staff", L"km6roster"}) names.Take(fixed);
  const rz::SList* groups = groups::list_groups();
  for (const rz::SList* g = groups; !g->Empty(); g = g->tail)
    out += "practice\t" + Utf8(g->head) + "\t" + names.Take(g->head) + "\n";
  struct Doctor {
    chain_ref ref;
    std::wstring name;
    std::vector<std::wstring> groups;
    std::string files;
  };
  static std::vector<Doctor> doctors;  // outside the frames a fail crosses
  doctors.clear();
  staff_db::nd_person([&](const PersonTerm* p) {
    Doctor d{p->ref, p->dat->name, {}, ""};
    for (const tav::StringList* g = p->dat->groups; !g->Empty(); g = g->tail) d.groups.push_back(g->head);
    doctors.push_back(d);
    K::Fail();
  });
  for (const rz::SList* g = groups; !g->Empty(); g = g->tail)
    for (Doctor& d : doctors)
      if (d.files.empty() && std::count(d.groups.begin(), d.groups.end(), g->head)) d.files = names.Take(d.name.c_str());
  const uint32_t tasks = Count(tasks::list_tasks()), locs = Count(locations::list_locs()), slotCount = Count(slots);
  for (const Doctor& d : doctors) {
    std::string line = "doctor\t" + Utf8(d.name.c_str()) + "\t" + (d.files.empty() ? "\t" : d.files);
    for (const std::wstring& g : d.groups) line += "\t" + Utf8(g.c_str());
    out += line + "\n";
    if (d.files.empty()) continue;
    std::string cells = "cells";
    for (uint32_t w = 1; w <= kalmora_DB::get_weeks_duration(); ++w)
      for (uint32_t s = 1; s <= slotCount; ++s)
        for (uint32_t day = 1; day <= 7; ++day) {
          uint8_t* mark = K::Memory::MarkGStack();
          cells += "\t" + CellText(d.ref, sp{day, w, s}, tasks, locs);
          K::Memory::ReleaseGStack(mark);
        }
    out += cells + "\n";
  }
  std::ofstream(path.c_str(), std::ios::binary) << out;
}

std::vector<std::wstring> Files(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return names;
  do
    if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(f.cFileName);
  while (FindNextFileW(h, &f));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}
void Empty(const std::wstring& folder) {
  for (const std::wstring& f : Files(folder)) DeleteFileW((folder + L"\\" + f).c_str());
}

// The process's processor time (user and system) in seconds.
double CpuSeconds() {
  FILETIME created, exited, system, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &system, &user);
  const auto seconds = [](const FILETIME& f) {
    return static_cast<double>((uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime) / 1e7;
  };
  return seconds(system) + seconds(user);
}

// One round of bench_publish.py; keeps the lower of its seconds and *best,
// and of its processor seconds and *bestCpu.
bool PythonRound(double* best, double* bestCpu, unsigned long* pages) {
  const std::string py = bench::RunUnixProgram(
      nullptr,
      L"/usr/bin/python3 " _CRT_WIDE(KT_BENCH_DIR) L"/bench_publish.py /tmp/kt_bench_publish.tsv "
      L"/tmp/kt_bench_publish_py /tmp/kt_bench_publish.out",
      L"Z:\\tmp\\kt_bench_publish.out", 600);
  double seconds = 0, cpu = 0;
  if (py.empty() || std::sscanf(py.c_str(), "%lf %lu %lf", &seconds, pages, &cpu) != 3) return false;
  *best = std::min(*best, seconds);
  *bestCpu = std::min(*bestCpu, cpu);
  return true;
}

// The seconds of writing the pages' bytes as they are through the system
// alone (create, one write, flush, close per page): the floor that the
// file calls under this system set, best of three.
double SystemFloor(const std::wstring& pages, const std::wstring& folder) {
  std::vector<std::pair<std::wstring, std::string>> files;
  for (const std::wstring& f : Files(pages)) files.emplace_back(f, Read(pages + L"\\" + f));
  CreateDirectoryW(folder.c_str(), nullptr);
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    Empty(folder);
    const double start = bench::Now();
    for (const auto& [name, bytes] : files) {
      HANDLE h = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      DWORD done = 0;
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
      FlushFileBuffers(h);
      CloseHandle(h);
    }
    best = std::min(best, bench::Now() - start);
  }
  Empty(folder);
  RemoveDirectoryW(folder.c_str());
  return best;
}

void Measure(const std::wstring& dir) {
  static alltest::RosterSpec spec;  // outside the frames an error unwinds
  spec = alltest::GeneratedSpec(kSeed, kWeeks);
  const std::wstring path = dir + L"bench_publish.km6", pages = dir + L"bench_publish_pages";
  rz::document* d = rosterbench::NewDocument(path);
  alltest::WriteSpec(spec);
  alltest::GeneratedRun run{kSeed, kPercent};
  const uint32_t assigned = alltest::PreAssign(run);
  const std::string options = Read(rz::OptionsFileName());
  rz::options_db::publish_folder(pages.c_str());

  Export(L"Z:\\tmp\\kt_bench_publish.tsv");
  double best = 1e30, pySeconds = 1e30, cpu = 1e30, pyCpu = 1e30;
  unsigned long pyPages = 0;
  bool python = true;
  for (int round = 0; round < 3; ++round) {
    Empty(pages);
    const double start = bench::Now(), startCpu = CpuSeconds();
    publish_it::write_pages();
    best = std::min(best, bench::Now() - start);
    cpu = std::min(cpu, CpuSeconds() - startCpu);
    if (python) python = PythonRound(&pySeconds, &pyCpu, &pyPages);
  }
  const size_t count = Files(pages).size();
  const double floor = SystemFloor(pages, dir + L"bench_publish_floor");
  std::printf("publishing: generated roster (seed %u), %u weeks, %u doctors, %u duties assigned: %zu pages\n",
              kSeed, kWeeks, static_cast<unsigned>(spec.doctors.size()), assigned, count);
  std::printf("  every page flushed to the disc on both sides (FlushFileBuffers, os.fsync)\n");
  std::printf("  %-40s %9.1f pages/s  (%.3f s, processor %.3f s)\n", "publish_it::write_pages", count / best, best,
              cpu);
  std::printf("  %-40s %9.1f pages/s  (%.3f s)\n", "same bytes, file calls alone (floor)", count / floor,
              floor);
  if (!python) {
    std::printf("  Python not available\n");
  } else {
    std::printf("  %-40s %9.1f pages/s  (%.3f s, processor %.3f s)\n", "Python html.escape, join, write, fsync",
                pyPages / pySeconds, pySeconds, pyCpu);
    const double ratio = best / pySeconds;
    std::printf("  ratio publish_it/Python %.2f (goal <= 1.0)%s\n", ratio, ratio <= 1.0 ? "" : "  below goal");
    const std::vector<std::wstring> ours = Files(pages), theirs = Files(L"Z:\\tmp\\kt_bench_publish_py");
    bool same = ours == theirs;
    for (size_t i = 0; same && i < ours.size(); ++i)
      same = Read(pages + L"\\" + ours[i]) == Read(L"Z:\\tmp\\kt_bench_publish_py\\" + theirs[i]);
    std::printf("  same files and bytes: %s\n", same ? "yes" : "NO");
    Empty(L"Z:\\tmp\\kt_bench_publish_py");
    RemoveDirectoryW(L"Z:\\tmp\\kt_bench_publish_py");
  }
  DeleteFileW(L"Z:\\tmp\\kt_bench_publish.tsv");
  Empty(pages);
  RemoveDirectoryW(pages.c_str());
  std::ofstream(rz::OptionsFileName(), std::ios::binary) << options;
  rosterbench::DropDocument(d, path);
}

}  // namespace

int main() { return rosterbench::Main([](const std::wstring& dir) { Measure(dir); }); }
