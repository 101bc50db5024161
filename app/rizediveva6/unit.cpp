// The library's static records.  Records are never const: linking writes
// their first words.  A class joins the library by adding its descriptor to
// `unit`.
#include "unit.h"

#include "KWI/orvtoolkwi/libox.h"
#include "SYSTEM/mychaindb/orvdb.h"
#include "SYSTEM/stringDB/stringdb.h"
#include "qel6decl.h"

namespace rizediveva6 {
namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;
using Qel::RunTime::RScopeClassDescriptor;

namespace classes {
extern RScopeClassDescriptor time_convert, mytime, string_brush_db, bt_class, orvDB;
extern RScopeClassDescriptor options_db, remember_files, stop;
extern RScopeClassDescriptor libox;
}

namespace domains {
RIntegralDomain year = decl::Unsigned({L"year", QEL_HERE, nullptr, &classes::mytime}, 1950, 2050);
RIntegralDomain month = decl::Unsigned({L"month", QEL_HERE, &year.head, &classes::mytime}, 1, 12);
RIntegralDomain day = decl::Unsigned({L"day", QEL_HERE, &month.head, &classes::mytime}, 1, 31);
RIntegralDomain hour = decl::Unsigned({L"hour", QEL_HERE, &day.head, &classes::mytime}, 0, 23);
RIntegralDomain minute =
    decl::Unsigned({L"minute", QEL_HERE, &hour.head, &classes::mytime}, 0, 59);
RIntegralDomain day_no =
    decl::Unsigned({L"day_no", QEL_HERE, &minute.head, &classes::mytime}, 1, 7);
RIntegralDomain start_day_dom =
    decl::Unsigned({L"start_day_dom", QEL_HERE, &day_no.head, &classes::mytime}, 0, 1);
RIntegralDomain bt_size =
    decl::Unsigned({L"bt_size", QEL_HERE, nullptr, &classes::bt_class}, 1, INT32_MAX);

// stringDB: brush(Style, Colour), str_br(Name, Brush) and its list; single
// functors, without a functor word.
decl::Arguments brushArgs{{QEL_ARG(::rizediveva6::brush, style, tav::domains::integer),
                           QEL_ARG(::rizediveva6::brush, colour, tav::domains::integer)}};
RFunctor brushFunctors[] = {decl::Functor<::rizediveva6::brush>(L"brush", brushArgs)};
RCompoundDomain brush = decl::Compound({L"brush", QEL_HERE, nullptr, &classes::string_brush_db},
                                       brushFunctors, kSingleCompound);
decl::Arguments strBrArgs{{QEL_ARG(::rizediveva6::str_br, name, tav::domains::string),
                           QEL_ARG(::rizediveva6::str_br, brush_, brush)}};
RFunctor strBrFunctors[] = {decl::Functor<::rizediveva6::str_br>(L"str_br", strBrArgs)};
RCompoundDomain str_br = decl::Compound({L"str_br", QEL_HERE, &brush.head, &classes::string_brush_db},
                                        strBrFunctors, kSingleCompound);
QEL_LIST(str_brs, str_br, const ::rizediveva6::str_br*,
         {L"str_brs", QEL_HERE, &str_br.head, &classes::string_brush_db});

// mychaindb: the document's description and the results of save and close,
// alternatives in their stored order.
RIntegralDomain backup = decl::Unsigned({L"backup", QEL_HERE, nullptr, &classes::orvDB}, 1001, 1003);
decl::Arguments fileDefFileArgs{{QEL_ARG(FileDefFile, name, tav::domains::string),
                                 QEL_ARG(FileDefFile, newFileFlag, tav::domains::boolean),
                                 QEL_ARG(FileDefFile, backup, backup)}};
decl::Arguments fileDefMemoryArgs{{QEL_ARG(FileDefMemory, name, tav::domains::string),
                                   QEL_ARG(FileDefMemory, backup, backup)}};
decl::Arguments fileDefVolatileArgs{{QEL_ARG(FileDefVolatile, name, tav::domains::string)}};
RFunctor fileDefFunctors[] = {decl::Functor<FileDefFile>(L"file_def", fileDefFileArgs),
                              decl::Functor<FileDefMemory>(L"memory", fileDefMemoryArgs),
                              decl::Functor<FileDefVolatile>(L"volatile", fileDefVolatileArgs),
                              decl::Constant(L"no_file")};
RCompoundDomain file_def =
    decl::Compound({L"file_def", QEL_HERE, &backup.head, &classes::orvDB}, fileDefFunctors);
decl::Arguments savedTextArgs{{QEL_ARG(::rizediveva6::saved_result, text, tav::domains::string)}};
RFunctor savedFunctors[] = {decl::Functor<::rizediveva6::saved_result>(L"saved", savedTextArgs),
                            decl::Constant(L"not_saved_cancelled"),
                            decl::Constant(L"not_saved_forget"),
                            decl::Functor<::rizediveva6::saved_result>(L"not_saved_error", savedTextArgs),
                            decl::Constant(L"not_saved_unknown"),
                            decl::Constant(L"not_saved_closed"),
                            decl::Constant(L"no_need_to_save")};
RCompoundDomain saved_result =
    decl::Compound({L"saved_result", QEL_HERE, &file_def.head, &classes::orvDB}, savedFunctors);
struct ClosedSaved {
  uint64_t functor;
  const ::rizediveva6::saved_result* result;
};
struct ClosedCode {
  uint64_t functor;
  const wchar_t* code;
};
decl::Arguments closedArgs{{QEL_ARG(ClosedSaved, result, saved_result)}};
decl::Arguments notClosedArgs{{QEL_ARG(ClosedCode, code, tav::domains::string)}};
RFunctor closedFunctors[] = {decl::Functor<ClosedSaved>(L"closed", closedArgs),
                             decl::Functor<ClosedCode>(L"not_closed_error", notClosedArgs),
                             decl::Constant(L"already_closed")};
RCompoundDomain closed_result =
    decl::Compound({L"closed_result", QEL_HERE, &saved_result.head, &classes::orvDB}, closedFunctors);

// orvtoolkwi: the list box line in its stored alternatives.
using ::rizediveva6::line_image;
using ::rizediveva6::line_no_image;
decl::Arguments lineArgs{{QEL_ARG(line_image, ref, tav::domains::integer),
                          QEL_ARG(line_image, cells, tav::domains::string_list),
                          QEL_ARG(line_image, colour, tav::domains::integer),
                          QEL_ARG(line_image, second, tav::domains::integer)}};
decl::Arguments lineNoArgs{{QEL_ARG(line_no_image, cells, tav::domains::string_list),
                            QEL_ARG(line_no_image, colour, tav::domains::integer),
                            QEL_ARG(line_no_image, second, tav::domains::integer)}};
RFunctor lineFunctors[] = {decl::Functor<line_image>(L"line", lineArgs),
                           decl::Functor<line_no_image>(L"line_no", lineNoArgs)};
RCompoundDomain line = decl::Compound({L"line", QEL_HERE, nullptr, &classes::libox}, lineFunctors);
}  // namespace domains

namespace classes {
RScopeClassDescriptor time_convert = decl::Class(L"time_convert", QEL_HERE);
RScopeClassDescriptor mytime = decl::Class(L"mytime", QEL_HERE, &domains::start_day_dom.head);
RScopeClassDescriptor string_brush_db =
    decl::Class(L"string_brush_db", QEL_HERE, &domains::str_brs.head);
RScopeClassDescriptor bt_class = decl::Class(L"bt_class", QEL_HERE, &domains::bt_size.head);
RScopeClassDescriptor orvDB = decl::Class(L"orvDB", QEL_HERE, &domains::closed_result.head);
RScopeClassDescriptor libox = decl::Class(L"libox", QEL_HERE, &domains::line.head);
decl::UnitTable unit{&time_convert, &mytime, &string_brush_db, &bt_class, &orvDB,
                      &options_db, &remember_files, &stop, &libox};
}  // namespace classes

void CheckRange(RIntegralDomain& domain, int64_t v) {
  if (v >= domain.low && v <= domain.high) return;  // the common case, without a call
  const auto* d = reinterpret_cast<const TIntegralDomainDefinition*>(&domain);
  if (v >= 0 && v <= UINT32_MAX) return Check_UU_Range(d, static_cast<uint32_t>(v));
  // Negative or beyond 32 bits: no unsigned domain holds it; the check of
  // the value (or of -1 when it has no 32-bit form) raises.
  Check_UI_Range(d, v < 0 && v >= INT32_MIN ? static_cast<int32_t>(v) : -1);
}

void RaiseRangeError() {
  Check_UI_Range(reinterpret_cast<const TIntegralDomainDefinition*>(&tav::domains::unsigned_), -1);
  __builtin_unreachable();
}

const RScopeClassDescriptor* const* UnitTable() { return classes::unit.Table(); }

int InitializeUnit() {
  static int result = [] {
    int r = tav::InitializeUnit();
    if (r || tav::UnitLinked(UnitTable())) return r;
    return Qel::RunTime::RunUnitInitialization(
        nullptr, reinterpret_cast<void*>(&InitializeUnit), classes::unit.Table(), nullptr);
  }();
  return result;
}

}  // namespace rizediveva6
