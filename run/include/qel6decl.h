// Declaring a unit's static records in C++.
//
// Domain records, functor and argument tables, class descriptors and unit
// tables are namespace-scope variables with constant initialisation.  They
// are never `const`: linking writes their first words.  Each functor is one
// C++ struct; argument offsets and block sizes come from offsetof and sizeof.
//
//   namespace decl = Qel::RunTime::Decl;
//   using namespace Qel::RunTime::Terms;
//
//   extern RScopeClassDescriptor shapes;                    // declared below
//
//   // Scalar domains: {name, position, next domain of the class, class}.
//   RIntegralDomain coord = decl::Integer({L"coord", QEL_HERE, nullptr, &shapes}, -1000, 1000);
//   RDomainRecord label = decl::Simple(kString, {L"label", QEL_HERE, &coord.head, &shapes});
//
//   // A compound domain with two functors, one struct per functor.
//   struct Point  { uint64_t functor; int32_t x, y; };
//   struct Circle { uint64_t functor; const Point* centre; int32_t radius; };
//   extern RCompoundDomain shape;
//   decl::Arguments pointArgs{{QEL_ARG(Point, x, coord), QEL_ARG(Point, y, coord)}};
//   decl::Arguments circleArgs{{QEL_ARG(Circle, centre, shape), QEL_ARG(Circle, radius, coord)}};
//   RFunctor shapeFunctors[] = {decl::Functor<Point>(L"point", pointArgs),
//                               decl::Functor<Circle>(L"circle", circleArgs)};
//   RCompoundDomain shape = decl::Compound({L"shape", QEL_HERE, &label.head, &shapes},
//                                          shapeFunctors);
//
//   // A list of coords: QEL_LIST declares the cons struct and its tables.
//   QEL_LIST(coords, coord, int32_t, {L"coords", QEL_HERE, &shape.head, &shapes});
//
//   // The class and the unit table that RunUnitInitialization links.
//   RScopeClassDescriptor shapes = decl::Class(L"shapes", QEL_HERE, &coords.head);
//   decl::UnitTable unit{&shapes};
//   ... RunUnitInitialization(module, nullptr, unit.Table(), nullptr);
//
// Argument tables hold offsets relative to the previous argument, as the
// runtime reads them: QEL_ARG gives the absolute offset and decl::Arguments
// turns the table into relative offsets at compile time.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <source_location>

