// The runtime's symbol table: one instance of each text, so that equal
// symbols share one pointer.  The kernel's table, created on first use; the
// pointer to it lives in this module's static data, which the collector scans.
#include "runtime.h"

namespace Qel::RunTime::detail {

static Memory::RBinTree* Table() {
  static Memory::RBinTree* table = [] {
    Memory::RBinTree* t = Memory::CreateSymbolsTable();
    if (!t) Errors::RunTimeError(206, 0u, 0u);
    return t;
  }();
  return table;
}

const wchar_t* InternSymbol(const wchar_t* text, bool copy) {
  return Table()->Insert(text ? text : L"", copy);
}

}  // namespace Qel::RunTime::detail

namespace Qel::RunTime {

const wchar_t* Insert2SymbolTable(const wchar_t* text) { return detail::InternSymbol(text, true); }

}  // namespace Qel::RunTime
