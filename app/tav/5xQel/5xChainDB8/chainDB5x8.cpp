#include "5xQel/5xChainDB8/chainDB5x8.h"

#include "chainDB/chainDb.h"

namespace tav {

const ClassInfo chainDB5x8::classInfo{L"com/corvane/5xChainDB/chianDB8/chainDB8", TAV_CLASS_VERSION};

bool chainDB5x8::key_search(db_selector db, int32_t selector, const wchar_t* key, int32_t* ref) {
  return K::Succeeds([&] { ::chainDB8::QEL_DB8_KeySearch_o(reinterpret_cast<const uint8_t*>(&db), selector, key, ref); });
}
bool chainDB5x8::key_search(db_selector db, int32_t selector, const wchar_t* key, int32_t ref) {
  return K::Succeeds([&] { ::chainDB8::QEL_DB8_KeySearch_i(reinterpret_cast<const uint8_t*>(&db), selector, key, ref); });
}
uint32_t chainDB5x8::codepage_id(codepage cp) {
  return cp.kind == codepage::ansi ? 0 : cp.kind == codepage::oem ? 1 : cp.n;
}
codepage chainDB5x8::codepage_of(uint32_t id) {
  if (id == 0) return {codepage::ansi, 0};
  if (id == 1) return {codepage::oem, 0};
  return {codepage::number, id};
}
void chainDB5x8::setcodepage(codepage cp) { ::chainDB8::QEL_DB8_SetCodePage(codepage_id(cp)); }
codepage chainDB5x8::getcodepage() { return codepage_of(::chainDB8::QEL_DB8_GetCodePage()); }
const wchar_t* chainDB5x8::str_ref(int32_t ref) { return chainDB::str_ref(ref); }
bool chainDB5x8::str_ref(const wchar_t* text, int32_t ref) { return chainDB::str_ref(text, ref); }
bool chainDB5x8::str_ref(const wchar_t* text, int32_t* ref) { return chainDB::str_ref(text, ref); }

}  // namespace tav
