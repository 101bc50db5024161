// The domain records of kwiDialog's description types and its class
// descriptor (linked through the library's unit table).  Alternatives are
// numbered in declaration order; argument offsets come from the structs of
// kwiDialog.h, so the runtime's text form, comparison and copies read the
// same blocks the C++ code builds.
#include "kwi/kwiDialog/kwiDialog.h"

#include "qel6decl.h"

namespace tav {
namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;
using namespace dlg;

namespace classes {
extern RScopeClassDescriptor kwiDialog;
}

namespace domains {

#define KD_WHERE(name, next) \
  { L## #name, QEL_HERE, next, &classes::kwiDialog }

RIntegralDomain integer32 = decl::Integer(KD_WHERE(integer32, nullptr));
QEL_LIST(integer_list, integer, intptr_t, KD_WHERE(integer_list, &integer32.head));
QEL_LIST(controlid_list, integer, intptr_t, KD_WHERE(controlid_list, &integer_list.head));
static_assert(sizeof(integer_list_cons) == sizeof(IntList));

// dint, dlong, dreal
decl::Arguments optIntArgs{{QEL_ARG(OptInt, value, integer)}};
decl::Arguments optLongArgs{{QEL_ARG(OptInt, value, integer32)}};
decl::Arguments optRealArgs{{QEL_ARG(OptReal, value, real)}};
RFunctor dintFunctors[] = {decl::Constant(L"void"), decl::Functor<OptInt>(L"i", optIntArgs)};
RFunctor dlongFunctors[] = {decl::Constant(L"void"), decl::Functor<OptInt>(L"l", optLongArgs)};
RFunctor drealFunctors[] = {decl::Constant(L"void"), decl::Functor<OptReal>(L"r", optRealArgs)};
RCompoundDomain dint = decl::Compound(KD_WHERE(dint, &controlid_list.head), dintFunctors);
RCompoundDomain dlong = decl::Compound(KD_WHERE(dlong, &dint.head), dlongFunctors);
RCompoundDomain dreal = decl::Compound(KD_WHERE(dreal, &dlong.head), drealFunctors);

// Property lists
decl::Arguments propIntArgs{{QEL_ARG(PropInt, a, integer)}};
decl::Arguments propIntPairArgs{{QEL_ARG(PropInt, a, integer), QEL_ARG(PropInt, b, integer)}};
decl::Arguments propLongArgs{{QEL_ARG(PropInt, a, integer32)}};
decl::Arguments propLongPairArgs{
    {QEL_ARG(PropInt, a, integer32), QEL_ARG(PropInt, b, integer32)}};
decl::Arguments propRealArgs{{QEL_ARG(PropReal, a, real)}};
decl::Arguments propRealPairArgs{{QEL_ARG(PropReal, a, real), QEL_ARG(PropReal, b, real)}};
decl::Arguments propUnsignedArgs{{QEL_ARG(PropInt, a, unsigned_)}};
decl::Arguments propTextArgs{{QEL_ARG(PropText, text, string)}};

RFunctor strPropFunctors[] = {decl::Constant(L"mandatory"),
                              decl::Functor<PropInt>(L"length", propIntArgs),
                              decl::Functor<PropText>(L"default", propTextArgs),
                              decl::Constant(L"upper"), decl::Constant(L"lower")};
RCompoundDomain str_prop = decl::Compound(KD_WHERE(str_prop, &dreal.head), strPropFunctors);
QEL_LIST(str_props, str_prop, const Tagged*, KD_WHERE(str_props, &str_prop.head));

#define KD_NUMERIC(args, pairArgs, S)                                                  \
  {                                                                                    \
    decl::Constant(L"mandatory"), decl::Functor<S>(L"default", args),                  \
        decl::Functor<S>(L"range", pairArgs), decl::Functor<S>(L"minimum", args),      \
        decl::Functor<S>(L"maximum", args)                                             \
  }
RFunctor intPropFunctors[] = KD_NUMERIC(propIntArgs, propIntPairArgs, PropInt);
RFunctor longPropFunctors[] = KD_NUMERIC(propLongArgs, propLongPairArgs, PropInt);
RFunctor realPropFunctors[] = {decl::Constant(L"mandatory"),
                               decl::Functor<PropReal>(L"default", propRealArgs),
                               decl::Functor<PropReal>(L"range", propRealPairArgs),
                               decl::Functor<PropReal>(L"minimum", propRealArgs),
                               decl::Functor<PropReal>(L"maximum", propRealArgs),
                               decl::Functor<PropInt>(L"decimals", propUnsignedArgs)};
#undef KD_NUMERIC
RCompoundDomain int_prop = decl::Compound(KD_WHERE(int_prop, &str_props.head), intPropFunctors);
QEL_LIST(int_props, int_prop, const Tagged*, KD_WHERE(int_props, &int_prop.head));
RCompoundDomain long_prop =
    decl::Compound(KD_WHERE(long_prop, &int_props.head), longPropFunctors);
QEL_LIST(long_props, long_prop, const Tagged*, KD_WHERE(long_props, &long_prop.head));
RCompoundDomain real_prop =
    decl::Compound(KD_WHERE(real_prop, &long_props.head), realPropFunctors);
QEL_LIST(real_props, real_prop, const Tagged*, KD_WHERE(real_props, &real_prop.head));

// errorprompt
decl::Arguments promptTextArgs{{QEL_ARG(PromptText, text, string)}};
decl::Arguments promptIdArgs{{QEL_ARG(PromptId, id, integer)}};
RFunctor promptFunctors[] = {decl::Functor<PromptText>(L"own_prompt", promptTextArgs),
                             decl::Functor<PromptId>(L"dlg_prompt", promptIdArgs),
                             decl::Functor<PromptText>(L"str_prompt", promptTextArgs),
                             decl::Constant(L"nopr")};
RCompoundDomain errorprompt =
    decl::Compound(KD_WHERE(errorprompt, &real_props.head), promptFunctors);

// item and item_val
decl::Arguments kIntArgs{{QEL_ARG(KInt, value, integer)}};
decl::Arguments kTextArgs{{QEL_ARG(KText, text, string)}};
decl::Arguments kRadiosArgs{{QEL_ARG(KRadios, ids, controlid_list)}};
decl::Arguments kEditStrArgs{{QEL_ARG(KEditStr, text, string), QEL_ARG(KEditStr, props, str_props)}};
decl::Arguments kEditIntArgs{{QEL_ARG(KEditNum, value, dint), QEL_ARG(KEditNum, props, int_props)}};
decl::Arguments kEditLongArgs{
    {QEL_ARG(KEditNum, value, dlong), QEL_ARG(KEditNum, props, long_props)}};
decl::Arguments kEditRealArgs{
    {QEL_ARG(KEditNum, value, dreal), QEL_ARG(KEditNum, props, real_props)}};
decl::Arguments kListBoxArgs{
    {QEL_ARG(KListBox, items, string_list), QEL_ARG(KListBox, indexes, integer_list)}};
decl::Arguments kListButtonArgs{
    {QEL_ARG(KListButton, items, string_list), QEL_ARG(KListButton, index, integer)}};
decl::Arguments kListEditArgs{
    {QEL_ARG(KListEdit, items, string_list), QEL_ARG(KListEdit, text, string)}};
decl::Arguments kScrollArgs{{QEL_ARG(KScroll, line, integer), QEL_ARG(KScroll, page, integer),
                             QEL_ARG(KScroll, minimum, integer), QEL_ARG(KScroll, maximum, integer),
                             QEL_ARG(KScroll, position, integer)}};
decl::Arguments kCustomArgs{{QEL_ARG(KCustom, text, string), QEL_ARG(KCustom, value, integer32)}};
RFunctor itemFunctors[] = {
    decl::Functor<KInt>(L"checkbox", kIntArgs),
    decl::Functor<KRadios>(L"radiobuttongroup", kRadiosArgs),
    decl::Functor<KText>(L"pushbutton", kTextArgs),
    decl::Functor<KEditStr>(L"editstr", kEditStrArgs),
    decl::Functor<KEditNum>(L"editint", kEditIntArgs),
    decl::Functor<KEditNum>(L"editlong", kEditLongArgs),
    decl::Functor<KEditNum>(L"editreal", kEditRealArgs),
    decl::Functor<KText>(L"statictext", kTextArgs),
    decl::Functor<KListBox>(L"listbox", kListBoxArgs),
    decl::Functor<KListButton>(L"listbutton", kListButtonArgs),
    decl::Functor<KListEdit>(L"listedit", kListEditArgs),
    decl::Functor<KScroll>(L"scrollbar", kScrollArgs),
    decl::Functor<KCustom>(L"custom", kCustomArgs),
    decl::Functor<KText>(L"datafield", kTextArgs),
};
RCompoundDomain item = decl::Compound(KD_WHERE(item, &errorprompt.head), itemFunctors);

decl::Arguments vIntOptArgs{{QEL_ARG(KOpt, value, dint)}};
decl::Arguments vLongOptArgs{{QEL_ARG(KOpt, value, dlong)}};
decl::Arguments vRealOptArgs{{QEL_ARG(KOpt, value, dreal)}};
decl::Arguments vListButtonArgs{
    {QEL_ARG(KListButtonVal, text, string), QEL_ARG(KListButtonVal, index, integer)}};
decl::Arguments vAllListArgs{{QEL_ARG(KAllList, items, string_list)}};
RFunctor itemValFunctors[] = {
    decl::Functor<KInt>(L"checkbox", kIntArgs),
    decl::Functor<KInt>(L"radiobuttongroup", kIntArgs),
    decl::Functor<KText>(L"pushbutton", kTextArgs),
    decl::Functor<KText>(L"editstr", kTextArgs),
    decl::Functor<KOpt>(L"editint", vIntOptArgs),
    decl::Functor<KOpt>(L"editlong", vLongOptArgs),
    decl::Functor<KOpt>(L"editreal", vRealOptArgs),
    decl::Functor<KText>(L"statictext", kTextArgs),
    decl::Functor<KListBox>(L"listbox", kListBoxArgs),
    decl::Functor<KListButtonVal>(L"listbutton", vListButtonArgs),
    decl::Functor<KText>(L"listedit", kTextArgs),
    decl::Functor<KInt>(L"scrollbar", kIntArgs),
    decl::Functor<KCustom>(L"custom", kCustomArgs),
    decl::Functor<KText>(L"datafield", kTextArgs),
    decl::Functor<KAllList>(L"alllist", vAllListArgs),
};
RCompoundDomain item_val = decl::Compound(KD_WHERE(item_val, &item.head), itemValFunctors);

// field, val and their lists; enable
decl::Arguments fieldArgs{{QEL_ARG(Field, id, integer), QEL_ARG(Field, item, item),
                           QEL_ARG(Field, prompt, errorprompt)}};
RFunctor fieldFunctors[] = {decl::Functor<Field>(L"df", fieldArgs)};
RCompoundDomain field = decl::Compound(KD_WHERE(field, &item_val.head), fieldFunctors);
QEL_LIST(field_list, field, const Field*, KD_WHERE(field_list, &field.head));
static_assert(sizeof(field_list_cons) == sizeof(FieldList));

decl::Arguments valArgs{{QEL_ARG(Val, id, integer), QEL_ARG(Val, value, item_val)}};
RFunctor valFunctors[] = {decl::Functor<Val>(L"dv", valArgs)};
RCompoundDomain val = decl::Compound(KD_WHERE(val, &field_list.head), valFunctors);
QEL_LIST(val_list, val, const Val*, KD_WHERE(val_list, &val.head));
static_assert(sizeof(val_list_cons) == sizeof(ValList));

decl::Arguments enableArgs{{QEL_ARG(Enable, id, integer), QEL_ARG(Enable, flag, integer)}};
RFunctor enableFunctors[] = {decl::Functor<Enable>(L"enable", enableArgs),
                             decl::Functor<Enable>(L"show", enableArgs)};
RCompoundDomain enable = decl::Compound(KD_WHERE(enable, &val_list.head), enableFunctors);
QEL_LIST(enable_list, enable, const Enable*, KD_WHERE(enable_list, &enable.head));

#undef KD_WHERE
}  // namespace domains

namespace classes {
RScopeClassDescriptor kwiDialog = decl::Class(L"kwiDialog", QEL_HERE, &domains::enable_list.head);
}

}  // namespace tav