namespace Qel::RunTime::Decl {

using Terms::RArgument;
using Terms::RCompoundDomain;
using Terms::RDomainRecord;
using Terms::RFunctor;
using Terms::RIntegral64Domain;
using Terms::RIntegralDomain;
using Terms::RRealDomain;

// A source position from std::source_location and a wide file name.
constexpr TFullCursor Here(std::source_location at, const wchar_t* file) {
  return TFullCursor{Kernel::CursorPosition(at.line(), at.column()), file};
}
#define QEL_WIDE_(s) L##s
#define QEL_WIDE(s) QEL_WIDE_(s)
#define QEL_HERE \
  ::Qel::RunTime::Decl::Here(std::source_location::current(), QEL_WIDE(__FILE__))

// What every domain record names: the domain, its position, the next domain
// of the declaring class, the class.
struct Where {
  const wchar_t* name;
  TFullCursor at{};
  RDomainRecord* next = nullptr;
  RScopeClassDescriptor* scope = nullptr;
};

constexpr RDomainRecord Head(Terms::EDomainKind kind, uint16_t size, const Where& w,
                             uint8_t reference = 0) {
  return RDomainRecord{kind, Terms::kDomainMagic, size, reference, 0, w.name, w.at, w.next, w.scope};
}

// Kinds without fields of their own: char, string, binary, pointer, symbol,
// object, string8 and their reference variants.
constexpr RDomainRecord Simple(Terms::EDomainKind kind, const Where& w) {
  return Head(kind, sizeof(RDomainRecord), w, kind == Terms::kRefString ? 1 : 0);
}

// Signed integral of `bits` storage bits (8, 16, 32).
constexpr RIntegralDomain Integer(const Where& w, int32_t low = INT32_MIN,
                                  int32_t high = INT32_MAX, uint32_t bits = 32,
                                  bool reference = false) {
  return RIntegralDomain{Head(reference ? Terms::kRefInteger : Terms::kInteger,
                              sizeof(RIntegralDomain), w),
                         static_cast<uint32_t>(low), static_cast<uint32_t>(high), bits, bits, 0};
}
constexpr RIntegralDomain Unsigned(const Where& w, uint32_t low = 0, uint32_t high = UINT32_MAX,
                                   uint32_t bits = 32, bool reference = false) {
  return RIntegralDomain{Head(reference ? Terms::kRefUnsigned : Terms::kUnsigned,
                              sizeof(RIntegralDomain), w),
                         low, high, bits, bits, 0};
}
constexpr RIntegral64Domain Integer64(const Where& w, int64_t low = INT64_MIN,
                                      int64_t high = INT64_MAX) {
  return RIntegral64Domain{Head(Terms::kInteger64, sizeof(RIntegral64Domain), w),
                           static_cast<uint64_t>(low), static_cast<uint64_t>(high), 64, 64, 0};
}
constexpr RIntegral64Domain Unsigned64(const Where& w, uint64_t low = 0,
                                       uint64_t high = UINT64_MAX) {
  return RIntegral64Domain{Head(Terms::kUnsigned64, sizeof(RIntegral64Domain), w), low, high,
                           64, 64, 0};
}
constexpr RRealDomain Real(const Where& w, double low = -DBL_MAX, double high = DBL_MAX,
                           uint32_t digits = 19, bool reference = false) {
  return RRealDomain{Head(reference ? Terms::kRefReal : Terms::kReal, sizeof(RRealDomain), w),
                     low, high, digits, digits, 0, 0x0048474B};
}

// One argument: QEL_ARG(Struct, member, domain record).
template <class R>
constexpr RArgument Arg(const wchar_t* name, size_t offset, R& domain) {
  return RArgument{name, static_cast<uint32_t>(offset), &domain.head};
}
constexpr RArgument Arg(const wchar_t* name, size_t offset, RDomainRecord& domain) {
  return RArgument{name, static_cast<uint32_t>(offset), &domain};
}
#define QEL_ARG(S, member, domain) \
  ::Qel::RunTime::Decl::Arg(QEL_WIDE(#member), offsetof(S, member), domain)

// An argument table, written with absolute offsets (QEL_ARG) and stored
// with offsets relative to the previous argument, as the runtime reads it.
template <size_t N>
struct Arguments {
  RArgument a[N];
  constexpr Arguments(const RArgument (&absolute)[N]) : a{} {
    uint32_t previous = 0;
    for (size_t i = 0; i < N; ++i) {
      a[i] = absolute[i];
      a[i].offset = absolute[i].offset - previous;
      previous = absolute[i].offset;
    }
  }
};

// A functor whose terms are blocks of struct S.
template <class S, size_t N>
constexpr RFunctor Functor(const wchar_t* name, const Arguments<N>& args) {
  return RFunctor{name, args.a, N, static_cast<uint32_t>(sizeof(S))};
}
// A functor without arguments in a domain with a functor word.
constexpr RFunctor Constant(const wchar_t* name) { return RFunctor{name, nullptr, 0, 8}; }

template <size_t N>
constexpr RCompoundDomain Compound(const Where& w, RFunctor (&functors)[N],
                                   Terms::EDomainKind kind = Terms::kCompound) {
  return RCompoundDomain{Head(kind, sizeof(RCompoundDomain), w,
                              kind == Terms::kRefCompound || kind == Terms::kRefList),
                         static_cast<uint32_t>(N), functors, 4};
}

// A list domain NAME of ELEM (a C++ type: the element's value cell, or a
// pointer for boxed elements) over the element domain record EDOMAIN.
#define QEL_LIST(NAME, EDOMAIN, ELEM, ...)                                                   \
  struct NAME##_cons {                                                                       \
    uint64_t functor;                                                                        \
    ELEM head;                                                                               \
    const void* tail;                                                                        \
  };                                                                                         \
  extern ::Qel::RunTime::Terms::RCompoundDomain NAME;                                        \
  ::Qel::RunTime::Decl::Arguments NAME##_args{{QEL_ARG(NAME##_cons, head, EDOMAIN),         \
                                                  QEL_ARG(NAME##_cons, tail, NAME)}};        \
  ::Qel::RunTime::Terms::RFunctor NAME##_functors[] = {                                      \
      ::Qel::RunTime::Decl::Functor<NAME##_cons>(L".", NAME##_args),                         \
      ::Qel::RunTime::Decl::Constant(L"[]")};                                                \
  ::Qel::RunTime::Terms::RCompoundDomain NAME = ::Qel::RunTime::Decl::Compound(              \
      ::Qel::RunTime::Decl::Where __VA_ARGS__, NAME##_functors, ::Qel::RunTime::Terms::kList)

// Class descriptors.  A class with objects (kind 2) names its object-type
// domain and its thunk tables.
constexpr RScopeClassDescriptor Class(const wchar_t* name, TFullCursor at,
                                      Terms::RDomainRecord* domains = nullptr,
                                      void (*initialize)() = nullptr) {
  return RScopeClassDescriptor{1, kDescriptorMagic, name, nullptr, nullptr, at, domains,
                               initialize, nullptr, nullptr, nullptr};
}
constexpr RScopeClassDescriptor ObjectClass(const wchar_t* name, TFullCursor at,
                                            Terms::RDomainRecord* domains,
                                            void (*initialize)(),
                                            Terms::RDomainRecord* objectDomain,
                                            const Objects::RThunkInit* thunks,
                                            Objects::RThunkState* (*state)()) {
  return RScopeClassDescriptor{2, kClassRecordMagic, name, nullptr, nullptr, at, domains,
                               initialize, objectDomain, thunks, state};
}

// A unit table: the version word, the descriptors, the end mark -2.
//   decl::UnitTable unit{&classA, &classB};
constexpr uintptr_t kUnitVersion = 8;
template <size_t N>
struct UnitTable {
  uintptr_t version;
  RScopeClassDescriptor* entries[N];
  intptr_t end;
  template <class... D>
  constexpr UnitTable(D*... descriptors) : version(kUnitVersion), entries{descriptors...}, end(-2) {}
  const RScopeClassDescriptor* const* Table() const {
    return reinterpret_cast<const RScopeClassDescriptor* const*>(this);
  }
};
template <class... D>
UnitTable(D*...) -> UnitTable<sizeof...(D)>;
template <>
struct UnitTable<0> {
  uintptr_t version = kUnitVersion;
  intptr_t end = -2;
  const RScopeClassDescriptor* const* Table() const {
    return reinterpret_cast<const RScopeClassDescriptor* const*>(this);
  }
};

// A symbol list: a leading word, the texts, a null.
//   const wchar_t* const symbols[] = QEL_SYMBOLS(L"red", L"green");
#define QEL_SYMBOLS(...) {nullptr, __VA_ARGS__, nullptr}

}  // namespace Qel::RunTime::Decl
