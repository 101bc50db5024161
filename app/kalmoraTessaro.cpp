// The program's entry, goal and unit image: see the header.
#include "kalmoraTessaro.h"

#include <vector>

#include "TaskWindow/taskWindow.h"
#include "all_unit.h"
#include "application/Exe/mainExe.h"
#include "qel6decl.h"
#include "unit.h"

namespace kalmora {

namespace decl = Qel::RunTime::Decl;
using tav::RScopeClassDescriptor;

const tav::ClassInfo kalmoraTessaro::classInfo{L"qel6pack/kalmoraTessaro", L""};
const tav::ClassInfo conditional::classInfo{L"qel6pack/conditional", L""};

namespace classes {
RScopeClassDescriptor kalmoraTessaro = decl::Class(L"kalmoraTessaro", QEL_HERE);
RScopeClassDescriptor conditional = decl::Class(L"conditional", QEL_HERE);
}  // namespace classes

namespace {

void Append(std::vector<const RScopeClassDescriptor*>* out, const RScopeClassDescriptor* const* table) {
  for (const RScopeClassDescriptor* const* p = table + 1; reinterpret_cast<intptr_t>(*p) != -2; ++p)
    if (*p) out->push_back(*p);
}

const RScopeClassDescriptor* const* BuildTable() {
  static std::vector<const RScopeClassDescriptor*> table;
  table.push_back(reinterpret_cast<const RScopeClassDescriptor*>(uintptr_t{decl::kUnitVersion}));
  Append(&table, tav::UnitTable());
  Append(&table, rizediveva6::UnitTable());
  Append(&table, all::UnitTable());
  Append(&table, taskWindow::UnitTable());
  table.push_back(&classes::kalmoraTessaro);
  table.push_back(&classes::conditional);
  table.push_back(reinterpret_cast<const RScopeClassDescriptor*>(intptr_t{-2}));
  return table.data();
}

const wchar_t* const kSymbols[] = {nullptr, nullptr};

}  // namespace

const qelstartup::UnitImage& ProgramImage() {
  static const qelstartup::UnitImage image{BuildTable(), kSymbols, &PROLOG_Goal};
  return image;
}

void kalmoraTessaro::_run() { taskWindow::new_()->show(); }

}  // namespace kalmora

extern "C" {

int QelStartUp() { qelstartup::StartUp(kalmora::ProgramImage()); }

void PROLOG_Goal() {
  auto* run = static_cast<tav::RunPredicate*>(tav::GStackAlloc(sizeof(tav::RunPredicate)));
  *run = {reinterpret_cast<const void*>(&kalmora::kalmoraTessaro::_run), nullptr};
  tav::mainExe::run(*run);
}

BOOL QelDllMain(HINSTANCE module, DWORD reason, void* reserved) {
  return qelstartup::DllEntry(module, reason, reserved, kalmora::ProgramImage());
}

void QelSetDllHook(const qelstartup::QelDllHook* hook) { qelstartup::SetDllHook(hook); }

HINSTANCE QelDllGetHandleModule() { return qelstartup::GetHandleModule(); }

}  // extern "C"
