// Writing a resource file of 2,000 strings, 100 icons, 50 dialogs and 50
// menus with the resource writer, against the host's windres compiling the
// equivalent script to a .res file in the same run; then reading every
// resource of it back with the reader, against windres turning it into a
// script.  windres's figure
// includes its process start, which is also printed apart (windres on a
// script of one string).  Best of several rounds each.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_util.h"
#include "fixtures.h"
#include "qel6kernel.h"

using namespace restest;
using namespace QelResource;

namespace {

constexpr int kStrings = 2000, kIcons = 100, kDialogs = 50, kMenus = 50, kRounds = 10;

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

struct Input {
  std::wstring dir;
  std::vector<std::wstring> icons;
  Terms t;
  slist_struct* strings = nullptr;
  ilist_struct* ids = nullptr;
  std::vector<windef_list_struct*> dialogs;
  std::vector<menu_struct*> menus;
  std::string rc;  // the same resources as a script for windres
};

void Build(Input& in, const char* (*unixName)(const wchar_t*)) {
  std::vector<std::wstring> texts;
  std::vector<intptr_t> ids;
  in.rc = "STRINGTABLE\nBEGIN\n";
  for (int i = 0; i < kStrings; ++i) {
    std::wstring s = L"Duty text number " + std::to_wstring(i);
    texts.push_back(s);
    ids.push_back(i + 1);
    in.rc += "  " + std::to_string(i + 1) + ", \"" + Narrow(s) + "\"\n";
  }
  in.rc += "END\n";
  in.strings = in.t.Strs(texts);
  in.ids = in.t.Ints(ids);
  for (int i = 0; i < kIcons; ++i) {
    std::wstring name = in.dir + L"\\i" + std::to_wstring(i) + L".ico";
    WriteWholeFile(name, IconFile({{32, 32, 16, 4, IconImage(static_cast<uint8_t>(i & 15))},
                                   {32, 32, 16, 4, IconImage(static_cast<uint8_t>((i + 1) & 15))}}));
    in.icons.push_back(name);
    in.rc += std::to_string(1000 + i) + " ICON \"" + unixName(name.c_str()) + "\"\n";
  }
  for (int i = 0; i < kDialogs; ++i) {
    windef* dlg = in.t.Def(wd_dlgfont, {reinterpret_cast<LONG_PTR>(in.t.Wdef(6, {0, 0, 200, 100}, L"Duties")),
                                        reinterpret_cast<LONG_PTR>(in.t.Text(L"MS Shell Dlg")), 8,
                                        reinterpret_cast<LONG_PTR>(in.t.Ints({9, 4}))});
    in.dialogs.push_back(in.t.Defs({dlg, in.t.Ctl(in.t.Wdef(14, {30, 4, 120, 14}, L"Name:"), 10, {}),
                                    in.t.Ctl(in.t.Wdef(13, {30, 20, 190, 32}, L""), 11, {26}),
                                    in.t.Ctl(in.t.Wdef(10, {30, 40, 120, 52}, L"On call"), 12, {26}),
                                    in.t.Ctl(in.t.Wdef(8, {140, 80, 190, 94}, L"OK"), 1, {23, 26})}));
    in.rc += std::to_string(2000 + i) +
             " DIALOG 0, 0, 200, 100\nSTYLE 0x90C80080\nCAPTION \"Duties\"\nFONT 8, \"MS Shell Dlg\"\nBEGIN\n"
             "  LTEXT \"Name:\", 10, 30, 4, 90, 10\n  EDITTEXT 11, 30, 20, 160, 12\n"
             "  AUTOCHECKBOX \"On call\", 12, 30, 40, 90, 12\n  DEFPUSHBUTTON \"OK\", 1, 140, 80, 50, 14\nEND\n";
  }
  for (int i = 0; i < kMenus; ++i) {
    menu_item* file = in.t.Txt(0, L"&File", true, 0,
                               {in.t.Txt(101, L"&Open", true, 0), in.t.Item(3), in.t.Txt(102, L"E&xit", true, 0)});
    in.menus.push_back(in.t.DynMenu({file, in.t.Txt(103, L"&Help", true, 2)}));
    in.rc += std::to_string(3000 + i) +
             " MENU\nBEGIN\n  POPUP \"&File\"\n  BEGIN\n    MENUITEM \"&Open\", 101\n    MENUITEM SEPARATOR\n"
             "    MENUITEM \"E&xit\", 102\n  END\n  MENUITEM \"&Help\", 103, HELP\nEND\n";
  }
}

double WriteOnce(Input& in, const std::wstring& out) {
  double start = bench::Now();
  begin_resgen(out.c_str(), L"");
  gen_strings(in.strings, in.ids);
  for (int i = 0; i < kIcons; ++i) gen_icon(in.icons[i].c_str(), 1000 + i, L"");
  for (int i = 0; i < kDialogs; ++i) gen_dialog(in.dialogs[i], 2000 + i, L"");
  for (int i = 0; i < kMenus; ++i) gen_menu(in.menus[i], 3000 + i, L"");
  end_resgen();
  return bench::Now() - start;
}

// Reads the file back: the listing, then every resource with its getter.
double ReadOnce(const std::wstring& file) {
  namespace Kernel = Qel::RunTime::Kernel;
  uint8_t* mark = Kernel::Memory::MarkGStack();
  double start = bench::Now();
  ilist_struct* codes;
  slist_struct* names;
  int result;
  res_get_types(file.c_str(), &codes, &names, &result);
  int type = 0, size;
  for (ilist_struct* c = codes; c->functor == ListCons; c = c->next) {
    int code = static_cast<int>(c->value);
    if (code < 100) {
      type = code;
      continue;
    }
    int id = code - 100;
    Kernel::Succeeds([&] {
      slist_struct* s;
      ilist_struct* n;
      if (type == 3) res_get_icon(&size, id);
      if (type == 4) res_get_menu(id);
      if (type == 5) res_get_dialog(id);
      if (type == 6) res_get_str(id, &s, &n);
    });
  }
  double seconds = bench::Now() - start;
  Kernel::Memory::ReleaseGStack(mark);
  return seconds;
}

// Best whole-process times of windres, `kRounds` runs each: compiling the
// script to a .res, the same for a one-string script (process start), and
// decompiling `res` to a script.  False when windres cannot be run.
struct WindresTimes {
  double compile, start, decompile;
};
bool RunWindres(Input& in, const char* (*unixName)(const wchar_t*), const std::wstring& res, WindresTimes* t) {
  std::wstring rc = in.dir + L"\\all.rc", none = in.dir + L"\\none.rc", sh = in.dir + L"\\run.sh",
               timeFile = in.dir + L"\\run.time";
  WriteWholeFile(rc, Bytes(in.rc.begin(), in.rc.end()));
  std::string one = "STRINGTABLE\nBEGIN\n  1, \"x\"\nEND\n";
  WriteWholeFile(none, Bytes(one.begin(), one.end()));
  std::string body =
      "best() { b=; for i in $(seq " + std::to_string(kRounds) + "); do s=$(date +%s%N); "
      "x86_64-w64-mingw32-windres \"$@\" || exit 1; e=$(date +%s%N); "
      "t=$((e - s)); if [ -z \"$b\" ] || [ $t -lt $b ]; then b=$t; fi; done; echo $b; }\n"
      "f=$(best -J rc -O res -i \"$1\" -o \"$1.res\"); n=$(best -J rc -O res -i \"$2\" -o \"$2.res\")\n"
      "r=$(best -J res -O rc -i \"$3\" -o \"$3.rc\")\n"
      "echo \"$f $n $r\" > \"$4.tmp\"; mv \"$4.tmp\" \"$4\"\n";
  WriteWholeFile(sh, Bytes(body.begin(), body.end()));
  std::string command = std::string("/bin/sh \"") + unixName(sh.c_str()) + "\" \"" + unixName(rc.c_str()) + "\" \"" +
                        unixName(none.c_str()) + "\" \"" + unixName(res.c_str()) + "\" \"" + unixName(timeFile.c_str()) +
                        "\"";
  std::string text = bench::RunUnixProgram(L"Z:\\bin\\sh", std::wstring(command.begin(), command.end()),
                                           timeFile.c_str(), 600);
  long long f = 0, n = 0, r = 0;
  if (sscanf(text.c_str(), "%lld %lld %lld", &f, &n, &r) != 3) return false;
  *t = {f / 1e9, n / 1e9, r / 1e9};
  return true;
}

// Runs the host fuzz target over the reader's parsers for `seconds`, seeded
// with `seed`; its number of runs, or -1 when it cannot run or found a fault.
long long RunHostFuzzer(Input& in, const char* (*unixName)(const wchar_t*), const std::wstring& seed, int seconds) {
#ifdef RES_FUZZER
  std::wstring corpus = in.dir + L"\\corpus", result = in.dir + L"\\fuzz.result", sh = in.dir + L"\\fuzz.sh";
  CreateDirectoryW(corpus.c_str(), nullptr);
  CopyFileW(seed.c_str(), (corpus + L"\\seed.res").c_str(), FALSE);
  std::string body = std::string("f=") + RES_FUZZER + "; [ -x \"$f\" ] && [ -s \"$f\" ] || { echo -1 > \"$2\"; exit; }\n"
                     "if \"$f\" -max_total_time=" + std::to_string(seconds) + " \"$1\" > \"$2.log\" 2>&1; then\n"
                     "  sed -n 's/^Done \\([0-9]*\\) runs.*/\\1/p' \"$2.log\" > \"$2.tmp\"\n"
                     "else tail -20 \"$2.log\" >&2; echo -1 > \"$2.tmp\"; fi\nmv \"$2.tmp\" \"$2\"\n";
  WriteWholeFile(sh, Bytes(body.begin(), body.end()));
  std::string command = std::string("/bin/sh \"") + unixName(sh.c_str()) + "\" \"" + unixName(corpus.c_str()) + "\" \"" +
                        unixName(result.c_str()) + "\"";
  std::string text = bench::RunUnixProgram(L"Z:\\bin\\sh", std::wstring(command.begin(), command.end()),
                                           result.c_str(), seconds + 120);
  long long runs = -1;
  if (sscanf(text.c_str(), "%lld", &runs) != 1) return -1;
  return runs;
#else
  return -1;
#endif
}

}  // namespace

