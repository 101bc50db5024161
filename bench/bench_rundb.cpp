// Binary images and fact databases.
//   Images: write (ToBinary) and read (FromBinary) of 100k records, one image
//   per record, in MB/s of image bytes, both flavours.
//   Facts: assert at the end, a full walk, findall of every fact and retract
//   one by one of 10^5 and 10^6 facts person("name", I), against SWI-Prolog's
//   assertz/1, a walk of the clauses, findall/3 and retract/1 on the same
//   counts in the same run (started through Wine's support for Unix programs
//   when /usr/bin/swipl exists; it reports through a file).
#include <windows.h>

#include <cstdio>
#include <initializer_list>

#include "bench_util.h"
#include "qel6run.h"
#include "qel6run_db.h"

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Terms::DBInternal;
using namespace Qel::RunTime::Kernel;
namespace decl = Qel::RunTime::Decl;

namespace {

struct Point { uint64_t functor; int32_t x, y; };
struct Circle { uint64_t functor; const void* centre; int32_t radius; };
struct Tag { uint64_t functor; const wchar_t* head; const void* tail; };
struct Entry { int32_t id; const wchar_t* name; double value; const void* tags; const void* shape; };
struct Person { uint64_t functor; const wchar_t* name; int32_t age; };
struct PersonCons { uint64_t functor; const void* head; const void* tail; };

extern RScopeClassDescriptor benchClass;
extern RCompoundDomain shape, tags, personList;
RIntegralDomain integer = decl::Integer({L"integer", QEL_HERE, nullptr, &benchClass});
RDomainRecord text = decl::Simple(kString, {L"text", QEL_HERE, &integer.head, &benchClass});
RRealDomain real = decl::Real({L"real", QEL_HERE, &text, &benchClass});
decl::Arguments pointArgs{{QEL_ARG(Point, x, integer), QEL_ARG(Point, y, integer)}};
decl::Arguments circleArgs{{QEL_ARG(Circle, centre, shape), QEL_ARG(Circle, radius, integer)}};
RFunctor shapeFunctors[] = {decl::Functor<Point>(L"point", pointArgs),
                            decl::Functor<Circle>(L"circle", circleArgs), decl::Constant(L"none")};
RCompoundDomain shape = decl::Compound({L"shape", QEL_HERE, &real.head, &benchClass}, shapeFunctors);
decl::Arguments tagArgs{{QEL_ARG(Tag, head, text), QEL_ARG(Tag, tail, tags)}};
RFunctor tagFunctors[] = {decl::Functor<Tag>(L".", tagArgs), decl::Constant(L"[]")};
RCompoundDomain tags = decl::Compound({L"tags", QEL_HERE, &shape.head, &benchClass}, tagFunctors, kList);
decl::Arguments entryArgs{{QEL_ARG(Entry, id, integer), QEL_ARG(Entry, name, text), QEL_ARG(Entry, value, real),
                           QEL_ARG(Entry, tags, tags), QEL_ARG(Entry, shape, shape)}};
RFunctor entryFunctors[] = {decl::Functor<Entry>(L"entry", entryArgs)};
RCompoundDomain entry =
    decl::Compound({L"entry", QEL_HERE, &tags.head, &benchClass}, entryFunctors, kSingleCompound);

// person(string, integer) as facts, and as terms collected by findall.
decl::Arguments personArgs{{QEL_ARG(Person, name, text), QEL_ARG(Person, age, integer)}};
RFunctor personFunctors[] = {decl::Functor<Person>(L"person", personArgs)};
RCompoundDomain person = decl::Compound({L"person", QEL_HERE, &entry.head, &benchClass}, personFunctors);
decl::Arguments personListArgs{{QEL_ARG(PersonCons, head, person), QEL_ARG(PersonCons, tail, personList)}};
RFunctor personListFunctors[] = {decl::Functor<PersonCons>(L".", personListArgs), decl::Constant(L"[]")};
RCompoundDomain personList =
    decl::Compound({L"persons", QEL_HERE, &person.head, &benchClass}, personListFunctors, kList);
RFactDescriptor factTable[] = {{L"person", personArgs.a, 2, sizeof(Person), 0, 0, 0, 0}};
RFactHead heads[1];
RFactDatabase facts{decl::Head(kClassFacts, sizeof(RFactDatabase), {L"db", QEL_HERE, &personList.head, &benchClass}),
                    1, factTable, 0, reinterpret_cast<uintptr_t>(heads)};
RScopeClassDescriptor benchClass = decl::Class(L"bench", QEL_HERE, &facts.head);
decl::UnitTable unit{&benchClass};

using bench::Now;

uint8_t* G(uint32_t n) {
  if (reinterpret_cast<uintptr_t>(Memory::MarkGStack()) & 7) Memory::AllocGStack(4);
  return Memory::AllocGStack(n);
}

const wchar_t* kTags[] = {L"on call", L"night", L"weekend", L"holiday"};

const uint8_t* MakeEntry(int i) {
  auto* nil = reinterpret_cast<uint64_t*>(G(8));
  *nil = 2;
  const void* list = nil;
  for (int k = 0; k < 3; ++k) {
    auto* t = reinterpret_cast<Tag*>(G(sizeof(Tag)));
    *t = Tag{1, kTags[(i + k) % 4], list};
    list = t;
  }
  auto* p = reinterpret_cast<Point*>(G(sizeof(Point)));
  *p = Point{1, i, -i};
  const void* s = p;
  if (i % 2) {
    auto* c = reinterpret_cast<Circle*>(G(sizeof(Circle)));
    *c = Circle{2, p, i % 17};
    s = c;
  }
  auto* e = reinterpret_cast<Entry*>(G(sizeof(Entry)));
  *e = Entry{i, L"Dr. Hannelore Example-Name", i * 0.25, list, s};
  return reinterpret_cast<const uint8_t*>(e);
}

void Images() {
  constexpr int n = 100000;
  const IDomainDefinition* d = Domain(entry.head);
  auto** records = static_cast<const uint8_t**>(Memory::AllocUncollectableHeap(n * 8));
  auto** images = static_cast<uint8_t**>(Memory::AllocUncollectableHeap(n * 8));
  for (int i = 0; i < n; ++i) records[i] = MakeEntry(i);
  printf("binary images, %d records (MB/s of image bytes)\n", n);
  for (uint32_t cp : {0xFFFFFFFFu, 1252u}) {
    double bytes = 0, best[2] = {1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
      double t0 = Now();
      for (int i = 0; i < n; ++i)
        images[i] = cp == 0xFFFFFFFFu ? ToBinary(d, records[i]) : ToBinaryCodePage(d, records[i], cp);
      double t1 = Now();
      for (int i = 0; i < n; ++i)
        cp == 0xFFFFFFFFu ? FromBinary(d, images[i]) : FromBinaryCodePage(d, images[i], cp);
      double t2 = Now();
      best[0] = t1 - t0 < best[0] ? t1 - t0 : best[0];
      best[1] = t2 - t1 < best[1] ? t2 - t1 : best[1];
      bytes = 0;
      for (int i = 0; i < n; ++i) bytes += *reinterpret_cast<uint32_t*>(images[i] - 4) - 4;
    }
    printf("  %-9s %.1f MB   write %8.1f   read %8.1f   (best of 3)\n", cp == 0xFFFFFFFFu ? "UTF-16" : "cp 1252",
           bytes / 1e6, bytes / 1e6 / best[0], bytes / 1e6 / best[1]);
  }
}

struct Times {
  double assert, walk, findall, retract;
};

void Count(void* context, const uint8_t*) {
  ++*static_cast<uint64_t*>(context);
  Fail();
}
struct Collect {
  RStructFact** tail;
};
void CollectOne(void* context, const uint8_t* t) {
  FindAllAlloc(Domain(person.head), t, &static_cast<Collect*>(context)->tail);
  Fail();
}
void Drop(void*, const uint8_t*) { Fail(); }

Times Facts(uint32_t n) {
  const IDomainDefinition* db = Domain(facts.head);
  InitializeClassFacts(db);
  double t0 = Now();
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    auto* p = reinterpret_cast<Person*>(G(sizeof(Person)));
    *p = Person{1, L"name", static_cast<int32_t>(i)};
    TDBClassInternalDomainDefinition::AssertZClass(db, reinterpret_cast<const uint8_t*>(p));
    Memory::ReleaseGStack(mark);
  }
  double t1 = Now();
  uint64_t seen = 0;
  Succeeds([&] { WalkFacts(&heads[0], Count, &seen); });
  double t2 = Now();
  uint8_t* mark = Memory::MarkGStack();
  RStructFact* chain = nullptr;
  Collect c{&chain};
  Succeeds([&] { WalkFacts(&heads[0], CollectOne, &c); });
  const uint8_t* list = nullptr;
  FindAllSlut(Domain(personList.head), &chain, &list);
  double t3 = Now();
  Memory::ReleaseGStack(mark);
  Succeeds([&] { RetractCompoundClass(db, 0, Drop, nullptr); });
  double t4 = Now();
  if (seen != n || heads[0].first) printf("  (walk saw %llu of %u facts)\n", static_cast<unsigned long long>(seen), n);
  return Times{t1 - t0, t2 - t1, t3 - t2, t4 - t3};
}

