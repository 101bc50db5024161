// Number prompts: see the header.
#include "KWI/orvtoolkwi/getdata.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "SYSTEM/myKWI/myKWI.h"
#include "kwi/kwicommondialogs.h"
#include "unit.h"

namespace rizediveva6 {

namespace K = Qel::RunTime::Kernel;
namespace T = Qel::RunTime::Terms;

const tav::ClassInfo getdata::classInfo{L"qel6pack/OrvTool/getdata", L"0"};

namespace {

// The conversion's refusals of a text: not of the domain (303), out of its
// range (302, 316 for digits past the integers).  Anything else is no
// answer's fault and goes on to the caller.
bool IsConversionError(uint32_t code) {
  const wchar_t* text;
  const uint32_t number = TraceErrorNumber(code, &text);
  return number == 303 || number == 302 || number == 316;
}

// Asks until the answer converts in `domain` or the user cancels.
template <class V>
bool Ask(const wchar_t* title, const wchar_t* prompt, const wchar_t* text, const T::IDomainDefinition* domain,
         const wchar_t* notNumber, V* value) {
  for (;;) {
    const wchar_t* answer = nullptr;
    if (!K::Succeeds([&] { const wchar_t* typed = tav::kwiCommonDialogs::getstring(title, prompt, text);
          if (typed) answer = tav::HeapCopy(typed);
        }) || !answer) return false;
    V v{};
    const uint32_t code = K::RunTrapped([&] { std::memcpy(&v, T::FromString(domain, answer), sizeof v); });
    if (code == 0) {
      *value = v;
      return true;
    }
    if (!IsConversionError(code)) K::Errors::Qel_ErrorExit(code);
    HandledErrorText(code);
    myKWI::note((L"\"" + std::wstring(answer) + L"\" " + notNumber).c_str());
    text = answer;
  }
}

// The default's plain text.
const wchar_t* Plain(double v) {
  wchar_t text[40];
  swprintf(text, 40, L"%.15g", v);
  return tav::HeapCopy(text);
}

}  // namespace

bool getdata::get_int(const wchar_t* title, const wchar_t* prompt, int32_t defaultValue, int32_t* value) {
  return Ask(title, prompt, tav::HeapCopy(std::to_wstring(defaultValue).c_str()), tav::D(tav::domains::integer),
             L"is not a whole number", value);
}

bool getdata::get_real(const wchar_t* title, const wchar_t* prompt, double defaultValue, double* value) {
  return Ask(title, prompt, Plain(defaultValue), tav::D(tav::domains::real), L"is not a number", value);
}

}  // namespace rizediveva6
