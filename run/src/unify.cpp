// The C++ side of unification: the value a free variable is linked to.
#include "runtime.h"

using namespace Qel::RunTime;

// In unify-copy mode a binding gets a global-stack copy of the other side.
extern "C" const uint8_t* qel_run_unify_value(const Terms::IDomainDefinition* domain,
                                              const uint8_t* operand) {
  if (Kernel::Control::TPrologThreadData::TestCurrentUnifyCopy())
    return domain->CopyTermToGStack(operand);
  return operand;
}
