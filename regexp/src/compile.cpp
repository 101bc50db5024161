// Creating, compiling and freeing compiled-pattern records.  A record always
// has its match context and JIT stack; `code`, `matchData` and `pattern` are
// set together or all null.  A compile of the pattern and options the record
// already holds keeps the compiled code.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "record.h"

using namespace qel_regexp;

namespace {

constexpr uint32_t HeapLimitKiB = 64 * 1024;
constexpr PCRE2_SIZE JitStackStart = 32 * 1024, JitStackMax = 4 * 1024 * 1024;
constexpr uint32_t BaseOptions = PCRE2_UCP | PCRE2_MULTILINE | PCRE2_USE_OFFSET_LIMIT;

thread_local QEL_buffer_info* threadRecord = nullptr;

QEL_buffer_info* NewRecord() {
  auto* r = static_cast<QEL_buffer_info*>(calloc(1, sizeof(QEL_buffer_info)));
  if (!r) return nullptr;
  pcre2_match_context* mc = pcre2_match_context_create(nullptr);
  pcre2_jit_stack* js = pcre2_jit_stack_create(JitStackStart, JitStackMax, nullptr);
  if (!mc || !js) {
    pcre2_match_context_free(mc);
    pcre2_jit_stack_free(js);
    free(r);
    return nullptr;
  }
  pcre2_set_heap_limit(mc, HeapLimitKiB);
  pcre2_jit_stack_assign(mc, nullptr, js);
  r->matchContext = mc;
  r->jitStack = js;
  return r;
}

void DropPattern(QEL_buffer_info* r) {
  pcre2_match_data_free(MatchData(r));
  pcre2_code_free(Code(r));
  free(r->pattern);
  r->code = r->matchData = nullptr;
  r->pattern = nullptr;
  r->patternLength = 0;
  r->lookBehind = r->options = r->flags = 0;
}

bool SamePattern(const QEL_buffer_info* r, const wchar_t* pattern, size_t n, uint32_t options) {
  return r->code && r->options == options && r->patternLength == n &&
         wmemcmp(r->pattern, pattern, n) == 0;
}

// Starts tried in runs, or one by one backward, give the same match as one
// scan unless the pattern depends on where the scan began (\G) or steers it
// (verbs).
uint32_t FlagsOf(const wchar_t* pattern) {
  return wcsstr(pattern, L"\\G") || wcsstr(pattern, L"(*") ? StartBound : 0;
}

int Compile(QEL_buffer_info* r, const wchar_t* pattern, size_t n, uint32_t options) {
  pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
  if (!cc) return -1;
  pcre2_set_newline(cc, PCRE2_NEWLINE_LF);
  int error = 0;
  PCRE2_SIZE at = 0;
  pcre2_code* code = pcre2_compile(Units(pattern), n, options, &error, &at, cc);
  pcre2_compile_context_free(cc);
  if (!code) return 0;
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  auto* copy = static_cast<wchar_t*>(malloc((n + 1) * sizeof(wchar_t)));
  if (!md || !copy) {
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    free(copy);
    return -1;
  }
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // without JIT the interpreter runs
  uint32_t behind = 0;
  pcre2_pattern_info(code, PCRE2_INFO_MAXLOOKBEHIND, &behind);
  wmemcpy(copy, pattern, n);
  copy[n] = 0;
  r->code = code;
  r->matchData = md;
  r->pattern = copy;
  r->patternLength = n;
  r->options = options;
  r->flags = FlagsOf(copy);
  r->lookBehind = behind < 1 ? 1 : behind;  // \b and ^ look at one character
  return 1;
}

}  // namespace

extern "C" int QEL_re_compile_pattern_case(const wchar_t* pattern, QEL_buffer_info** record,
                                           int ignoreCase) {
  if (!pattern || !record) return -1;
  if (!*record && !(*record = NewRecord())) return -1;
  QEL_buffer_info* r = *record;
  r->matched = 0;
  size_t n = wcslen(pattern);
  uint32_t options = BaseOptions | (ignoreCase ? PCRE2_CASELESS : 0);
  if (SamePattern(r, pattern, n, options)) return 1;
  DropPattern(r);
  return Compile(r, pattern, n, options);
}

extern "C" int QEL_re_search_range_compile(const wchar_t* pattern, const wchar_t* text,
                                           int* matchStart, int* matchLength, int start,
                                           int range, int ignoreCase) {
  int rc = QEL_re_compile_pattern_case(pattern, &threadRecord, ignoreCase);
  if (rc != 1) return rc < 0 ? rc : -1;
  return QEL_re_search_range_noCompile(threadRecord, text, matchStart, matchLength, start, range);
}

extern "C" void QEL_re_free(QEL_buffer_info* r) {
  if (!r) return;
  DropPattern(r);
  pcre2_match_context_free(MatchContext(r));
  pcre2_jit_stack_free(static_cast<pcre2_jit_stack*>(r->jitStack));
  free(r->result);
  free(r);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_THREAD_DETACH || reason == DLL_PROCESS_DETACH) {
    QEL_re_free(threadRecord);
    threadRecord = nullptr;
  }
  return TRUE;
}
