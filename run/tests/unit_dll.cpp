// A library unit for the registry tests: one class "sharedClass" with one
// domain, linked from its library entry and taken out when it is unloaded.
#include <windows.h>

#include "qel6run.h"

namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;

extern RScopeClassDescriptor shared;
RDomainRecord label = decl::Simple(kString, {L"label", QEL_HERE, nullptr, &shared});
static int g_inits = 0;
static void Init() { ++g_inits; }
RScopeClassDescriptor shared = decl::Class(L"sharedClass", QEL_HERE, &label, &Init);
decl::UnitTable unit{&shared};
static int g_result = -1;

extern "C" __declspec(dllexport) RScopeClassDescriptor* UnitDescriptor() { return &shared; }
extern "C" __declspec(dllexport) int UnitInits() { return g_inits; }
extern "C" __declspec(dllexport) int UnitResult() { return g_result; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH)
    g_result = RunUnitInitialization(instance, reserved, unit.Table(), nullptr);
  else if (reason == DLL_PROCESS_DETACH)
    RunUnitTermination(instance);
  return TRUE;
}
