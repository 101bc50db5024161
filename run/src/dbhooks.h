// What the runtime core and run/db share: the binary-image passes behind the
// domain classes' image slots, and the profile keys of facts.
#pragma once

#include "qel6run_db.h"

namespace Qel::RunTime::detail {

using Terms::IDomainDefinition;
using Terms::RBinaryReader;
using Terms::RHtoBinary;

// Size pass of the term's image from the emitter's position (nothing written).
void ImageSize(const IDomainDefinition* d, const uint8_t* t, RHtoBinary* e);
// Emit pass: writes the term's blocks and pointer slots at the position.
void ImageEmit(const IDomainDefinition* d, const uint8_t* t, RHtoBinary* e);
void ImagePrepareRead(const IDomainDefinition* d, RBinaryReader* r);
// Reads a whole image (UTF-16 flavour without a reader); 304 when it is bad.
const uint8_t* ImageRead(const IDomainDefinition* d, const uint8_t* image, RBinaryReader* r);
const uint8_t* ImageReadCodePage(const IDomainDefinition* d, RBinaryReader* r);

// The memory-profile key of a fact: the low 32 bits of its descriptor's
// address.  Its allocations run in the context (database kind, key).
inline uint32_t FactProfileKey(const Terms::DBInternal::RFactDescriptor& f) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&f));
}

}  // namespace Qel::RunTime::detail
