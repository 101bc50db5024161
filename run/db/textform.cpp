// The text form of a fact database: save writes every fact as a clause,
// consult reads clauses back and adds each at the end of its chain.
#include <cstring>

#include "dbinternal.h"
#include "streams.h"

namespace Qel::RunTime::Terms::Streams {

using namespace Kernel;
using namespace DBInternal;
using namespace DBInternal::detail;
using Qel::RunTime::detail::ExpectedSymbol;
using Qel::RunTime::detail::ReadFunctorName;
using Qel::RunTime::detail::SameNameIgnoringCase;
using Qel::RunTime::detail::SkipEmptyArguments;

namespace {

constexpr int kEnd = kEndOfStream;   // -3
constexpr int kKeyword = -2;
constexpr int kMarker = kNoFactsMarker;  // -1

// One item: kEnd, kKeyword, kMarker, or 0 with the fact's term in *t.
int ReadItem(RStreamCursor& in, const IDomainDefinition* d, const uint8_t** t) {
  int r = SkipWhiteAndComments(in);
  if (r == kEndOfStream) return kEnd;
  if (r == kNoFactsMarker) return kMarker;
  int c = in.Read();
  if (c < 0) return kEnd;
  wchar_t name[256];
  ReadFunctorName(in, c, d, name);
  if (wcscmp(name, L"clauses") == 0) return kKeyword;
  uint32_t n = 0;
  for (uint32_t i = 0; i < FD(d).factCount && !n; ++i)
    if (SameNameIgnoringCase(FD(d).facts[i].name, name)) n = i + 1;
  if (!n) Raise(309, Memory::CopyStringToHeap(name), d->QualifiedName());
  const RFactDescriptor& f = FD(d).facts[n - 1];
  uint8_t* block = GAlloc(f.blockSize);
  memset(block, 0, f.blockSize);
  uint64_t word = n;
  memcpy(block, &word, 8);
  *t = block;
  if (f.argCount == 0) {
    SkipEmptyArguments(in, d);
    return 0;
  }
  c = ReadSignificant(in);
  if (c != L'(') ExpectedSymbol(d, L'(', c);
  uint32_t pos = 0;
  for (uint32_t i = 0; i < f.argCount; ++i) {
    pos += f.args[i].offset;
    const IDomainDefinition* a = Dom(f.args[i].domain);
    term v = a->ReadFromStream(&in);
    if (a->IsScalar()) memcpy(block + pos, v, a->ValueSize());
    else memcpy(block + pos, &v, 8);
    wchar_t want = i + 1 < f.argCount ? L',' : L')';
    int got = ReadSignificant(in);
    if (got != want) ExpectedSymbol(d, want, got);
  }
  return 0;
}

}  // namespace

void DataBaseInternal_save(const FactDB* db, RBufferSource* sink, uintptr_t) {
  const IDomainDefinition* d = db->definition;
  RFactHead* heads = Heads(d, db->object);
  RStreamCursor out(sink);
  out.Write(L"\nclauses\n", 9);
  bool any = false;
  for (uint32_t i = 0; i < FD(d).factCount; ++i) {
    const RFactDescriptor& f = FD(d).facts[i];
    RFactHead& h = heads[i];
    if (f.bare) {
      // The value in the head, written as the one argument of its fact.
      const IDomainDefinition* a = Dom(f.args[0].domain);
      const uint8_t* v = a->IsScalar() || a->FunctorCount() ? reinterpret_cast<const uint8_t*>(&h.first)
                                                             : reinterpret_cast<const uint8_t*>(h.first);
      if (!v) continue;
      out.Write(f.name);
      out.Write(L'(');
      a->WriteForConsultToStream(&out, v);
      out.Write(L").\n", 3);
      any = true;
      continue;
    }
    for (RStructFact* c = h.first; c; c = c->next) {
      if (!c->term) continue;  // a single fact without a value yet
      d->WriteForConsultToStream(&out, c->term);
      out.Write(L".\n", 2);
      any = true;
    }
  }
  if (!any) out.Write(L"%<--noFacts-->%", 15);
}

void DataBaseInternal_consult(const FactDB* db, RBufferSource* source, uintptr_t) {
  const IDomainDefinition* d = db->definition;
  void* object = db->object;
  RStreamCursor in(source);
  const uint8_t* t = nullptr;
  // Each fact is read above this mark and dies once it is added, so a file
  // of any length needs the global stack of its largest fact only.
  uint8_t* mark = Memory::MarkGStack();
  int item = ReadItem(in, d, &t);
  if (item == kEnd) return;
  if (item == kKeyword) {
    item = ReadItem(in, d, &t);
    if (item == kEnd) return;
    if (item == kKeyword) Raise(324, L"clauses");
  }
  if (item == kMarker) {
    item = ReadItem(in, d, &t);
    if (item == kEnd || item == kKeyword) return;
    Raise(324, L"<noFacts> marker");
  }
  for (;;) {
    Control::PollUserBreak();
    if (d->DatabaseKind() == 1) TDBClassInternalDomainDefinition::AssertZClass(d, t);
    else TDBObjectInternalDomainDefinition::AssertZObject(d, object, t);
    Memory::ReleaseGStack(mark);
    // An optional period (white space only: a marker after it is an item).
    int c = in.ReadNonWhite();
    if (c != L'.' && c >= 0) in.Unget();
    item = ReadItem(in, d, &t);
    if (item == kEnd || item == kKeyword) return;
    if (item == kMarker) Raise(324, L"<noFacts> marker");
  }
}

}  // namespace Qel::RunTime::Terms::Streams
