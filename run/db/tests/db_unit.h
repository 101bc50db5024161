// The domains and fact databases of the image and fact tests, declared as
// static records and linked once per process by LinkDbUnit().
#pragma once

#include <initializer_list>

#include "qel6run_db.h"
#include "run_test.h"

namespace dbunit {

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Terms::DBInternal;

// node = leaf(integer, char) | pair(node, node) | rec(string, real, pointer, nodes)
//      | nil | packed(char, char, small8) | big(int64, symbol, binary, string8)
struct Leaf { uint64_t functor; int32_t value; uint16_t c; };
struct Pair { uint64_t functor; const void* a; const void* b; };
struct Rec { uint64_t functor; const wchar_t* name; double r; const void* p; const void* items; };
struct Packed { uint64_t functor; uint16_t a, b; int8_t s; };
struct Big { uint64_t functor; int64_t l; const wchar_t* sym; const uint8_t* bin; const char* s8; };
struct Cons { uint64_t functor; const void* head; const void* tail; };
struct IntCons { uint64_t functor; int32_t head; const void* tail; };

extern RScopeClassDescriptor dbclass;
extern RIntegralDomain integer, small8;
extern RIntegral64Domain int64d;
extern RRealDomain real;
extern RDomainRecord chr, str, sym, bin, ptr, str8, refStr;
extern RIntegralDomain refInt;
extern RCompoundDomain node, nodes, ints, refNodes;

// Facts: person(string, integer) nondeterm, counter(integer) single bare,
// current(string) determ, config(string, integer) single.
struct Person { uint64_t functor; const wchar_t* name; int32_t age; };
struct Counter { uint64_t functor; int32_t value; };
struct Current { uint64_t functor; const wchar_t* name; };
struct Config { uint64_t functor; const wchar_t* key; int32_t value; };
extern RFactDatabase facts;
extern RFactHead factHeads[4];
// The same facts per object, heads at offset 16 of an object.
extern RFactDatabase objectFacts;
// Only person(string, integer).
extern RFactDatabase plainFacts;
extern RFactHead plainHeads[1];
struct FactObject { void* table; void* other; RFactHead heads[4]; };
// Only tree(node): facts of any nesting depth.
struct Tree { uint64_t functor; const void* node; };
extern RFactDatabase treeFacts;
extern RFactHead treeHeads[1];

int LinkDbUnit();

using runtest::D;

// Builders on the global stack.
using runtest::Alloc;
const uint8_t* Term(const void* p);
const wchar_t* S(const wchar_t* s);
const uint8_t* MakeLeaf(int32_t v, wchar_t c);
const uint8_t* MakePair(const uint8_t* a, const uint8_t* b);
const uint8_t* MakeNil();
const uint8_t* MakeRec(const wchar_t* name, double r, const void* p, const uint8_t* items);
const uint8_t* MakeNodes(std::initializer_list<const uint8_t*> items);
const uint8_t* MakeInts(int n);
const uint8_t* MakePerson(const wchar_t* name, int32_t age);
const uint8_t* MakeFact(uint64_t number, const wchar_t* s, int32_t v);

}  // namespace dbunit
