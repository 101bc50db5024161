// The program's start-up glue run as a process entry with the program's
// unit table: "program" runs the program's own goal (the task window);
// "v7" gives the kernel the table with version word 7; "fail" and "raise"
// run goals that fail or raise error 4711 over the same table.
#include <windows.h>

#include <cstring>
#include <vector>

#include "kalmoraTessaro.h"

namespace {

namespace K = Qel::RunTime::Kernel;

void Failing() { K::Fail(); }
void Raising() { K::Errors::RunTimeError(4711); }
void Returning() {}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  qelstartup::UnitImage image = kalmora::ProgramImage();
  if (!strcmp(mode, "program")) QelStartUp();
  std::vector<const Qel::RunTime::RScopeClassDescriptor*> copy;
  if (!strcmp(mode, "v7")) {
    const auto* const* t = image.table;
    copy.push_back(reinterpret_cast<const Qel::RunTime::RScopeClassDescriptor*>(uintptr_t{7}));
    for (size_t i = 1;; ++i) {
      copy.push_back(t[i]);
      if (reinterpret_cast<intptr_t>(t[i]) == -2) break;
    }
    image.table = copy.data();
  }
  if (!strcmp(mode, "fail")) image.goal = &Failing;
  if (!strcmp(mode, "raise")) image.goal = &Raising;
  if (!strcmp(mode, "return")) image.goal = &Returning;
  qelstartup::StartUp(image);
}
