// The text form of a fact database: save writes every fact as a clause,
// consult reads clauses back and adds each at the end of its chain.
#include <cstring>

#include "dbinternal.h"
#include "streams.h"

namespace Qel::RunTime::Terms::Streams {

using namespace Kernel;
using namespace DBInternal;
using namespace DBInternal::detail;

namespace {

constexpr int kEnd = kEndOfStream;   // -3
constexpr int kKeyword = -2;
constexpr int kMarker = kNoFactsMarker;  // -1

[[noreturn]] void Expected(const IDomainDefinition* d, wchar_t want, int got) {
  Raise(327, static_cast<int>(want), got < 0 ? 0 : got, d->QualifiedName());
}

// One item: kEnd, kKeyword, kMarker, or 0 with the fact's term in *t.
int ReadItem(RStreamCursor& in, const IDomainDefinition* d, const uint8_t** t) {
  int r = SkipWhiteAndComments(in);
  if (r == kEndOfStream) return kEnd;
  if (r == kNoFactsMarker) return kMarker;
  int c = in.Read();
  if (c < 0) return kEnd;
  if (c != L'_' && (!IsAlphaNumeric(c) || (c >= L'0' && c <= L'9'))) {
    wchar_t text[2] = {static_cast<wchar_t>(c), 0};
    Raise(310, d->QualifiedName(), text);
  }
  wchar_t name[256];
  size_t k = 0;
  for (; c >= 0 && (c == L'_' || IsAlphaNumeric(c)); c = in.Read())
    if (k < 255) name[k++] = static_cast<wchar_t>(c);
  name[k] = 0;
  if (c >= 0) in.Unget();
  if (wcscmp(name, L"clauses") == 0) return kKeyword;
  uint32_t n = 0;
  for (uint32_t i = 0; i < FD(d).factCount && !n; ++i) {
    const wchar_t* f = FD(d).facts[i].name;
    size_t j = 0;
    while (f[j] && name[j] &&
           OSInterface::OSConvertCharToLowerCase(f[j]) == OSInterface::OSConvertCharToLowerCase(name[j]))
      ++j;
    if (!f[j] && !name[j]) n = i + 1;
  }
  if (!n) Raise(309, Memory::CopyStringToHeap(name), d->QualifiedName());
  const RFactDescriptor& f = FD(d).facts[n - 1];
  uint8_t* block = GAlloc(f.blockSize);
  memset(block, 0, f.blockSize);
  uint64_t word = n;
  memcpy(block, &word, 8);
  *t = block;
  if (f.argCount == 0) {
    if (SkipWhiteAndComments(in) == 0) {
      c = in.Read();
      if (c == L'(') {
        c = in.ReadNonWhite();
        if (c != L')') Expected(d, L')', c);
      } else if (c >= 0) {
        in.Unget();
      }
    }
    return 0;
  }
  c = ReadSignificant(in);
  if (c != L'(') Expected(d, L'(', c);
  uint32_t pos = 0;
  for (uint32_t i = 0; i < f.argCount; ++i) {
    pos += f.args[i].offset;
    const IDomainDefinition* a = Dom(f.args[i].domain);
    term v = a->ReadFromStream(&in);
    if (a->IsScalar()) memcpy(block + pos, v, a->ValueSize());
    else memcpy(block + pos, &v, 8);
    wchar_t want = i + 1 < f.argCount ? L',' : L')';
    int got = ReadSignificant(in);
    if (got != want) Expected(d, want, got);
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
    uint8_t* mark = Memory::MarkGStack();
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
