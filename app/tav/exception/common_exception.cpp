// common_exception and exception_exception: general descriptors and their
// raise helpers.  Each helper raises at the caller's last saved source
// position; argument texts are written in their plain text form.
#include <windows.h>

#include "exception/exception.h"
#include "memory/memory.h"

namespace tav {

const ClassInfo common_exception::classInfo{L"com/corvane/exception/common_exception",
                                            TAV_CLASS_VERSION};
#define TAV_COMMON(var, name, text) \
  const ExceptionDescriptor common_exception::var{&common_exception::classInfo, name, text}
TAV_COMMON(internal, L"internal", L"Internal run-time exception occurred");
TAV_COMMON(couldnotcreate, L"couldnotcreate", L"The object could not be created");
TAV_COMMON(removelistener, L"removelistener", L"Listener was not assigned");
TAV_COMMON(exceptioninlistener, L"exceptioninlistener", L"A listener raised an exception");
TAV_COMMON(nativecallexception, L"nativecallexception", L"Internal API function call failed");
TAV_COMMON(unknown, L"unknown", L"Unknown exception has raised");
TAV_COMMON(unsupportedpredicate, L"unsupportedpredicate", L"Unsupported predicate");
#undef TAV_COMMON

const ClassInfo exception_exception::classInfo{L"com/corvane/exception/exception_exception",
                                               TAV_CLASS_VERSION};
const ExceptionDescriptor exception_exception::externalerror{
    &exception_exception::classInfo, L"externalerror", L"An external run-time error occurred"};
const ExceptionDescriptor exception_exception::notraceid{
    &exception_exception::classInfo, L"notraceid",
    L"There is no such trace identifier in exception database"};
const ExceptionDescriptor exception_exception::nonlasttraceid{
    &exception_exception::classInfo, L"nonlasttraceid",
    L"An attempt to continue or clear a non-last exception"};

// "Predicate name" and "Arguments".
static const NamedValueList* PredicateAndText(const wchar_t* predicate, const wchar_t* text) {
  return Values({{L"Predicate name", value::string(predicate)},
                 {L"Arguments", value::string(text)}});
}

void common_exception::raise_error(const ClassInfo* ci, const wchar_t* predicate,
                                   const T::REllipsisArg* args) {
  exception::raise(ci, &internal,
                   PredicateAndText(predicate, CorvaneString::Write2StringProlog(0, 1, args)));
}

void common_exception::raise_errorf(const ClassInfo* ci, const wchar_t* predicate,
                                    const wchar_t* format, const T::REllipsisArg* args) {
  exception::raise(ci, &internal,
                   PredicateAndText(predicate, CorvaneString::Format2StringProlog(format, args)));
}

void common_exception::raise_couldnotcreate(const ClassInfo* ci, const wchar_t* predicate,
                                            const NamedValueList* extra) {
  exception::raise(ci, &couldnotcreate,
                   Prepend({{L"Predicate name", value::string(predicate)}}, extra));
}

void common_exception::raise_removelistener(const ClassInfo* ci, const wchar_t* listener) {
  exception::raise(ci, &removelistener, Values({{L"Listener name", value::string(listener)}}));
}

void common_exception::continue_exceptioninlistener(uint32_t traceId, const ClassInfo* ci,
                                                    const wchar_t* listener) {
  exception::continue_(traceId, ci, &exceptioninlistener,
                       Values({{L"Listener name", value::string(listener)}}));
}

void common_exception::getlasterror(uint32_t* code, const wchar_t** description) {
  *code = GetLastError();
  constexpr DWORD units = 2048;
  wchar_t* text = memory::allocstringbuffer(units);
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, *code, 0,
                 text, units, nullptr);
  text[units - 1] = 0;
  *description = text;
}

const NamedValueList* common_exception::NativeErrorInfo(const wchar_t* api, uint32_t code,
                                                        const NamedValueList* extra) {
  SetLastError(code);
  uint32_t same;
  const wchar_t* text;
  getlasterror(&same, &text);
  return Prepend({{L"API function name", value::string(api)},
                  {L"Error code", value::unsigned_(code)},
                  {L"Error description", value::string(text)}},
                 extra);
}

void common_exception::raise_nativecallexception(const ClassInfo* ci, const wchar_t* api,
                                                 const NamedValueList* extra) {
  uint32_t code = GetLastError();
  exception::raise(ci, &nativecallexception, NativeErrorInfo(api, code, extra));
}

void common_exception::raise_nativecallexceptionposition(const ClassInfo* ci, const CursorTerm* at,
                                                         const wchar_t* api,
                                                         const NamedValueList* extra) {
  uint32_t code = GetLastError();
  exception::raise_withpos(ci, at, &nativecallexception, NativeErrorInfo(api, code, extra));
}

void common_exception::checknonzeroresult(const ClassInfo* ci, uintptr_t result,
                                          const wchar_t* api) {
  if (result == 0) raise_nativecallexception(ci, api, EmptyList());
}

void common_exception::continue_unknown(uint32_t traceId, const ClassInfo* ci,
                                        const wchar_t* predicate, const T::REllipsisArg* args) {
  exception::continue_(traceId, ci, &unknown,
                       PredicateAndText(predicate, CorvaneString::Write2StringProlog(0, 1, args)));
}

void common_exception::raise_unsupportedpredicate(const ClassInfo* ci, const wchar_t* predicate) {
  exception::raise(ci, &unsupportedpredicate,
                   Values({{L"Predicate name", value::string(predicate)}}));
}

void exception_exception::raise_externalerror(const ClassInfo* ci, uint32_t errorCode,
                                              const NamedValueList* extra) {
  exception::raise(ci, &externalerror,
                   Prepend({{L"External error", value::unsigned_(errorCode)}}, extra));
}

void exception_exception::raise_notraceid(const ClassInfo* ci, uint32_t traceId) {
  exception::raise(ci, &notraceid, Values({{L"Trace identifier", value::unsigned_(traceId)}}));
}

void exception_exception::raise_nonlasttraceid(const ClassInfo* ci, uint32_t traceId) {
  exception::raise(ci, &nonlasttraceid,
                   Values({{L"Trace identifier", value::unsigned_(traceId)}}));
}

}  // namespace tav
