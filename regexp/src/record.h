// Internals shared by the layer's files: PCRE2 in 16-bit units, and the
// record's library flags.
#pragma once

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "qel6regexp.h"

namespace qel_regexp {

// Record flags.
constexpr uint32_t StartBound = 1;  // the pattern holds \G or a verb: where a scan begins matters

inline pcre2_code* Code(const QEL_buffer_info* r) { return static_cast<pcre2_code*>(r->code); }
inline pcre2_match_data* MatchData(const QEL_buffer_info* r) {
  return static_cast<pcre2_match_data*>(r->matchData);
}
inline pcre2_match_context* MatchContext(const QEL_buffer_info* r) {
  return static_cast<pcre2_match_context*>(r->matchContext);
}
inline PCRE2_SPTR Units(const wchar_t* s) { return reinterpret_cast<PCRE2_SPTR>(s); }

}  // namespace qel_regexp
