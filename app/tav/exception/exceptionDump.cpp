// exceptionDump.  The stream is held only while a dump runs; every text goes
// through the stream's write and writef, so a stream that raises passes its
// error on to the caller.
#include "exception/exceptionDump.h"

#include <windows.h>

#include "stream/stream_exception.h"
#include "string/string_stream.h"

namespace tav {

using K::Control::TPrologThreadData;
using Args1 = T::TEllipsisArgs<1>;

const ClassInfo exceptionDump::classInfo{L"com/corvane/exception/exceptionDump",
                                         TAV_CLASS_VERSION};
const ExceptionDescriptor exceptionDump::dumpexception{&exceptionDump::classInfo,
                                                       L"dumpexception", L"dump exception"};

namespace {

outputStream* g_outstream;  // the `outstream` fact, while a dump runs

outputStream* Out() { return g_outstream ? g_outstream : stdIO::getoutputstream(); }

void Write(const wchar_t* text) {
  Args1 a;
  a.SetTerm(0, D(domains::string), text);
  Out()->write(a);
}

void WriteValue(const ValueTerm* v) {
  Args1 a;
  switch (v->Kind()) {
    case ValueKind::boolean:  // the word, as the kind is (the writer gives "true()")
      a.SetTerm(0, D(domains::string), v->As<const BooleanTerm*>()->functor == 2 ? L"true" : L"false");
      break;
    case ValueKind::unsigned64:
    case ValueKind::gmttimevalue:
      a.SetValue(0, D(domains::unsigned64), v->As<uint64_t>());
      break;
    case ValueKind::integer64:
      a.SetValue(0, D(domains::integer64), v->As<int64_t>());
      break;
    case ValueKind::unsigned_:
      a.SetValue(0, D(domains::unsigned_), v->As<uint32_t>());
      break;
    case ValueKind::integer:
      a.SetValue(0, D(domains::integer), v->As<int32_t>());
      break;
    case ValueKind::char_:
      a.SetValue(0, D(domains::char_), v->As<uint16_t>());
      break;
    case ValueKind::string:
      a.SetTerm(0, D(domains::string), v->As<const wchar_t*>());
      break;
    case ValueKind::binary:
      a.SetTerm(0, D(domains::binary), v->As<const uint8_t*>());
      break;
    default:  // none, real, object, pointer: the whole term
      a.SetTerm(0, D(domains::value), v);
      break;
  }
  Out()->write(a);
}

void WriteEntry(const TraceEntry* e) {
  Write(L"\n----------------------------------------");
  T::TEllipsisArgs<2> head;
  head.SetTerm(0, D(domains::string), e->exception->name);
  head.SetTerm(1, D(domains::string), e->exception->declaring->name);
  Out()->writef(L"\nException: % (%)", head);
  Write(L"\n\n    ");
  Write(e->exception->description);
  Write(L"\n");
  Write(L"\nParameters:");
  for (const NamedValueList* l = e->extraInfo; !l->Empty(); l = l->tail) {
    Write(L"\n    ");
    Write(l->head->name);
    Write(L" = ");
    WriteValue(l->head->value);
  }
  T::TEllipsisArgs<3> kind;
  kind.SetTerm(0, D(domains::string), e->Kind() == TraceKind::raised ? L"raised" : L"continued");
  kind.SetValue(1, D(domains::unsigned_), e->traceId);
  kind.SetTerm(2, D(domains::string), e->dateTime);
  Out()->writef(L"\n\n% (ID=%) %\n", kind);
  T::TEllipsisArgs<2> module;
  module.SetTerm(0, D(domains::string), e->classInfo->name);
  module.SetTerm(1, D(domains::string), e->classInfo->version);
  Out()->writef(L"Module: %s %s", module);
  Write(L"\n");
  T::TEllipsisArgs<3> file;
  file.SetTerm(0, D(domains::string), e->cursor->fileName);
  file.SetValue(1, D(domains::unsigned_), e->cursor->line);
  file.SetValue(2, D(domains::unsigned_), e->cursor->column);
  Out()->writef(L"File: %(%,%)\n", file);
}

}  // namespace

void exceptionDump::dump(outputStream* stream) {
  g_outstream = stream;
  // The stream is held only while the dump runs, also when writing raises.
  uint32_t code = K::RunTrapped([] {
    Write(L"\n========================================\n Dump: ");
    // Room for the terminators: 10 + 1 and 9 + 1 units.
    wchar_t date[11] = {}, time[10] = {};
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, nullptr, L"yyyy'/'MM'/'dd", date, 11);
    GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, nullptr, L"' 'HH':'mm':'ss", time, 10);
    Write(date);
    Write(time);
    exception::getdescriptor_nd([](const TraceEntry* e) {
      WriteEntry(e);
      K::Fail();
    });
  });
  g_outstream = nullptr;
  if (code) K::Errors::Qel_ErrorExit(code);
}

void exceptionDump::CheckTrace(uint32_t traceId) {
  bool known = exception::getdescriptor_nd(traceId, [](const TraceEntry*) {});
  if (known) return;
  uint8_t* mark = TPrologThreadData::GetGStackTop();
  K::RunTrapped([&] { exception::continue_(traceId, &classInfo, &dumpexception); });
  TPrologThreadData::SetGStackTop(mark);
}

void exceptionDump::dump(outputStream* stream, uint32_t traceId) {
  CheckTrace(traceId);
  dump(stream);
}

void exceptionDump::dumptostdoutput() {
  if (outputStream* out = stdIO::trygetoutputstream()) {
    dump(out);
    return;
  }
  outputStream_string* text = outputStream_string::New();
  dump(text);
  const wchar_t* message = text->getstring();
  text->close();
  MessageBoxW(nullptr, message, nullptr, MB_ICONHAND | MB_TASKMODAL);
}

void exceptionDump::dumptostdoutput(uint32_t traceId) {
  CheckTrace(traceId);
  dumptostdoutput();
}

}  // namespace tav
