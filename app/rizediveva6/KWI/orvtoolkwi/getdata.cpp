// Number prompts: see the header.
#include "KWI/orvtoolkwi/getdata.h"

#include <cstring>
#include <string>

#include "SYSTEM/myKWI/myKWI.h"
#include "kwi/kwicommondialogs.h"
#include "string/string.h"
#include "unit.h"

namespace rizediveva6 {

namespace K = Qel::RunTime::Kernel;
namespace T = Qel::RunTime::Terms;

const tav::ClassInfo getdata::classInfo{L"qel6pack/OrvTool/getdata", L"0"};

namespace {

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
    if (TrapAndForget([&] { std::memcpy(&v, T::FromString(domain, answer), sizeof v); }) == 0) {
      *value = v;
      return true;
    }
    myKWI::note((L"\"" + std::wstring(answer) + L"\" " + notNumber).c_str());
    text = answer;
  }
}

// The plain text form of a value ("%").
template <class V>
const wchar_t* Plain(const T::IDomainDefinition* domain, V v) {
  T::TEllipsisArgs<1> a;
  a.SetValue(0, domain, v);
  return tav::string::format(L"%", a);
}

}  // namespace

bool getdata::get_int(const wchar_t* title, const wchar_t* prompt, int32_t defaultValue, int32_t* value) {
  const T::IDomainDefinition* d = tav::D(tav::domains::integer);
  return Ask(title, prompt, Plain(d, defaultValue), d, L"is not a whole number", value);
}

bool getdata::get_real(const wchar_t* title, const wchar_t* prompt, double defaultValue, double* value) {
  const T::IDomainDefinition* d = tav::D(tav::domains::real);
  return Ask(title, prompt, Plain(d, defaultValue), d, L"is not a number", value);
}

}  // namespace rizediveva6