bool RunSwi(Times* out) {
  if (GetFileAttributesW(L"Z:\\usr\\bin\\swipl") == INVALID_FILE_ATTRIBUTES) return false;
  DeleteFileA("Z:\\tmp\\kt_bench_rundb.out");
  FILE* f = fopen("Z:\\tmp\\kt_bench_rundb.pl", "w");
  if (!f) return false;
  fputs(
      ":- initialization(main, main).\n"
      ":- dynamic person/2.\n"
      "main :- catch(run, E, (print_message(error, E), halt(1))).\n"
      "t(G, T) :- garbage_collect, get_time(T0), call(G), get_time(T1), T is T1 - T0.\n"
      "as(N) :- forall(between(1, N, I), assertz(person(\"name\", I))).\n"
      "walk(C) :- aggregate_all(count, person(_, _), C).\n"
      "fa(L) :- findall(person(X, Y), person(X, Y), L).\n"
      "rt :- ( retract(person(_, _)), fail ; true ).\n"
      "b(N, S) :- t(as(N), A), t(walk(_), W), t(fa(_), F), t(rt, R),\n"
      "  format(S, '~6f ~6f ~6f ~6f~n', [A, W, F, R]).\n"
      "run :- open('/tmp/kt_bench_rundb.tmp', write, S), b(100000, S), b(1000000, S), close(S),\n"
      "  rename_file('/tmp/kt_bench_rundb.tmp', '/tmp/kt_bench_rundb.out').\n",
      f);
  fclose(f);
  std::string text =
      bench::RunUnixProgram(nullptr, L"Z:\\usr\\bin\\swipl --stack-limit=4g /tmp/kt_bench_rundb.pl",
                            L"Z:\\tmp\\kt_bench_rundb.out", 300);
  return sscanf(text.c_str(), "%lf %lf %lf %lf %lf %lf %lf %lf", &out[0].assert, &out[0].walk,
                &out[0].findall, &out[0].retract, &out[1].assert, &out[1].walk, &out[1].findall,
                &out[1].retract) == 8;
}

}  // namespace

int main() {
  if (RunUnitInitialization(nullptr, reinterpret_cast<void*>(&main), unit.Table(), nullptr)) return 1;
  Images();
  Times ours[2] = {Facts(100000), Facts(1000000)};
  Times swi[2];
  bool haveSwi = RunSwi(swi);
  printf("fact databases (seconds; ratio = SWI-Prolog time / qel6run time)\n");
  const char* names[] = {"assert", "walk", "findall", "retract"};
  for (int j = 0; j < 2; ++j) {
    double a[4] = {ours[j].assert, ours[j].walk, ours[j].findall, ours[j].retract};
    double s[4] = {swi[j].assert, swi[j].walk, swi[j].findall, swi[j].retract};
    printf("  %u facts\n", j ? 1000000u : 100000u);
    for (int k = 0; k < 4; ++k) {
      if (haveSwi)
        printf("    %-8s qel6run %8.4f   SWI-Prolog %8.4f   ratio %6.2f\n", names[k], a[k], s[k], s[k] / a[k]);
      else
        printf("    %-8s qel6run %8.4f\n", names[k], a[k]);
    }
  }
  if (!haveSwi) printf("  SWI-Prolog not available (/usr/bin/swipl): no ratio\n");
  return 0;
}
