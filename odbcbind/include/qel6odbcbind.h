// qel6odbcbind: the ODBC binding.  One plain (unmangled) export per ODBC 2
// call, `Ham` value buffers for bound columns and parameters, `Hul` cells,
// single-value records and a process-wide last-error record.
//
// The exports return nothing and write their results through the caller's
// pointers.  ODBC codes other than success and success-with-information
// raise kernel run-time errors 8800..8806 (binding errors raise 8806); the
// details are read with odbcGetError.  The two fetches fail (Run_Fail) at the
// end of the data.  Strings are zero-terminated UTF-16; returned strings,
// binaries and value records live on the caller's global stack; Hams and
// Huls on the collected heap until they are released.
// The library serves one calling thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef QEL6ODBCBIND_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_ODBC_API
#else
#define QEL_ODBC_API __declspec(dllimport)
#endif

extern "C" {

// Environment, connection and statement handles as ODBC gives them.
typedef void* odbcHandle;

// Binding data types; 14 marks a null value in results.
enum odbcType : uint32_t {
  odbcString = 1, odbcBit, odbcTinyInt, odbcShort, odbcLong, odbcFloat, odbcDouble, odbcDate,
  odbcTime, odbcTimestamp, odbcBinary, odbcNumeric, odbcLongText, odbcNull
};

// A single value: kind (binding type or 14) and an 8-byte value.  Binaries
// point at their data, the u32 before which holds the length + 4.
struct data_struct {
  uint32_t kind;
  uint32_t pad;
  union {
    int32_t integer;       // types 2..5
    double real;           // types 6, 7
    const wchar_t* text;   // types 1, 8, 9, 10, 12, 13
    const uint8_t* binary; // type 11
  } value;
};
static_assert(sizeof(data_struct) == 16 && offsetof(data_struct, value) == 8);

// Column attribute, connect option and information values: kind, then a
// number (sign-extended to the word) or a string pointer.
struct data_value_struct {
  uint32_t kind;
  uint32_t pad;
  union {
    intptr_t number;
    const wchar_t* text;
  } value;
};
static_assert(sizeof(data_value_struct) == 16 && offsetof(data_value_struct, value) == 8);
typedef data_value_struct data_column_struct;
typedef data_value_struct data_co_struct;
typedef data_value_struct data_info_struct;

// A Ham: this header, `rows` SQLLEN length/indicator words, the elements
// (8-aligned, `elementSize` bytes each), then 8 spare bytes.
struct odbcHamHeader {
  uint32_t type;
  uint32_t elementSize;
  uint32_t rows;
  uint32_t pad;
};
static_assert(sizeof(odbcHamHeader) == 16);

// Frame.
QEL_ODBC_API void odbcInit();
QEL_ODBC_API void odbcDestroy();
QEL_ODBC_API void odbcGetError(int32_t* code, wchar_t** function, wchar_t** message);

// Connections.
QEL_ODBC_API void odbcAllocEnv(odbcHandle* env);
QEL_ODBC_API void odbcAllocConnect(odbcHandle env, odbcHandle* dbc);
QEL_ODBC_API void odbcAllocStmt(odbcHandle env, odbcHandle dbc, odbcHandle* stmt);
QEL_ODBC_API void odbcConnect(odbcHandle env, odbcHandle dbc, const wchar_t* source, const wchar_t* user,
                              const wchar_t* password);
QEL_ODBC_API void odbcDriverConnect(odbcHandle env, odbcHandle dbc, intptr_t window, const wchar_t* in,
                                    int32_t completion, wchar_t** out);
QEL_ODBC_API void odbcBrowseConnect(odbcHandle env, odbcHandle dbc, const wchar_t* in, wchar_t** out);
QEL_ODBC_API void odbcDisconnect(odbcHandle env, odbcHandle dbc);
QEL_ODBC_API void odbcFreeConnect(odbcHandle env, odbcHandle dbc);
QEL_ODBC_API void odbcFreeEnv(odbcHandle env);
QEL_ODBC_API void odbcDataSources(odbcHandle env, int32_t direction, wchar_t** name, wchar_t** description);
QEL_ODBC_API void odbcDrivers(odbcHandle env, int32_t direction, wchar_t** name, wchar_t** attributes);

// Statements.
QEL_ODBC_API void odbcExecDirect(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* text);
QEL_ODBC_API void odbcPrepare(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* text);
QEL_ODBC_API void odbcExecute(odbcHandle env, odbcHandle dbc, odbcHandle stmt);
QEL_ODBC_API void odbcCancel(odbcHandle env, odbcHandle dbc, odbcHandle stmt);
QEL_ODBC_API void odbcMoreResults(odbcHandle env, odbcHandle dbc, odbcHandle stmt);
QEL_ODBC_API void odbcFetch(odbcHandle env, odbcHandle dbc, odbcHandle stmt);
QEL_ODBC_API void odbcExtendedFetch(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t direction,
                                    int32_t row, uint32_t* count);
QEL_ODBC_API void odbcFreeStmt(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t option);
QEL_ODBC_API void odbcNumResultCols(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t* count);
QEL_ODBC_API void odbcNumParams(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t* count);
QEL_ODBC_API void odbcRowCount(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t* count);
QEL_ODBC_API void odbcDescribeCol(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column,
                                  wchar_t** name, int32_t* type, uint32_t* precision, int32_t* scale,
                                  int32_t* nullable);
QEL_ODBC_API void odbcDescribeParam(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter,
                                    int32_t* type, uint32_t* precision, int32_t* scale, int32_t* nullable);
QEL_ODBC_API void odbcColAttributes(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column,
                                    int32_t attribute, data_column_struct** value);
QEL_ODBC_API void odbcGetCursorName(odbcHandle env, odbcHandle dbc, odbcHandle stmt, wchar_t** name);
QEL_ODBC_API void odbcSetCursorName(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* name);
QEL_ODBC_API void odbcNativeSql(odbcHandle env, odbcHandle dbc, const wchar_t* in, wchar_t** out);
QEL_ODBC_API void odbcTransact(odbcHandle env, odbcHandle dbc, int32_t kind);
QEL_ODBC_API void odbcSetPos(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t row, int32_t operation,
                             int32_t lock);
QEL_ODBC_API void odbcSetScrollOptions(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t concurrency,
                                       int32_t keyset, uint32_t rowset);

// Binding.  The bind calls create the Ham they bind and hand out its address.
QEL_ODBC_API void odbcBindCol(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column, int32_t type,
                              int32_t length, void** ham);
QEL_ODBC_API void odbcBindColArray(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column,
                                   int32_t type, int32_t length, uint16_t rows, void** ham);
QEL_ODBC_API void odbcBindParameter(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter,
                                    int32_t direction, int32_t type, uint32_t columnSize, int32_t scale,
                                    int32_t length, void** ham);
QEL_ODBC_API void odbcBindParameterArray(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter,
                                         int32_t direction, int32_t type, uint32_t columnSize, int32_t scale,
                                         int32_t length, uint16_t rows, void** ham);
QEL_ODBC_API void odbcSetParam(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter,
                               int32_t type, uint32_t columnSize, int32_t scale, int32_t length, void** ham);
// `cell` receives ODBC's current-row counter: 8 bytes (a Hul).
QEL_ODBC_API void odbcParamOptions(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t rows, void* cell);
QEL_ODBC_API void odbcParamData(odbcHandle env, odbcHandle dbc, odbcHandle stmt, void** ham);
QEL_ODBC_API void odbcPutData(odbcHandle env, odbcHandle dbc, odbcHandle stmt, void* ham);
QEL_ODBC_API void odbcGetData(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column, uint32_t type,
                              uint32_t size, data_struct** value, uint32_t* indicator);

// Options and information.
QEL_ODBC_API void odbcGetConnectOption(odbcHandle env, odbcHandle dbc, int32_t option, data_co_struct** value);
QEL_ODBC_API void odbcSetConnectOption(odbcHandle env, odbcHandle dbc, int32_t option, data_co_struct* value);
QEL_ODBC_API void odbcGetStmtOption(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t option,
                                    uint32_t* value);
QEL_ODBC_API void odbcSetStmtOption(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t option,
                                    uint32_t value);
QEL_ODBC_API void odbcGetFunctions(odbcHandle env, odbcHandle dbc, int32_t function, uint32_t* exists);
QEL_ODBC_API void odbcGetInfo(odbcHandle env, odbcHandle dbc, int32_t info, data_info_struct** value);

// Catalog.  "NULL_STRING" stands for no value.
QEL_ODBC_API void odbcGetTypeInfo(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t type);
QEL_ODBC_API void odbcTables(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                             const wchar_t* owner, const wchar_t* table, const wchar_t* tableType);
QEL_ODBC_API void odbcColumns(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                              const wchar_t* owner, const wchar_t* table, const wchar_t* column);
QEL_ODBC_API void odbcColumnPrivileges(odbcHandle env, odbcHandle dbc, odbcHandle stmt,
                                       const wchar_t* qualifier, const wchar_t* owner, const wchar_t* table,
                                       const wchar_t* column);
QEL_ODBC_API void odbcProcedureColumns(odbcHandle env, odbcHandle dbc, odbcHandle stmt,
                                       const wchar_t* qualifier, const wchar_t* owner,
                                       const wchar_t* procedure, const wchar_t* column);
QEL_ODBC_API void odbcTablePrivileges(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                                      const wchar_t* owner, const wchar_t* table);
QEL_ODBC_API void odbcPrimaryKeys(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                                  const wchar_t* owner, const wchar_t* table);
QEL_ODBC_API void odbcProcedures(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                                 const wchar_t* owner, const wchar_t* procedure);
QEL_ODBC_API void odbcForeignKeys(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* pkQualifier,
                                  const wchar_t* pkOwner, const wchar_t* pkTable, const wchar_t* fkQualifier,
                                  const wchar_t* fkOwner, const wchar_t* fkTable);
QEL_ODBC_API void odbcSpecialColumns(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t kind,
                                     const wchar_t* qualifier, const wchar_t* owner, const wchar_t* table,
                                     int32_t scope, int32_t nullable);
QEL_ODBC_API void odbcStatistics(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                                 const wchar_t* owner, const wchar_t* table, int32_t unique, int32_t accuracy);

// Hams (rows are numbered from 1) and Huls (8-byte cells moving a u32).
QEL_ODBC_API void odbcGetHam(void* ham, data_struct** value);
QEL_ODBC_API void odbcGetHamArray(void* ham, uint16_t row, data_struct** value);
QEL_ODBC_API void odbcPutHam(void* ham, data_struct* value);
QEL_ODBC_API void odbcPutHamArray(void* ham, uint16_t row, data_struct* value);
QEL_ODBC_API void odbcReleaseHam(void* ham);
QEL_ODBC_API void odbcAllocHul(void** cell);
QEL_ODBC_API void odbcReleaseHul(void* cell);
QEL_ODBC_API void odbcGetHul(void* cell, uint32_t* value);
QEL_ODBC_API void odbcPutHul(void* cell, uint32_t value);

}  // extern "C"