int main() {
  using UnixName = const char* (*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  Input in;
  in.dir = ScratchDir();
  if (!unixName) {
    printf("bench_res: not under Wine, no peer\n");
    return 0;
  }
  Build(in, unixName);
  std::wstring out = in.dir + L"\\bench.res";
  double best = 1e9;
  for (int r = 0; r < kRounds; ++r) best = std::min(best, WriteOnce(in, out));
  Bytes written = ReadWholeFile(out);
  printf("resource file of %d strings, %d icons, %d dialogs, %d menus (%zu bytes)\n", kStrings, kIcons, kDialogs,
         kMenus, written.size());
  double read = 1e9;
  for (int r = 0; r < kRounds; ++r) read = std::min(read, ReadOnce(out));
  WindresTimes w;
  bool peer = RunWindres(in, unixName, out, &w);
  printf("  writing: qel6res %8.2f ms", best * 1e3);
  if (peer) printf("   windres .rc -> .res %8.2f ms", w.compile * 1e3);
  printf("\n  reading: qel6res %8.2f ms", read * 1e3);
  if (peer) printf("   windres .res -> .rc %8.2f ms", w.decompile * 1e3);
  printf("\n");
  if (peer) printf("  windres process start (a one-string script): %.2f ms\n", w.start * 1e3);
  else printf("  windres: not available\n");
  constexpr int kFuzzSeconds = 30;
  long long runs = RunHostFuzzer(in, unixName, out, kFuzzSeconds);
  if (runs >= 0)
    printf("  host fuzzer over the reader's parsers: %lld runs in %d s, no fault\n", runs, kFuzzSeconds);
  else
    printf("  host fuzzer over the reader's parsers: not run, or it found a fault (its log is on stderr)\n");
  RemoveScratch(in.dir + L"\\corpus");
  RemoveScratch(in.dir);
  return 0;
}
