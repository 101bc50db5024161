// The frame every export shares: the ODBC table, the last-error record (one
// per process, always holding the most recent call's outcome), the
// return-code step, binding errors and their texts, and the type table.
// The record names static texts (every name and fixed message is a literal)
// or the driver's message, kept in a 512-character buffer of its own.
#include "binding.h"
#include "qel6kernel.h"

namespace odbcbind {

namespace kernel = Qel::RunTime::Kernel;

const OdbcApi& Odbc32() {
  static const OdbcApi table = {
#define ODBC_IMPORT(f) &::f,
      ODBC_FUNCTIONS(ODBC_IMPORT)
#undef ODBC_IMPORT
  };
  return table;
}

const OdbcApi* odbc = &Odbc32();

namespace {

constexpr size_t kTextChars = 512;

struct LastError {
  int32_t code;
  const wchar_t* function;
  const wchar_t* message;
};
LastError lastError = {0, L"", L""};
wchar_t driverMessage[kTextChars];
int32_t bindingError;

const wchar_t* FixedMessage(int32_t code) {
  switch (code) {
    case SQL_SUCCESS: return L"SQL_SUCCESS";
    case SQL_SUCCESS_WITH_INFO: return L"SQL_SUCCESS_WITH_INFO";
    case SQL_STILL_EXECUTING: return L"SQL_STILL_EXECUTING";
    case SQL_NEED_DATA: return L"SQL_NEED_DATA";
    case SQL_NO_DATA_FOUND: return L"SQL_NO_DATA_FOUND";
    case SQL_INVALID_HANDLE: return L"SQL_INVALID_HANDLE";
    case -1000: return L"ODBC_SUCCESS";
    case -1001: return BindingErrorText(bindingError);
    default: return L"SQL_UNKNOWN_ERROR";
  }
}

uint32_t ErrorCode(int32_t code) {
  switch (code) {
    case SQL_STILL_EXECUTING: return 8802;
    case SQL_NEED_DATA: return 8803;
    case SQL_NO_DATA_FOUND: return 8804;
    case SQL_INVALID_HANDLE: return 8801;
    case SQL_ERROR: return 8805;
    case -1001: return 8806;
    default: return 8800;
  }
}

// Records and, for every code but 0, 1 and -1000, raises.
void Step(int32_t code, const wchar_t* name, SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
  lastError.code = code;
  lastError.function = name;
  if (code == SQL_ERROR) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    driverMessage[0] = 0;
    odbc->SQLErrorW(env, dbc, stmt, state, &native, reinterpret_cast<SQLWCHAR*>(driverMessage),
                    SQLSMALLINT(kTextChars), &length);
    driverMessage[kTextChars - 1] = 0;
    lastError.message = driverMessage;
  } else {
    lastError.message = FixedMessage(code);
  }
  if (code == SQL_SUCCESS || code == SQL_SUCCESS_WITH_INFO || code == -1000) return;
  Raise(ErrorCode(code));
}

}  // namespace

void Raise(uint32_t code) { kernel::Errors::RunTimeError(code); }

void Check(SQLRETURN code, const wchar_t* name, SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
  Step(code, name, env, dbc, stmt);
}

void RecordSuccess(const wchar_t* name) { Step(-1000, name, nullptr, nullptr, nullptr); }

void BindingError(int32_t number, const wchar_t* name) {
  bindingError = number;
  Step(-1001, name, nullptr, nullptr, nullptr);
  __builtin_unreachable();
}

void EndOfData(const wchar_t* name) {
  RecordSuccess(name);
  kernel::Control::TPrologThreadData::Run_Fail();
}

const wchar_t* BindingErrorText(int32_t number) {
  static const wchar_t* const texts[] = {
      L"[ODBC_BIND] HAM is not reserved",       L"[ODBC_BIND] Illegal data type",
      L"[ODBC_BIND] Illegal param type",        L"[ODBC_BIND] Illegal column type",
      L"[ODBC_BIND] Illegal direction",         L"[ODBC_BIND] Illegal driver completion",
      L"[ODBC_BIND] Illegal option",            L"[ODBC_BIND] Illegal function number",
      L"[ODBC_BIND] Illegal info type",         L"[ODBC_BIND] Illegal constant in param",
      L"[ODBC_BIND] Illegal lock",              L"[ODBC_BIND] Illegal concurrency",
      L"[ODBC_BIND] Illegal scope",             L"[ODBC_BIND] Illegal nullable",
      L"[ODBC_BIND] Illegal unique",            L"[ODBC_BIND] Illegal accuracy",
      L"[ODBC_BIND] Illegal transact type",     L"[ODBC_BIND] ODBC is not initialize",
  };
  if (number <= kHamNotReserved && number >= kNotInitialized) return texts[kHamNotReserved - number];
  return L"[ODBC_BIND] ODBC unknow internal error code";
}

// Text types travel as SQL_C_WCHAR: ODBC's 8-bit text would pass through the
// ANSI code page and lose what it cannot hold.  A fixed-size element is as
// large as its C type, the stride ODBC uses for arrays of that type.  Floats
// travel as doubles: drivers disagree on the stride of SQL_C_FLOAT arrays
// (the SQLite driver writes them 8 bytes apart), not on that of doubles.
const TypeInfo& TypeOf(int64_t type, const wchar_t* name) {
  static const TypeInfo table[] = {
      {SQL_C_WCHAR, SQL_CHAR, 0},          {SQL_C_BIT, SQL_BIT, 1},
      {SQL_C_UTINYINT, SQL_TINYINT, 1},    {SQL_C_LONG, SQL_INTEGER, 4},
      {SQL_C_LONG, SQL_INTEGER, 4},        {SQL_C_DOUBLE, SQL_REAL, 8},
      {SQL_C_DOUBLE, SQL_DOUBLE, 8},       {SQL_C_DATE, SQL_DATE, 6},
      {SQL_C_TIME, SQL_TIME, 6},           {SQL_C_TIMESTAMP, SQL_TIMESTAMP, 16},
      {SQL_C_BINARY, SQL_BINARY, 0},       {SQL_C_WCHAR, SQL_NUMERIC, 0},
      {SQL_C_WCHAR, SQL_LONGVARCHAR, 0},
  };
  if (type < 1 || type > 13) BindingError(kIllegalDataType, name);
  return table[type - 1];
}

bool IsText(uint32_t type) { return type == odbcString || type == odbcNumeric || type == odbcLongText; }

int32_t BindingTypeOfSql(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_CHAR: case SQL_VARCHAR: return odbcString;
    case SQL_BIT: return odbcBit;
    case SQL_TINYINT: return odbcTinyInt;
    case SQL_SMALLINT: return odbcShort;
    case SQL_INTEGER: return odbcLong;
    case SQL_FLOAT: case SQL_REAL: return odbcFloat;
    case SQL_DOUBLE: return odbcDouble;
    case SQL_DATE: return odbcDate;
    case SQL_TIME: return odbcTime;
    case SQL_TIMESTAMP: return odbcTimestamp;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: return odbcBinary;
    case SQL_NUMERIC: case SQL_DECIMAL: case SQL_BIGINT: return odbcNumeric;
    case SQL_LONGVARCHAR: return odbcLongText;
    default: return 0;
  }
}

}  // namespace odbcbind

using namespace odbcbind;

extern "C" {

void odbcInit() {}
void odbcDestroy() {}

void odbcGetError(int32_t* code, wchar_t** function, wchar_t** message) {
  *code = lastError.code;
  *function = kernel::Memory::CopyStringToGStack(lastError.function);
  *message = kernel::Memory::CopyStringToGStack(lastError.message);
}

}  // extern "C"
