// The command tree's domain records (cs_help_dom, do_delete_selected,
// update_scope, engine_mode) and its class descriptor, linked with the
// roster model's unit.  Records are never const: linking writes their
// first words.
#include "commandtree/comtree.h"
#include "qel6decl.h"

namespace all {

namespace decl = Qel::RunTime::Decl;
using Qel::RunTime::RScopeClassDescriptor;

// --- Domain records ------------------------------------------------------------------

namespace classes {
extern RScopeClassDescriptor comtree;
}
#define AT(name, prev) {L## #name, QEL_HERE, prev, &classes::comtree}
namespace comtree_domains {
namespace T = Qel::RunTime::Terms;
namespace tv = tav::domains;
struct MenItem {
  uint64_t functor;
  int32_t id;
};
decl::Arguments csHelpArgs{{QEL_ARG(::all::cs_help_dom, text, tv::string), QEL_ARG(::all::cs_help_dom, number, tv::integer)}};
T::RFunctor csHelpFunctors[] = {decl::Functor<::all::cs_help_dom>(L"cs_help_dom", csHelpArgs)};
T::RCompoundDomain cs_help_dom = decl::Compound(AT(cs_help_dom, nullptr), csHelpFunctors);
decl::Arguments menItemArgs{{QEL_ARG(MenItem, id, tv::integer)}};
T::RFunctor deleteFunctors[] = {decl::Constant(L"do_del"), decl::Constant(L"dont_del"),
                                decl::Functor<MenItem>(L"men_item", menItemArgs)};
T::RCompoundDomain do_delete_selected = decl::Compound(AT(do_delete_selected, &cs_help_dom.head), deleteFunctors);
T::RFunctor scopeFunctors[] = {decl::Constant(L"calendar_only"), decl::Constant(L"all_views")};
T::RCompoundDomain update_scope = decl::Compound(AT(update_scope, &do_delete_selected.head), scopeFunctors);
T::RFunctor modeFunctors[] = {decl::Constant(L"run"), decl::Constant(L"force_fill")};
T::RCompoundDomain engine_mode = decl::Compound(AT(engine_mode, &update_scope.head), modeFunctors);
}  // namespace comtree_domains
#undef AT
namespace classes {
RScopeClassDescriptor comtree = decl::Class(L"comtree", QEL_HERE, &comtree_domains::engine_mode.head);
}

}  // namespace all
