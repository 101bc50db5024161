// The table of kind codes: the method table of each kind's class, filled
// once by the families, and the activation of domain records through it.
// This is the one place that knows every family.
#include "domains.h"

namespace Qel::RunTime::Terms {

using namespace detail;

// --- The table --------------------------------------------------------------------------

// The placeholders: every term operation is an internal error.
class TAny : public TDomainDefinition {
 public:
  void BinarySize(term, RHtoBinary*) const override { Internal(L"TDomainDefinition::BinarySize"); }
  void BinaryEmit(term, RHtoBinary*) const override {}
  void BinaryPrepareRead(const uint8_t*, RBinaryReader*) const override {}
  term BinaryRead(const uint8_t*, RBinaryReader*) const override {
    Internal(L"TDomainDefinition::BinaryRead");
  }
  term BinaryReadCodePage(RBinaryReader*) const override {
    Internal(L"TDomainDefinition::BinaryReadCodePage");
  }
};

static uintptr_t g_classTable[kDomainKinds];

static void FillClassTable(uintptr_t* t) {
  FillCharAndBinaryClasses(t);
  FillNumericAndPointerClasses(t);
  FillTextClasses(t);
  FillCompoundAndListClasses(t);
  t[kAnyDomain] = t[kTermDomain] = TableOf<TAny>();
}

const uintptr_t* BuildDomainClassTable() {
  // Built once by the first unit initialisation; later calls read it.
  static const bool built = (FillClassTable(g_classTable), true);
  (void)built;
  return g_classTable;
}

void ActivateDomain(RDomainRecord* record) {
  const uintptr_t* table = BuildDomainClassTable();
  uintptr_t kind = record->kind;
  if (kind >= 100) return;  // already active
  // A code without a class would leave a record that crashes its callers.
  if (kind == 0 || kind >= kDomainKinds)
    Errors::InternalError(L"Invalid kind %u of the domain '%s'", static_cast<unsigned>(kind),
                          record->name ? record->name : L"");
  uint32_t old = OSInterface::OSProtectWrite(&record->kind, 8);
  record->kind = table[kind];
  OSInterface::OSProtectRestore(&record->kind, 8, old);
}

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {
void EnsureDomainClassTable() { Terms::BuildDomainClassTable(); }
}  // namespace Qel::RunTime::detail
