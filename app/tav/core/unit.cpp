// The library's static records: the domain records of each class and the unit
// table that links them.  Records are never const: linking writes their first
// words.  A class joins the library by adding its descriptor to `unit`.
#include "core/core.h"
#include "exception/exception.h"
#include "memory/memory.h"
#include "math/math.h"
#include "binary/binary.h"
#include "programControl/programControl.h"
#include "stream/stream.h"
#include "string/string.h"
#include "string8/string8.h"
#include "fileSystem/directory.h"
#include "fileSystem/file.h"
#include "fileSystem/fileSystem_api.h"

namespace tav {
namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;

namespace classes {
extern RScopeClassDescriptor core, memory, bit, programControl, exception, binary, stream,
    inputStream_string, outputStream_string, inputStream_binary, outputStream_binary;
extern RScopeClassDescriptor math, inputStream_file, outputStream_file, fileSystem_api, file,
    directory;
extern RScopeClassDescriptor kwiDialog;
}

namespace domains {

// --- core: basic domains, value and namedvalue ---
RIntegralDomain integer = decl::Integer({L"integer", QEL_HERE, nullptr, &classes::core});
RIntegralDomain unsigned_ = decl::Unsigned({L"unsigned", QEL_HERE, &integer.head, &classes::core});
RIntegralDomain unsigned8 =
    decl::Unsigned({L"unsigned8", QEL_HERE, &unsigned_.head, &classes::core}, 0, 255);
RIntegralDomain unsigned16 =
    decl::Unsigned({L"unsigned16", QEL_HERE, &unsigned8.head, &classes::core}, 0, 65535);
RIntegralDomain unsigned32 =
    decl::Unsigned({L"unsigned32", QEL_HERE, &unsigned16.head, &classes::core});
RIntegral64Domain integer64 =
    decl::Integer64({L"integer64", QEL_HERE, &unsigned32.head, &classes::core});
RIntegral64Domain unsigned64 =
    decl::Unsigned64({L"unsigned64", QEL_HERE, &integer64.head, &classes::core});
RRealDomain real = decl::Real({L"real", QEL_HERE, &unsigned64.head, &classes::core});
RDomainRecord char_ = decl::Simple(kChar, {L"char", QEL_HERE, &real.head, &classes::core});
RDomainRecord string = decl::Simple(kString, {L"string", QEL_HERE, &char_, &classes::core});
RDomainRecord binary = decl::Simple(kBinary, {L"binary", QEL_HERE, &string, &classes::core});
RDomainRecord pointer = decl::Simple(kPointer, {L"pointer", QEL_HERE, &binary, &classes::core});
RDomainRecord object = decl::Simple(kObject, {L"object", QEL_HERE, &pointer, &classes::core});

RFunctor booleanFunctors[] = {decl::Constant(L"false"), decl::Constant(L"true")};
RCompoundDomain boolean =
    decl::Compound({L"boolean", QEL_HERE, &object, &classes::core}, booleanFunctors);

// One struct per alternative, for the offsets; all share ValueTerm's layout.
struct VBoolean { uint64_t functor; const BooleanTerm* v; };
struct VU64 { uint64_t functor; uint64_t v; };
struct VI64 { uint64_t functor; int64_t v; };
struct VU32 { uint64_t functor; uint32_t v; };
struct VI32 { uint64_t functor; int32_t v; };
struct VReal { uint64_t functor; double v; };
struct VChar { uint64_t functor; uint16_t v; };
struct VText { uint64_t functor; const wchar_t* v; };
struct VBinary { uint64_t functor; const uint8_t* v; };
struct VPtr { uint64_t functor; void* v; };
static_assert(sizeof(VChar) == sizeof(ValueTerm) && sizeof(VU32) == sizeof(ValueTerm));

decl::Arguments vBooleanArgs{{QEL_ARG(VBoolean, v, boolean)}};
decl::Arguments vU64Args{{QEL_ARG(VU64, v, unsigned64)}};
decl::Arguments vI64Args{{QEL_ARG(VI64, v, integer64)}};
decl::Arguments vU32Args{{QEL_ARG(VU32, v, unsigned_)}};
decl::Arguments vI32Args{{QEL_ARG(VI32, v, integer)}};
decl::Arguments vRealArgs{{QEL_ARG(VReal, v, real)}};
decl::Arguments vCharArgs{{QEL_ARG(VChar, v, char_)}};
decl::Arguments vStringArgs{{QEL_ARG(VText, v, string)}};
decl::Arguments vBinaryArgs{{QEL_ARG(VBinary, v, binary)}};
decl::Arguments vObjectArgs{{QEL_ARG(VPtr, v, object)}};
decl::Arguments vPointerArgs{{QEL_ARG(VPtr, v, pointer)}};
RFunctor valueFunctors[] = {
    decl::Constant(L"none"),
    decl::Functor<VBoolean>(L"boolean", vBooleanArgs),
    decl::Functor<VU64>(L"unsigned64", vU64Args),
    decl::Functor<VI64>(L"integer64", vI64Args),
    decl::Functor<VU32>(L"unsigned", vU32Args),
    decl::Functor<VI32>(L"integer", vI32Args),
    decl::Functor<VReal>(L"real", vRealArgs),
    decl::Functor<VChar>(L"char", vCharArgs),
    decl::Functor<VText>(L"string", vStringArgs),
    decl::Functor<VBinary>(L"binary", vBinaryArgs),
    decl::Functor<VPtr>(L"object", vObjectArgs),
    decl::Functor<VU64>(L"gmttimevalue", vU64Args),
    decl::Functor<VPtr>(L"pointer", vPointerArgs),
};
RCompoundDomain value = decl::Compound({L"value", QEL_HERE, &boolean.head, &classes::core},
                                       valueFunctors);

decl::Arguments namedvalueArgs{
    {QEL_ARG(NamedValue, name, string), QEL_ARG(NamedValue, value, value)}};
RFunctor namedvalueFunctors[] = {decl::Functor<NamedValue>(L"namedvalue", namedvalueArgs)};
RCompoundDomain namedvalue =
    decl::Compound({L"namedvalue", QEL_HERE, &value.head, &classes::core}, namedvalueFunctors);

QEL_LIST(namedvalue_list, namedvalue, const NamedValue*,
         {L"namedvalue_list", QEL_HERE, &namedvalue.head, &classes::core});
static_assert(sizeof(namedvalue_list_cons) == sizeof(NamedValueList));
QEL_LIST(string_list, string, const wchar_t*,
         {L"string_list", QEL_HERE, &namedvalue_list.head, &classes::core});
static_assert(sizeof(string_list_cons) == sizeof(StringList));

// --- core: the code page ---
decl::Arguments codepageArgs{{QEL_ARG(::tav::codepage, number, unsigned_)}};
RFunctor codepageFunctors[] = {decl::Constant(L"ansi"), decl::Constant(L"oem"),
                               decl::Functor<::tav::codepage>(L"codepage", codepageArgs)};
RCompoundDomain codepage_ =
    decl::Compound({L"codepage", QEL_HERE, &string_list.head, &classes::core}, codepageFunctors);

// --- memory, bit ---
RIntegralDomain sizeterm =
    decl::Unsigned({L"sizeterm", QEL_HERE, nullptr, &classes::memory}, 0, memory::maxSize);
RIntegralDomain unsigned4 = decl::Unsigned({L"unsigned4", QEL_HERE, nullptr, &classes::bit}, 0, 15);
RIntegralDomain binarysize = decl::Unsigned({L"binarysize", QEL_HERE, nullptr, &classes::binary});

// --- stream: the mode domain ---
decl::Arguments ansiArgs{{QEL_ARG(ModeTerm, codePage, codepage_)}};
RFunctor modeFunctors[] = {decl::Constant(L"unicode"), decl::Functor<ModeTerm>(L"ansi", ansiArgs),
                           decl::Constant(L"binary")};
RCompoundDomain mode = decl::Compound({L"mode", QEL_HERE, nullptr, &classes::stream}, modeFunctors);

// The stream objects' buffer facts, named by the error 329 after close.
struct BufferFact {
  uint64_t functor;
  void* buffer;
};
decl::Arguments bufferFactArgs{{QEL_ARG(BufferFact, buffer, pointer)}};
DBInternal::RFactDescriptor bufferFact[] = {
    {L"buffersource", bufferFactArgs.a, 1, sizeof(BufferFact), 0, 1, 0, 0}};
DBInternal::RFactDescriptor binaryBufferFact[] = {
    {L"buffer", bufferFactArgs.a, 1, sizeof(BufferFact), 0, 1, 0, 0}};
DBInternal::RFactHead streamHeads[4][1];
#define TAV_STREAM_FACTS(var, cls, table, i)                                                  \
  DBInternal::RFactDatabase var{                                                              \
      decl::Head(kClassFacts, sizeof(DBInternal::RFactDatabase),                              \
                 {L## #cls, QEL_HERE, nullptr, &classes::cls}),                               \
      1, table, 0, reinterpret_cast<uintptr_t>(streamHeads[i])}
TAV_STREAM_FACTS(inputStream_string_facts, inputStream_string, bufferFact, 0);
TAV_STREAM_FACTS(outputStream_string_facts, outputStream_string, bufferFact, 1);
TAV_STREAM_FACTS(inputStream_binary_facts, inputStream_binary, binaryBufferFact, 2);
TAV_STREAM_FACTS(outputStream_binary_facts, outputStream_binary, binaryBufferFact, 3);
#undef TAV_STREAM_FACTS

// --- programControl ---
decl::Arguments cursorArgs{{QEL_ARG(CursorTerm, fileName, string), QEL_ARG(CursorTerm, line, unsigned_),
                            QEL_ARG(CursorTerm, column, unsigned_)}};
RFunctor cursorFunctors[] = {decl::Functor<CursorTerm>(L"cursor", cursorArgs)};
RCompoundDomain cursor =
    decl::Compound({L"cursor", QEL_HERE, nullptr, &classes::programControl}, cursorFunctors);
decl::Arguments packedcursorArgs{
    {QEL_ARG(PackedCursorTerm, packed, unsigned_), QEL_ARG(PackedCursorTerm, fileName, string)}};
RFunctor packedcursorFunctors[] = {
    decl::Functor<PackedCursorTerm>(L"packedcursor", packedcursorArgs)};
RCompoundDomain packedcursor = decl::Compound(
    {L"packedcursor", QEL_HERE, &cursor.head, &classes::programControl}, packedcursorFunctors);

// --- exception: the trace entry ---
RFunctor kindFunctors[] = {decl::Constant(L"raised"), decl::Constant(L"continued")};
RCompoundDomain kind = decl::Compound({L"kind", QEL_HERE, nullptr, &classes::exception}, kindFunctors);
decl::Arguments traceEntryArgs{{
    QEL_ARG(TraceEntry, traceId, unsigned_), QEL_ARG(TraceEntry, classInfo, pointer),
    QEL_ARG(TraceEntry, exception, pointer), QEL_ARG(TraceEntry, kind, kind),
    QEL_ARG(TraceEntry, extraInfo, namedvalue_list), QEL_ARG(TraceEntry, cursor, cursor),
    QEL_ARG(TraceEntry, dateTime, string), QEL_ARG(TraceEntry, description, string)}};
RFunctor traceEntryFunctors[] = {decl::Functor<TraceEntry>(L"descriptor", traceEntryArgs)};
RCompoundDomain traceEntry = decl::Compound(
    {L"descriptor", QEL_HERE, &kind.head, &classes::exception}, traceEntryFunctors);

// --- fileSystem: the file streams' handle facts, named by the error 329 after close ---
struct HandleFact {
  uint64_t functor;
  void* handle;
};
decl::Arguments handleFactArgs{{QEL_ARG(HandleFact, handle, pointer)}};
DBInternal::RFactDescriptor handleFact[] = {
    {L"filehandle", handleFactArgs.a, 1, sizeof(HandleFact), 0, 1, 0, 0}};
DBInternal::RFactHead fileStreamHeads[2][1];
DBInternal::RFactDatabase inputStream_file_facts{
    decl::Head(kClassFacts, sizeof(DBInternal::RFactDatabase),
               {L"inputStream_file", QEL_HERE, nullptr, &classes::inputStream_file}),
    1, handleFact, 0, reinterpret_cast<uintptr_t>(fileStreamHeads[0])};
DBInternal::RFactDatabase outputStream_file_facts{
    decl::Head(kClassFacts, sizeof(DBInternal::RFactDatabase),
               {L"outputStream_file", QEL_HERE, nullptr, &classes::outputStream_file}),
    1, handleFact, 0, reinterpret_cast<uintptr_t>(fileStreamHeads[1])};

// --- fileSystem_api, file, directory: domains of constants ---
RFunctor attributeFunctors[] = {decl::Constant(L"readonly"),  decl::Constant(L"system"),
                                decl::Constant(L"hidden"),    decl::Constant(L"archive"),
                                decl::Constant(L"compressed"), decl::Constant(L"encrypted"),
                                decl::Constant(L"temporary"), decl::Constant(L"offline")};
RCompoundDomain fileattributeatom = decl::Compound(
    {L"fileattributeatom", QEL_HERE, nullptr, &classes::fileSystem_api}, attributeFunctors);
QEL_LIST(fileattributes, fileattributeatom, const ConstantTerm*,
         {L"fileattributes", QEL_HERE, &fileattributeatom.head, &classes::fileSystem_api});
static_assert(sizeof(fileattributes_cons) == sizeof(AttributeList));
RFunctor accesspermitFunctors[] = {decl::Constant(L"permitread"), decl::Constant(L"permitwrite"),
                                   decl::Constant(L"permitreadwrite"),
                                   decl::Constant(L"permitnone")};
RCompoundDomain accesspermit = decl::Compound(
    {L"accesspermit", QEL_HERE, &fileattributes.head, &classes::fileSystem_api},
    accesspermitFunctors);
RFunctor overwriteFunctors[] = {decl::Constant(L"overwrite"), decl::Constant(L"skip"),
                                decl::Constant(L"append"), decl::Constant(L"errorifexist")};
RCompoundDomain overwrite =
    decl::Compound({L"overwrite", QEL_HERE, nullptr, &classes::file}, overwriteFunctors);
RFunctor volumetypeFunctors[] = {decl::Constant(L"fixed"), decl::Constant(L"removable"),
                                 decl::Constant(L"cdrom"), decl::Constant(L"ram"),
                                 decl::Constant(L"remote"), decl::Constant(L"unknown")};
RCompoundDomain volumetype =
    decl::Compound({L"volumetype", QEL_HERE, nullptr, &classes::directory}, volumetypeFunctors);

// --- math: the bounded real domains ---
RRealDomain ureal = decl::Real({L"ureal", QEL_HERE, nullptr, &classes::math}, 0.0, DBL_MAX);
RRealDomain incircle =
    decl::Real({L"incircle", QEL_HERE, &ureal.head, &classes::math}, -1.0, 1.0);

}  // namespace domains

namespace classes {
RScopeClassDescriptor core = decl::Class(L"core", QEL_HERE, &domains::codepage_.head);
RScopeClassDescriptor memory = decl::Class(L"memory", QEL_HERE, &domains::sizeterm.head);
RScopeClassDescriptor bit = decl::Class(L"bit", QEL_HERE, &domains::unsigned4.head);
RScopeClassDescriptor programControl =
    decl::Class(L"programControl", QEL_HERE, &domains::packedcursor.head);
RScopeClassDescriptor exception = decl::Class(L"exception", QEL_HERE, &domains::traceEntry.head);
RScopeClassDescriptor binary = decl::Class(L"binary", QEL_HERE, &domains::binarysize.head);
RScopeClassDescriptor stream = decl::Class(L"stream", QEL_HERE, &domains::mode.head);
#define TAV_STREAM_CLASS(cls) \
  RScopeClassDescriptor cls = decl::Class(L## #cls, QEL_HERE, &domains::cls##_facts.head)
TAV_STREAM_CLASS(inputStream_string);
TAV_STREAM_CLASS(outputStream_string);
TAV_STREAM_CLASS(inputStream_binary);
TAV_STREAM_CLASS(outputStream_binary);
#undef TAV_STREAM_CLASS
RScopeClassDescriptor math = decl::Class(L"math", QEL_HERE, &domains::incircle.head);
RScopeClassDescriptor inputStream_file =
    decl::Class(L"inputStream_file", QEL_HERE, &domains::inputStream_file_facts.head);
RScopeClassDescriptor outputStream_file =
    decl::Class(L"outputStream_file", QEL_HERE, &domains::outputStream_file_facts.head);
RScopeClassDescriptor fileSystem_api =
    decl::Class(L"fileSystem_api", QEL_HERE, &domains::accesspermit.head);
RScopeClassDescriptor file = decl::Class(L"file", QEL_HERE, &domains::overwrite.head);
RScopeClassDescriptor directory = decl::Class(L"directory", QEL_HERE, &domains::volumetype.head);
decl::UnitTable unit{&core,   &memory,           &bit,
                     &programControl, &exception, &binary,
                     &stream, &inputStream_string, &outputStream_string,
                     &inputStream_binary, &outputStream_binary,
                     &math, &inputStream_file, &outputStream_file,
                     &fileSystem_api, &file, &directory,
                     &kwiDialog};
}  // namespace classes

const RScopeClassDescriptor* const* UnitTable() { return classes::unit.Table(); }

bool UnitLinked(const RScopeClassDescriptor* const* table) {
  constexpr uintptr_t kLastKindCode = 100;
  for (const RScopeClassDescriptor* const* p = table + 1; reinterpret_cast<intptr_t>(*p) != -2; ++p)
    if (*p && (*p)->kind < kLastKindCode) return false;
  return true;
}

int InitializeUnit() {
  static int result = UnitLinked(UnitTable())
                          ? 0
                          : Qel::RunTime::RunUnitInitialization(
                                nullptr, reinterpret_cast<void*>(&InitializeUnit), UnitTable(), nullptr);
  return result;
}

}  // namespace tav
