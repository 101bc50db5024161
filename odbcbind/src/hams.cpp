// The Ham registry and the record of bindings.
//
// A Ham is registered in exactly one of 1,000 slots from its creation until
// its release; an address index (open addressing, no tombstones) finds its
// slot without scanning or reading the address given.  A Ham that a
// statement has bound (a column or a parameter, until unbind, reset, drop or
// the connection's end) is never released, and a call that would let ODBC
// write more rows than a bound Ham holds is refused before ODBC sees it.
#include <cstring>
#include <vector>

#include "binding.h"
#include "qel6kernel.h"

namespace odbcbind {

namespace kernel = Qel::RunTime::Kernel;

namespace {

Ham* slots[kRegistrySlots];

// Address index: a power of two above twice the slot count.
constexpr uint32_t kIndexSize = 2048;
struct IndexEntry {
  Ham* ham;
  uint16_t slot;
};
IndexEntry addressIndex[kIndexSize];

uint32_t Home(const void* address) {
  uint64_t h = reinterpret_cast<uintptr_t>(address) * 0x9E3779B97F4A7C15ull;
  return uint32_t(h >> 53);  // 11 bits
}

void IndexInsert(Ham* ham, uint16_t slot) {
  uint32_t i = Home(ham);
  while (addressIndex[i].ham) i = (i + 1) & (kIndexSize - 1);
  addressIndex[i] = {ham, slot};
}

int32_t IndexFind(const void* address) {
  for (uint32_t i = Home(address); addressIndex[i].ham; i = (i + 1) & (kIndexSize - 1))
    if (addressIndex[i].ham == address) return addressIndex[i].slot;
  return -1;
}

// Backward-shift deletion keeps every probe chain unbroken.
void IndexErase(const void* address) {
  uint32_t i = Home(address);
  while (addressIndex[i].ham != address) i = (i + 1) & (kIndexSize - 1);
  uint32_t hole = i;
  for (uint32_t j = (hole + 1) & (kIndexSize - 1); addressIndex[j].ham; j = (j + 1) & (kIndexSize - 1)) {
    uint32_t home = Home(addressIndex[j].ham);
    // Move j into the hole unless its home lies cyclically in (hole, j].
    bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
    if (!stays) {
      addressIndex[hole] = addressIndex[j];
      hole = j;
    }
  }
  addressIndex[hole] = {nullptr, 0};
}

struct Binding {
  SQLHDBC dbc;
  SQLHSTMT stmt;
  Ham* ham;
  uint32_t number;
  BindKind kind;
};
std::vector<Binding> bindings;

struct ParamSet {
  SQLHDBC dbc;
  SQLHSTMT stmt;
  uint64_t rows;
};
std::vector<ParamSet> paramSets;

template <class T, class Pred>
void EraseIf(std::vector<T>& v, Pred pred) {
  size_t out = 0;
  for (size_t i = 0; i < v.size(); ++i)
    if (!pred(v[i])) v[out++] = v[i];
  v.resize(out);
}

}  // namespace

uint8_t* Ham::Data() { return reinterpret_cast<uint8_t*>(Indicators() + header.rows); }

Ham* CreateHam(const wchar_t* name, int32_t type, int64_t length, uint32_t rows) {
  const TypeInfo& info = TypeOf(type, name);
  int64_t element = info.elementSize ? info.elementSize : length;
  if (element <= 0 || element > INT32_MAX || rows == 0) BindingError(kIllegalConstant, name);
  uint64_t size = sizeof(odbcHamHeader) + uint64_t(rows) * (sizeof(SQLLEN) + uint64_t(element)) + 8;
  if (size > UINT32_MAX) BindingError(kIllegalConstant, name);
  uint32_t slot = 0;
  while (slot < kRegistrySlots && slots[slot]) ++slot;
  if (slot == kRegistrySlots) BindingError(kHamNotReserved, name);
  auto* ham = static_cast<Ham*>(kernel::Memory::AllocHeap(uint32_t(size)));
  memset(ham, 0, size);
  ham->header = {uint32_t(type), uint32_t(element), rows, 0};
  slots[slot] = ham;
  IndexInsert(ham, uint16_t(slot));
  return ham;
}

Ham* FindHam(void* address, const wchar_t* name) {
  int32_t slot = address ? IndexFind(address) : -1;
  if (slot < 0) BindingError(kHamNotReserved, name);
  return slots[slot];
}

Ham* FindHamByData(void* data) {
  for (Ham* ham : slots)
    if (ham && ham->Data() == data) return ham;
  return nullptr;
}

void UnregisterHam(Ham* ham) {
  int32_t slot = IndexFind(ham);
  IndexErase(ham);
  slots[slot] = nullptr;
}

void RecordBinding(SQLHDBC dbc, SQLHSTMT stmt, BindKind kind, uint32_t number, Ham* ham) {
  for (Binding& b : bindings)
    if (b.stmt == stmt && b.kind == kind && b.number == number) {
      b = {dbc, stmt, ham, number, kind};
      return;
    }
  bindings.push_back({dbc, stmt, ham, number, kind});
}

void ForgetBindings(SQLHSTMT stmt, BindKind kind) {
  EraseIf(bindings, [&](const Binding& b) { return b.stmt == stmt && b.kind == kind; });
}

void ForgetStatement(SQLHSTMT stmt) {
  EraseIf(bindings, [&](const Binding& b) { return b.stmt == stmt; });
  EraseIf(paramSets, [&](const ParamSet& p) { return p.stmt == stmt; });
}

void ForgetConnection(SQLHDBC dbc) {
  EraseIf(bindings, [&](const Binding& b) { return b.dbc == dbc; });
  EraseIf(paramSets, [&](const ParamSet& p) { return p.dbc == dbc; });
}

bool IsBound(const Ham* ham) {
  for (const Binding& b : bindings)
    if (b.ham == ham) return true;
  return false;
}

void CheckBoundRows(SQLHSTMT stmt, BindKind kind, uint64_t rows, const wchar_t* name) {
  for (const Binding& b : bindings)
    if (b.stmt == stmt && b.kind == kind && b.ham->header.rows < rows) BindingError(kIllegalConstant, name);
}

void SetParamRows(SQLHDBC dbc, SQLHSTMT stmt, uint64_t rows) {
  for (ParamSet& p : paramSets)
    if (p.stmt == stmt) {
      p = {dbc, stmt, rows};
      return;
    }
  paramSets.push_back({dbc, stmt, rows});
}

uint64_t ParamRows(SQLHSTMT stmt) {
  for (const ParamSet& p : paramSets)
    if (p.stmt == stmt) return p.rows;
  return 1;
}

}  // namespace odbcbind
