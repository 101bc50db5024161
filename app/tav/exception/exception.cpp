// The exception state and the class predicates over the current one.
//
// Invariants:
//  - Entries are kept newest first on the collected heap; each is one block
//    holding the whole term (extra information, strings and binaries
//    included), so nothing of it lives on a global stack that a raise unwinds.
//  - Identifiers grow by one per raise from 65536 and are never reused.
//  - Every raise and continue ends in Qel_ErrorExit with the identifier.
#include "exception/exception.h"

#include <windows.h>

#include <new>

namespace tav {

using K::Control::TPrologThreadData;

const ClassInfo exception::classInfo{L"com/corvane/exception/exception", TAV_CLASS_VERSION};
const ClassInfo exception::unknownclassinfo{L"unknown", TAV_CLASS_VERSION};
const ClassInfo exceptionState::classInfo{L"tav/exception/exceptionState", TAV_CLASS_VERSION};

static const KindTerm kRaised{1}, kContinued{2};

exceptionState* exceptionState::New() {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(exceptionState), 0};
  void* block = Qel::RunTime::Objects::AllocateObject(&info, nullptr);
  return new (block) exceptionState();
}

bool exceptionState::equals(const ExceptionDescriptor* a, const ExceptionDescriptor* b) {
  return SameDescriptor(a, b);
}

// "yyyy/MM/dd HH:mm:ss" in local time: the date with its trailing blank, then
// the time written over the date's terminator.  The text is formatted once
// per second and copied from then on.
static const wchar_t* EntryDateTime() {
  static SYSTEMTIME last{};
  static wchar_t lastText[20];
  SYSTEMTIME now;
  GetLocalTime(&now);
  if (now.wSecond != last.wSecond || now.wMinute != last.wMinute || now.wHour != last.wHour ||
      now.wDay != last.wDay || now.wMonth != last.wMonth || now.wYear != last.wYear ||
      !lastText[0]) {
    lastText[0] = 0;
    if (GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &now, L"yyyy'/'MM'/'dd ", lastText, 12) == 12)
      GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &now, L"HH':'mm':'ss", lastText + 11, 9);
    last = now;
  }
  wchar_t* text = static_cast<wchar_t*>(GStackAlloc(sizeof lastText));
  memcpy(text, lastText, sizeof lastText);
  return text;
}

void exceptionState::Record(uint32_t traceId, const ClassInfo* ci, const CursorTerm* at,
                            const ExceptionDescriptor* e, TraceKind kind,
                            const NamedValueList* extra) {
  TraceEntry entry{1,
                   traceId,
                   ci,
                   e,
                   kind == TraceKind::raised ? &kRaised : &kContinued,
                   extra ? extra : EmptyList(),
                   at ? at : programControl::newcursor(L"", 0, 0),
                   EntryDateTime(),
                   e->description};
  const IDomainDefinition* d = D(domains::traceEntry);
  auto t = reinterpret_cast<term>(&entry);
  auto* block = static_cast<uint8_t*>(K::Memory::AllocHeap(d->AlignedSizeOfTerm(t)));
  uint32_t used;
  auto* copy = reinterpret_cast<const TraceEntry*>(d->CopyTerm(block, t, false, &used));
  auto* cell = static_cast<Cell*>(K::Memory::AllocHeap(sizeof(Cell)));
  cell->entry = copy;
  cell->next = entries_;
  entries_ = cell;
  K::Errors::Qel_ErrorExit(traceId);
}

void exceptionState::raise(const ClassInfo* ci, const ExceptionDescriptor* e,
                           const NamedValueList* extra) {
  raise_withpos(ci, programControl::getlastsavedsourceposition(), e, extra);
  __builtin_unreachable();
}
void exceptionState::raise(const ClassInfo* ci, const ExceptionDescriptor* e) {
  raise(ci, e, EmptyList());
  __builtin_unreachable();
}
void exceptionState::raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                                   const ExceptionDescriptor* e, const NamedValueList* extra) {
  Record(nextId_++, ci, at, e, TraceKind::raised, extra);
}
void exceptionState::raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                                   const ExceptionDescriptor* e) {
  raise_withpos(ci, at, e, EmptyList());
  __builtin_unreachable();
}

void exceptionState::CheckNewest(uint32_t traceId) {
  bool known = false;
  for (Cell* c = entries_; c && !known; c = c->next) known = c->entry->traceId == traceId;
  if (!known) exception_exception::raise_notraceid(&classInfo, traceId);
  if (entries_->entry->traceId != traceId)
    exception_exception::raise_nonlasttraceid(&classInfo, traceId);
}

void exceptionState::continue_withpos(uint32_t traceId, const ClassInfo* ci, const CursorTerm* at,
                                      const ExceptionDescriptor* e, const NamedValueList* extra) {
  if (traceId < kFirstTraceId) {
    int32_t number, line, column;
    const wchar_t* file;
    programControl::lasterror(&number, &file, &line, &column);
    exception_exception::raise_externalerror(
        &exception::unknownclassinfo, traceId,
        Values({{L"Errornumber", value::integer(number)},
                {L"Errorfile", value::string(file)},
                {L"Line", value::integer(line)},
                {L"Column", value::integer(column)}}));
  }
  CheckNewest(traceId);
  Record(traceId, ci, at, e, TraceKind::continued, extra);
}
void exceptionState::continue_withpos(uint32_t traceId, const ClassInfo* ci, const CursorTerm* at,
                                      const ExceptionDescriptor* e) {
  continue_withpos(traceId, ci, at, e, EmptyList());
  __builtin_unreachable();
}
void exceptionState::continue_(uint32_t traceId, const ClassInfo* ci, const ExceptionDescriptor* e,
                               const NamedValueList* extra) {
  continue_withpos(traceId, ci, programControl::getlastsavedsourceposition(), e, extra);
  __builtin_unreachable();
}
void exceptionState::continue_(uint32_t traceId, const ClassInfo* ci,
                               const ExceptionDescriptor* e) {
  continue_(traceId, ci, e, EmptyList());
  __builtin_unreachable();
}

