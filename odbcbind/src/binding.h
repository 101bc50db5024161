// Internals of the ODBC binding: the table of ODBC functions every call goes
// through, the return-code step and binding errors, the type table, the Ham
// registry and the record of which Hams each statement has bound.
//
// Every raise leaves the last-error record set; nothing here holds an object
// with a destructor across a raise.
#pragma once

#include <windows.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdint>

#include "qel6odbcbind.h"

namespace odbcbind {

// The ODBC functions the binding calls, filled from odbc32 at load.
#define ODBC_FUNCTIONS(X)                                                                              \
  X(SQLAllocEnv) X(SQLAllocConnect) X(SQLAllocStmt) X(SQLConnectW) X(SQLDriverConnectW)                \
  X(SQLBrowseConnectW) X(SQLDisconnect) X(SQLFreeConnect) X(SQLFreeEnv) X(SQLFreeStmt)                 \
  X(SQLDataSourcesW) X(SQLDriversW) X(SQLPrepareW) X(SQLExecDirectW) X(SQLExecute) X(SQLCancel)        \
  X(SQLMoreResults) X(SQLFetch) X(SQLExtendedFetch) X(SQLNumResultCols) X(SQLNumParams)                \
  X(SQLRowCount) X(SQLDescribeColW) X(SQLDescribeParam) X(SQLColAttributesW) X(SQLBindCol)             \
  X(SQLBindParameter) X(SQLSetParam) X(SQLParamOptions) X(SQLParamData) X(SQLPutData) X(SQLGetData)    \
  X(SQLGetCursorNameW) X(SQLSetCursorNameW) X(SQLNativeSqlW) X(SQLTransact) X(SQLSetPos)               \
  X(SQLSetScrollOptions) X(SQLGetConnectOptionW) X(SQLSetConnectOptionW) X(SQLGetStmtOption)           \
  X(SQLSetStmtOption) X(SQLGetFunctions) X(SQLGetInfoW) X(SQLGetTypeInfoW) X(SQLTablesW)               \
  X(SQLColumnsW) X(SQLColumnPrivilegesW) X(SQLTablePrivilegesW) X(SQLPrimaryKeysW)                     \
  X(SQLForeignKeysW) X(SQLProceduresW) X(SQLProcedureColumnsW) X(SQLSpecialColumnsW)                   \
  X(SQLStatisticsW) X(SQLErrorW)

struct OdbcApi {
#define ODBC_FIELD(f) decltype(&::f) f;
  ODBC_FUNCTIONS(ODBC_FIELD)
#undef ODBC_FIELD
};

// The table in use; tests put a recording stub in its place.
extern const OdbcApi* odbc;
const OdbcApi& Odbc32();

// The return-code step: records code, name (a literal) and message, returns
// for 0, 1 and -1000 and raises 8800..8806 for the rest.
void Check(SQLRETURN code, const wchar_t* name, SQLHENV env = nullptr, SQLHDBC dbc = nullptr,
           SQLHSTMT stmt = nullptr);
// Records -1000 "ODBC_SUCCESS" under `name`.
void RecordSuccess(const wchar_t* name);
// Raises binding error `number` (-1002..-1019) as code -1001 under `name`.
[[noreturn]] void BindingError(int32_t number, const wchar_t* name);
// The text of a binding error number.
const wchar_t* BindingErrorText(int32_t number);
// SQL_NO_DATA_FOUND of a fetch: records -1000 under `name` and fails.
[[noreturn]] void EndOfData(const wchar_t* name);

// Binding error numbers.
enum : int32_t {
  kHamNotReserved = -1002, kIllegalDataType = -1003, kIllegalParamType = -1004, kIllegalColumnType = -1005,
  kIllegalDirection = -1006, kIllegalCompletion = -1007, kIllegalOption = -1008, kIllegalFunction = -1009,
  kIllegalInfoType = -1010, kIllegalConstant = -1011, kIllegalLock = -1012, kIllegalConcurrency = -1013,
  kIllegalScope = -1014, kIllegalNullable = -1015, kIllegalUnique = -1016, kIllegalAccuracy = -1017,
  kIllegalTransact = -1018, kNotInitialized = -1019
};

// One row of the type table.
struct TypeInfo {
  SQLSMALLINT cType;
  SQLSMALLINT sqlType;
  uint32_t elementSize;  // 0: the caller's length
};
// The row of binding type `type`; outside 1..13 raises -1003 under `name`.
const TypeInfo& TypeOf(int64_t type, const wchar_t* name);
bool IsText(uint32_t type);
// SQL type to binding type, 0 when the table has none.
int32_t BindingTypeOfSql(SQLSMALLINT sqlType);

// Hams.
struct Ham {
  odbcHamHeader header;
  SQLLEN* Indicators() { return reinterpret_cast<SQLLEN*>(this + 1); }
  uint8_t* Data();
  uint8_t* Element(uint32_t row) { return Data() + uint64_t(row - 1) * header.elementSize; }
};
constexpr uint32_t kRegistrySlots = 1000;
// Creates and registers a Ham; a full registry or a bad size raises under `name`.
Ham* CreateHam(const wchar_t* name, int32_t type, int64_t length, uint32_t rows);
// The registered Ham at `address`, else -1002 under `name`.
Ham* FindHam(void* address, const wchar_t* name);
// The registered Ham whose data array starts at `data`, or null.
Ham* FindHamByData(void* data);
void UnregisterHam(Ham* ham);

// What statements have bound.
enum class BindKind : uint8_t { Column, Parameter };
void RecordBinding(SQLHDBC dbc, SQLHSTMT stmt, BindKind kind, uint32_t number, Ham* ham);
void ForgetBindings(SQLHSTMT stmt, BindKind kind);
void ForgetStatement(SQLHSTMT stmt);
void ForgetConnection(SQLHDBC dbc);
bool IsBound(const Ham* ham);
// Raises -1011 under `name` when a bound Ham of `stmt` of `kind` has fewer
// than `rows` rows.
void CheckBoundRows(SQLHSTMT stmt, BindKind kind, uint64_t rows, const wchar_t* name);
// The parameter-set size given to odbcParamOptions for `stmt` (1 when none).
void SetParamRows(SQLHDBC dbc, SQLHSTMT stmt, uint64_t rows);
uint64_t ParamRows(SQLHSTMT stmt);

// Values.  Records live on the caller's global stack, as the strings and
// binaries they point to do (a text in the record's own block).
// A zeroed record of `kind` with `extra` bytes behind it.
data_struct* NewValue(uint32_t kind, uint32_t extra);
// A binary on the global stack: u32 length + 4, then the bytes.
const uint8_t* MakeBinary(const uint8_t* bytes, uint32_t length);
// The getter's text of a date, time or timestamp element, into `text`
// (kTemporalChars characters).
constexpr uint32_t kTemporalChars = 40;  // "-32768-65535-65535 65535:65535:65535"
void FormatTemporal(uint32_t type, const uint8_t* element, wchar_t* text);

// The kernel's services.
[[noreturn]] void Raise(uint32_t code);

}  // namespace odbcbind
