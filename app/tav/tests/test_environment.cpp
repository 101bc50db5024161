// environment: variables set, read, listed and deleted (empty values and the
// hidden "=X:" entries included), expansion, and the version against the
// system's own answer.
#include "environment/environment.h"
#include "tav_test.h"

#include <windows.h>

#include <map>

using namespace tavtest;

namespace {

class Environment : public Library {
 protected:
  void TearDown() override {
    for (const wchar_t* n : {L"TAV_ENV_A", L"TAV_ENV_EMPTY", L"TAV_ENV_LONG"})
      SetEnvironmentVariableW(n, nullptr);
    Library::TearDown();
  }
};

TEST_F(Environment, SetGetAndDelete) {
  environment::setvariable(L"TAV_ENV_A", L"alpha");
  EXPECT_STREQ(environment::getvariable(L"TAV_ENV_A"), L"alpha");
  EXPECT_STREQ(environment::trygetvariable(L"tav_env_a"), L"alpha");
  std::wstring long_(5000, L'x');
  environment::setvariable(L"TAV_ENV_LONG", long_.c_str());
  EXPECT_EQ(std::wstring(environment::getvariable(L"TAV_ENV_LONG")), long_);

  environment::deletevariable(L"TAV_ENV_A");
  EXPECT_EQ(environment::trygetvariable(L"TAV_ENV_A"), nullptr);
  environment::deletevariable(L"TAV_ENV_A");  // absent: nothing to do

  // An empty value counts as absent for reading, but deleting removes it.
  environment::setvariable(L"TAV_ENV_EMPTY", L"");
  EXPECT_EQ(environment::trygetvariable(L"TAV_ENV_EMPTY"), nullptr);
  uint32_t id = RunTrapped([] { environment::getvariable(L"TAV_ENV_EMPTY"); });
  const TraceEntry* e = exception::trygetdescriptor(id, &environment::undefinedenvironmentvariable);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"variable"), L"TAV_ENV_EMPTY");
  environment::deletevariable(L"TAV_ENV_EMPTY");
  wchar_t probe[4];
  EXPECT_EQ(GetEnvironmentVariableW(L"TAV_ENV_EMPTY", probe, 4), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

TEST_F(Environment, AllVariablesComeFromTheBlock) {
  environment::setvariable(L"TAV_ENV_A", L"a=b");
  environment::setvariable(L"TAV_ENV_EMPTY", L"");
  SetEnvironmentVariableW(L"=K:", L"K:\\dir");
  std::map<std::wstring, std::wstring> seen;
  for (const NamedValueList* l = environment::getallvariables(); !l->Empty(); l = l->tail) {
    EXPECT_NE(l->head->name[0], L'=');
    seen[l->head->name] = Text(l->head->value);
  }
  SetEnvironmentVariableW(L"=K:", nullptr);
  EXPECT_EQ(seen[L"TAV_ENV_A"], L"a=b");
  ASSERT_EQ(seen.count(L"TAV_ENV_EMPTY"), 1u);
  EXPECT_EQ(seen[L"TAV_ENV_EMPTY"], L"");
  EXPECT_EQ(seen.count(L"=K:"), 0u);
}

TEST_F(Environment, Expand) {
  environment::setvariable(L"TAV_ENV_A", L"alpha");
  EXPECT_STREQ(environment::expand(L"no percent signs"), L"no percent signs");
  EXPECT_STREQ(environment::expand(L"[%TAV_ENV_A%] %TAV_ENV_UNSET%"),
               L"[alpha] %TAV_ENV_UNSET%");
  EXPECT_STREQ(environment::expand(L""), L"");
}

TEST_F(Environment, VersionAndSystemInfo) {
  uint32_t major = 0, minor = 0;
  bool isNT = false;
  const wchar_t* sp = nullptr;
  environment::getosversion(&major, &minor, &isNT, &sp);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(major, info.dwMajorVersion);
  EXPECT_EQ(minor, info.dwMinorVersion);
  EXPECT_TRUE(isNT);
  EXPECT_STREQ(sp, info.szCSDVersion);
  EXPECT_GT(wcslen(environment::getsysteminfo()), 0u);
}

}  // namespace
