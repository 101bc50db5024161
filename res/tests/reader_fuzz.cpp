// Damaged files through the reader: every fixture of reader_check.sh cut at
// every length, and copies with bytes changed at random (fixed seed), each
// listed and each of its resources read with every getter.  A failing or
// refusing call is fine; a fault or a hang ends the program.
#include <algorithm>
#include <cstdlib>
#include <random>

#include "reader_test.h"

namespace restest {
namespace {

using namespace QelResource;
namespace Kernel = Qel::RunTime::Kernel;

// Runs a reader call under a trap and a backtrack point; its outcome does not matter.
template <class Body>
void Try(Body&& body) {
  uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
  Kernel::RunTrapped([&] { Kernel::Succeeds(body); });
  Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
}

void ReadEverything(const std::wstring& file, const std::wstring& scratch) {
  std::vector<int> ids = {1};
  uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
  for (const auto& [code, name] : Types(file))
    if (code > 101 && std::find(ids.begin(), ids.end(), code - 100) == ids.end()) ids.push_back(static_cast<int>(code - 100));
  Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
  for (int id : ids) {
    int size;
    slist_struct* s;
    ilist_struct* n;
    HEAD_VERSIONINFO* h;
    versioninfo_blocklist* b;
    Try([&] { res_get_menu(id); });
    Try([&] { res_get_dialog(id); });
    Try([&] { res_get_str(id, &s, &n); });
    Try([&] { res_get_icon(&size, id); });
    Try([&] { res_get_cursor(&size, id); });
    Try([&] { res_get_bitmap(&size, id); });
    Try([&] { res_get_versioninfo(id, &h, &b); });
    res_get_write_bitmap(scratch.c_str(), id);
  }
}

TEST(ReaderFuzz, CutAndChangedFixtures) {
  std::wstring dir = EnvFolder("RES_FIXTURES");
  ASSERT_FALSE(dir.empty());
  std::mt19937 random(20261211);
  int cases = 0;
  for (const wchar_t* name : {L"windres.res", L"pe64.dll", L"pe32.dll"}) {
    Bytes original = ReadWholeFile(dir + L"\\" + name);
    ASSERT_FALSE(original.empty());
    std::wstring ext = std::wstring(name).substr(std::wstring(name).rfind(L'.'));
    std::wstring mutant = dir + L"\\mutant" + ext, scratch = dir + L"\\scratch.bmp";
    for (size_t length = 0; length < original.size(); length += 1 + length / 512) {
      ASSERT_TRUE(WriteWholeFile(mutant, Bytes(original.begin(), original.begin() + length)));
      ReadEverything(mutant, scratch);
      ++cases;
    }
    for (int round = 0; round < 400; ++round) {
      Bytes b = original;
      int changes = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < changes; ++i) {
        size_t at = random() % b.size();
        b[at] = random() % 3 == 0 ? static_cast<uint8_t>(random()) : static_cast<uint8_t>(b[at] ^ (1u << (random() % 8)));
      }
      ASSERT_TRUE(WriteWholeFile(mutant, b));
      ReadEverything(mutant, scratch);
      ++cases;
    }
  }
  printf("%d damaged files read\n", cases);
}

}  // namespace
}  // namespace restest
