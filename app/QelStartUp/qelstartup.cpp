// The start-up glue: see the header.  Nothing here raises: every kernel and
// runtime entry called returns a code.
#include "QelStartUp/qelstartup.h"

#include "qel6run.h"

namespace qelstartup {

namespace K = Qel::RunTime::Kernel;

namespace {

QelDllHook g_hook{nullptr, nullptr};
HINSTANCE g_module = nullptr;

int StartUnits(void* module, void* second, const UnitImage& image) {
  if (int rc = K::KernelUnitInitialization(module, image.table)) return rc;
  return Qel::RunTime::RunUnitInitialization(module, second, image.table, image.symbols);
}

}  // namespace

void StartUp(const UnitImage& image) {
  int rc = StartUnits(nullptr, reinterpret_cast<void*>(&StartUp), image);
  if (!rc) rc = K::ExeInitialization();
  if (rc) ExitProcess(static_cast<UINT>(rc));
  const int exitCode = K::RunGoal(image.goal);
  Qel::RunTime::RunUnitTermination(nullptr);
  K::KernelUnitTermination();
  K::ExeTermination(exitCode);
}

BOOL DllEntry(HINSTANCE module, DWORD reason, void* reserved, const UnitImage& image) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      g_module = module;
      int rc = StartUnits(module, reserved, image);
      if (!rc) rc = K::RunGoal(image.goal);
      return rc == 0;
    }
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH:
      return TryCallHook(module, reason, reserved);
    case DLL_PROCESS_DETACH: {
      const int result = TryCallHook(module, DLL_PROCESS_DETACH, reserved);
      Qel::RunTime::RunUnitTermination(module);
      K::KernelUnitTermination();
      return result;
    }
    default:
      return TRUE;
  }
}

void SetDllHook(const QelDllHook* hook) { g_hook = *hook; }

int TryCallHook(HINSTANCE module, DWORD reason, void* reserved) {
  if (!g_hook.function) return 1;
  void* previous = K::SetValidTLSArray();
  const bool temporary = K::CreateTemporaryPTDifNeed();
  const int result =
      g_hook.context
          ? reinterpret_cast<HookMethod>(g_hook.function)(g_hook.context, module, reason, reserved)
          : reinterpret_cast<HookFunction>(g_hook.function)(module, reason, reserved);
  if (temporary) K::DeleteTemporaryPTD();
  K::RestoreTLSArray(previous);
  return result;
}

HINSTANCE GetHandleModule() { return g_module; }

}  // namespace qelstartup
