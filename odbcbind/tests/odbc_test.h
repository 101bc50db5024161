// Helpers of the ODBC binding's tests: calls run under a trap and a
// backtrack point with the last-error record read back, a recording stub in
// place of odbc32, and (for the driver tests) a scratch folder with the
// unixODBC configuration that ctest names through ODBCSYSINI and ODBCINI.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "binding.h"
#include "qel6kernel.h"
#include "qel6odbcbind.h"

namespace odbctest {

// How a call ended and what the last-error record then holds.
struct Outcome {
  uint32_t error;  // kernel run-time error, 0 when none
  bool failed;     // failed without an error
  int32_t code;
  std::wstring function;
  std::wstring message;
};
Outcome Try(const std::function<void()>& body);

// The last-error record without a call.
Outcome LastError();

// A binding error as the record shows it: 8806, code -1001, the name and text.
void ExpectBindingError(const Outcome& o, int32_t number, const wchar_t* name);

// One recorded ODBC call: the function's name and its arguments as numbers
// (pointers as addresses).
struct Call {
  std::string name;
  std::vector<int64_t> args;
};

// The recording stub: every function records its call and returns the code
// set for its name (SQL_SUCCESS unless set).  Tests replace single entries
// of `api` where ODBC must write outputs.
struct Stub {
  odbcbind::OdbcApi api;
  Stub();
  ~Stub();
  void Install();
  static std::vector<Call>& Calls();
  static void SetResult(const char* name, SQLRETURN code);
  static void Record(const char* name, std::vector<int64_t> args);
  // The calls of `name`, oldest first.
  static std::vector<Call> CallsOf(const char* name);
};

// Fixture that puts the stub in place of odbc32 for each test.
class StubTest : public ::testing::Test {
 protected:
  Stub stub;
  void SetUp() override { stub.Install(); }
};

// Made-up handles for the stub.
inline odbcHandle const kEnv = reinterpret_cast<odbcHandle>(0x1000000001);
inline odbcHandle const kDbc = reinterpret_cast<odbcHandle>(0x1000000002);
inline odbcHandle const kStmt = reinterpret_cast<odbcHandle>(0x1000000003);

// A value record on the global stack.
data_struct* Value(uint32_t kind);
data_struct* Text(uint32_t kind, const wchar_t* text);
data_struct* Integer(uint32_t kind, int32_t n);
data_struct* Real(uint32_t kind, double d);
data_struct* Binary(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> BinaryBytes(const uint8_t* binary);

// Binds a one-column Ham on the stub and returns it.
void* StubHam(uint32_t type, int32_t length, uint16_t rows, uint32_t column = 1);

// The driver tests' folder: the Windows path (ending in a backslash) and
// the Unix path (ending in a slash) of ODBCSYSINI, empty when it is unset.
std::wstring ConfigFolder();
std::string ConfigFolderUnix();

}  // namespace odbctest