void exceptionState::clear(uint32_t traceId) {
  if (traceId < kFirstTraceId) return;
  CheckNewest(traceId);
  Cell** link = &entries_;
  while (*link) {
    if ((*link)->entry->traceId == traceId)
      *link = (*link)->next;
    else
      link = &(*link)->next;
  }
}

void exceptionState::clearall() { entries_ = nullptr; }

const TraceEntry* exceptionState::trygetdescriptor(uint32_t traceId, const ExceptionDescriptor* e) {
  for (Cell* c = entries_; c; c = c->next)
    if (c->entry->traceId == traceId && SameDescriptor(c->entry->exception, e)) return c->entry;
  return nullptr;
}

bool exceptionState::getdescriptor_nd(Each<const TraceEntry*> k) {
  for (Cell* c = entries_; c; c = c->next)
    if (TrySolution(k, c->entry)) return true;
  return false;
}

bool exceptionState::getdescriptor_nd(uint32_t traceId, Each<const TraceEntry*> k) {
  for (Cell* c = entries_; c; c = c->next)
    if (c->entry->traceId == traceId && TrySolution(k, c->entry)) return true;
  return false;
}

const ValueTerm* exceptionState::trygetextrainfo(const TraceEntry* entry, const wchar_t* name) {
  return core::trymaplookup(entry->extraInfo, name);
}

const TraceEntry* exceptionState::findexception(
    uint32_t traceId, std::initializer_list<const ExceptionDescriptor*> list) {
  for (const ExceptionDescriptor* e : list)
    if (const TraceEntry* found = trygetdescriptor(traceId, e)) return found;
  return nullptr;
}

// --- exception: the current state ---

static exceptionState* g_state;  // static data: a root of the collector

exceptionState* exception::getexceptionstate() {
  if (!g_state) g_state = exceptionState::New();
  return g_state;
}
void exception::setexceptionstate(exceptionState* state) { g_state = state; }

void exception::raise(const ClassInfo* ci, const ExceptionDescriptor* e,
                      const NamedValueList* extra) {
  getexceptionstate()->raise(ci, e, extra);
  __builtin_unreachable();
}
void exception::raise(const ClassInfo* ci, const ExceptionDescriptor* e) {
  getexceptionstate()->raise(ci, e);
  __builtin_unreachable();
}
void exception::raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                              const ExceptionDescriptor* e, const NamedValueList* extra) {
  getexceptionstate()->raise_withpos(ci, at, e, extra);
  __builtin_unreachable();
}
void exception::raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                              const ExceptionDescriptor* e) {
  getexceptionstate()->raise_withpos(ci, at, e);
  __builtin_unreachable();
}
void exception::continue_withpos(uint32_t traceId, const ClassInfo* ci, const CursorTerm* at,
                                 const ExceptionDescriptor* e, const NamedValueList* extra) {
  getexceptionstate()->continue_withpos(traceId, ci, at, e, extra);
  __builtin_unreachable();
}
void exception::continue_withpos(uint32_t traceId, const ClassInfo* ci, const CursorTerm* at,
                                 const ExceptionDescriptor* e) {
  getexceptionstate()->continue_withpos(traceId, ci, at, e);
  __builtin_unreachable();
}
void exception::continue_(uint32_t traceId, const ClassInfo* ci, const ExceptionDescriptor* e,
                          const NamedValueList* extra) {
  getexceptionstate()->continue_(traceId, ci, e, extra);
  __builtin_unreachable();
}
void exception::continue_(uint32_t traceId, const ClassInfo* ci, const ExceptionDescriptor* e) {
  getexceptionstate()->continue_(traceId, ci, e);
  __builtin_unreachable();
}
void exception::clear(uint32_t traceId) {
  uint8_t* mark = TPrologThreadData::GetGStackTop();
  getexceptionstate()->clear(traceId);
  TPrologThreadData::SetGStackTop(mark);
}
void exception::clearall() {
  uint8_t* mark = TPrologThreadData::GetGStackTop();
  getexceptionstate()->clearall();
  TPrologThreadData::SetGStackTop(mark);
}
const TraceEntry* exception::trygetdescriptor(uint32_t traceId, const ExceptionDescriptor* e) {
  return getexceptionstate()->trygetdescriptor(traceId, e);
}
bool exception::getdescriptor_nd(Each<const TraceEntry*> k) {
  return getexceptionstate()->getdescriptor_nd(k);
}
bool exception::getdescriptor_nd(uint32_t traceId, Each<const TraceEntry*> k) {
  return getexceptionstate()->getdescriptor_nd(traceId, k);
}
const ValueTerm* exception::trygetextrainfo(const TraceEntry* entry, const wchar_t* name) {
  return getexceptionstate()->trygetextrainfo(entry, name);
}
const TraceEntry* exception::findexception(uint32_t traceId,
                                           std::initializer_list<const ExceptionDescriptor*> list) {
  return getexceptionstate()->findexception(traceId, list);
}

}  // namespace tav
