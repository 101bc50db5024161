// The frame and the call family on the recording stub: the return-code step,
// failing fetches, binding errors, catalog strings, every enumeration table
// and the conversions of ODBC's outputs.
#include <cstring>

#include "odbc_test.h"

using namespace odbctest;

namespace {

TEST_F(StubTest, ReturnCodesRecordAndRaise) {
  stub.api.SQLErrorW = [](SQLHENV, SQLHDBC, SQLHSTMT stmt, SQLWCHAR* state, SQLINTEGER*, SQLWCHAR* message,
                          SQLSMALLINT max, SQLSMALLINT*) -> SQLRETURN {
    EXPECT_EQ(stmt, kStmt);
    wcscpy(reinterpret_cast<wchar_t*>(state), L"42000");
    wcsncpy(reinterpret_cast<wchar_t*>(message), L"[driver] near \"SELEC\": syntax error", max);
    return SQL_SUCCESS;
  };
  struct Case {
    SQLRETURN code;
    uint32_t error;
    const wchar_t* message;
  } cases[] = {
      {SQL_SUCCESS, 0, L"SQL_SUCCESS"},
      {SQL_SUCCESS_WITH_INFO, 0, L"SQL_SUCCESS_WITH_INFO"},
      {SQL_STILL_EXECUTING, 8802, L"SQL_STILL_EXECUTING"},
      {SQL_NEED_DATA, 8803, L"SQL_NEED_DATA"},
      {SQL_NO_DATA_FOUND, 8804, L"SQL_NO_DATA_FOUND"},
      {SQL_INVALID_HANDLE, 8801, L"SQL_INVALID_HANDLE"},
      {SQL_ERROR, 8805, L"[driver] near \"SELEC\": syntax error"},
      {-7, 8800, L"SQL_UNKNOWN_ERROR"},
  };
  for (const Case& c : cases) {
    Stub::SetResult("SQLExecute", c.code);
    Outcome o = Try([] { odbcExecute(kEnv, kDbc, kStmt); });
    EXPECT_EQ(o.error, c.error) << c.code;
    EXPECT_FALSE(o.failed);
    EXPECT_EQ(o.code, c.code);
    EXPECT_EQ(o.function, L"SQLExecute");
    EXPECT_EQ(o.message, c.message);
  }
}

TEST_F(StubTest, FetchesFailAtTheEndAndOtherCallsRaise) {
  stub.api.SQLGetStmtOption = [](SQLHSTMT, SQLUSMALLINT, SQLPOINTER v) -> SQLRETURN {
    *static_cast<SQLULEN*>(v) = 1;
    return SQL_SUCCESS;
  };
  Stub::SetResult("SQLFetch", SQL_NO_DATA_FOUND);
  Stub::SetResult("SQLExtendedFetch", SQL_NO_DATA_FOUND);
  Stub::SetResult("SQLDataSourcesW", SQL_NO_DATA_FOUND);
  Outcome o = Try([] { odbcFetch(kEnv, kDbc, kStmt); });
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.error, 0u);
  EXPECT_EQ(o.code, -1000);
  EXPECT_EQ(o.function, L"SQLFetch");
  EXPECT_EQ(o.message, L"ODBC_SUCCESS");

  uint32_t count = 77;
  o = Try([&] { odbcExtendedFetch(kEnv, kDbc, kStmt, 2, 0, &count); });
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.function, L"SQLExtendedFetch");
  EXPECT_EQ(count, 77u);

  wchar_t *name, *description;
  o = Try([&] { odbcDataSources(kEnv, 2, &name, &description); });
  EXPECT_EQ(o.error, 8804u);
  EXPECT_EQ(o.code, SQL_NO_DATA_FOUND);
}

TEST(BindingErrors, Texts) {
  struct Case {
    int32_t number;
    const wchar_t* text;
  } cases[] = {
      {-1002, L"[ODBC_BIND] HAM is not reserved"},   {-1003, L"[ODBC_BIND] Illegal data type"},
      {-1007, L"[ODBC_BIND] Illegal driver completion"}, {-1011, L"[ODBC_BIND] Illegal constant in param"},
      {-1018, L"[ODBC_BIND] Illegal transact type"}, {-1019, L"[ODBC_BIND] ODBC is not initialize"},
      {-1001, L"[ODBC_BIND] ODBC unknow internal error code"},
      {-1020, L"[ODBC_BIND] ODBC unknow internal error code"},
  };
  for (const Case& c : cases) EXPECT_STREQ(odbcbind::BindingErrorText(c.number), c.text) << c.number;
}

TEST_F(StubTest, CatalogStringsNullStringStandsForNoValue) {
  Outcome o = Try([] { odbcTables(kEnv, kDbc, kStmt, L"NULL_STRING", L"", L"null_string", L"TABLE"); });
  ASSERT_EQ(o.error, 0u);
  EXPECT_EQ(o.function, L"SQLTables");
  std::vector<Call> calls = Stub::CallsOf("SQLTablesW");
  ASSERT_EQ(calls.size(), 1u);
  const std::vector<int64_t>& a = calls[0].args;
  EXPECT_EQ(a[1], 0);  // NULL_STRING: null pointer, length 0
  EXPECT_EQ(a[2], 0);
  EXPECT_NE(a[3], 0);  // "": an empty value
  EXPECT_EQ(a[4], 0);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(a[5]), L"null_string");
  EXPECT_EQ(a[6], 11);
  EXPECT_EQ(a[8], 5);
}

// Every enumerated argument: the ODBC value each binding value becomes (at
// argument `arg` of the recorded call), and the binding error of values
// outside the table, raised before ODBC is called.
struct EnumCase {
  const char* what;
  std::function<void(int32_t)> call;
  const char* odbcFunction;
  size_t arg;
  std::vector<std::pair<int32_t, int64_t>> values;
  std::vector<int32_t> outside;
  int32_t error;
  const wchar_t* name;
};

std::vector<EnumCase> EnumCases() {
  static wchar_t *a, *b;
  static uint32_t u;
  static data_value_struct* record;
  static void* ham;
  return {
      {"driver completion", [](int32_t v) { odbcDriverConnect(kEnv, kDbc, 0, L"DSN=x", v, &a); },
       "SQLDriverConnectW", 7, {{1, 2}, {2, 1}, {3, 3}, {4, 0}}, {0, 5}, -1007, L"odbcDriverConnect"},
      {"data source direction", [](int32_t v) { odbcDataSources(kEnv, v, &a, &b); }, "SQLDataSourcesW", 1,
       {{1, 2}, {2, 1}}, {0, 3}, -1006, L"odbcDataSources"},
      {"driver direction", [](int32_t v) { odbcDrivers(kEnv, v, &a, &b); }, "SQLDriversW", 1, {{1, 2}, {2, 1}},
       {3}, -1006, L"odbcDrivers"},
      {"fetch direction", [](int32_t v) { odbcExtendedFetch(kEnv, kDbc, kStmt, v, 0, &u); }, "SQLExtendedFetch", 1,
       {{1, 2}, {2, 1}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 8}}, {0, 8}, -1006, L"odbcExtendedFetch"},
      {"free option", [](int32_t v) { odbcFreeStmt(kEnv, kDbc, kStmt, v); }, "SQLFreeStmt", 1,
       {{1, 1}, {2, 0}, {3, 2}, {4, 3}}, {0, 5}, -1008, L"odbcFreeStmt"},
      {"parameter type", [](int32_t v) { odbcBindParameter(kEnv, kDbc, kStmt, 1, v, 5, 0, 0, 0, &ham); },
       "SQLBindParameter", 2, {{1, 1}, {2, 2}}, {0, 3}, -1004, L"odbcBindParameter"},
      {"bind type (C type)", [](int32_t v) { odbcBindCol(kEnv, kDbc, kStmt, 1, v, 8, &ham); }, "SQLBindCol", 2,
       {{1, SQL_C_WCHAR}, {2, SQL_C_BIT}, {3, SQL_C_UTINYINT}, {4, SQL_C_LONG}, {5, SQL_C_LONG}, {6, SQL_C_DOUBLE},
        {7, SQL_C_DOUBLE}, {8, SQL_C_DATE}, {9, SQL_C_TIME}, {10, SQL_C_TIMESTAMP}, {11, SQL_C_BINARY},
        {12, SQL_C_WCHAR}, {13, SQL_C_WCHAR}},
       {0, 14}, -1003, L"odbcBindCol"},
      {"bind type (SQL type)", [](int32_t v) { odbcBindParameter(kEnv, kDbc, kStmt, 1, 1, v, 0, 0, 8, &ham); },
       "SQLBindParameter", 4,
       {{1, SQL_CHAR}, {2, SQL_BIT}, {3, SQL_TINYINT}, {4, SQL_INTEGER}, {6, SQL_REAL}, {7, SQL_DOUBLE},
        {8, SQL_DATE}, {10, SQL_TIMESTAMP}, {11, SQL_BINARY}, {12, SQL_NUMERIC}, {13, SQL_LONGVARCHAR}},
       {-1, 15}, -1003, L"odbcBindParameter"},
      {"type info", [](int32_t v) { odbcGetTypeInfo(kEnv, kDbc, kStmt, v); }, "SQLGetTypeInfoW", 1,
       {{1, SQL_CHAR}, {9, SQL_TIME}, {13, SQL_LONGVARCHAR}}, {0, 14}, -1003, L"odbcGetTypeInfo"},
      {"transact", [](int32_t v) { odbcTransact(kEnv, kDbc, v); }, "SQLTransact", 2, {{1, 0}, {2, 1}}, {0, 3},
       -1018, L"odbcTransact"},
      {"set-position operation", [](int32_t v) { odbcSetPos(kEnv, kDbc, kStmt, 1, v, 1); }, "SQLSetPos", 2,
       {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}}, {0, 6}, -1008, L"odbcSetPos"},
      {"set-position lock", [](int32_t v) { odbcSetPos(kEnv, kDbc, kStmt, 1, 1, v); }, "SQLSetPos", 3,
       {{1, 0}, {2, 1}, {3, 2}}, {0, 4}, -1012, L"odbcSetPos"},
      {"concurrency", [](int32_t v) { odbcSetScrollOptions(kEnv, kDbc, kStmt, v, 0, 1); }, "SQLSetScrollOptions",
       1, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}, {0, 5}, -1013, L"odbcSetScrollOptions"},
      {"keyset", [](int32_t v) { odbcSetScrollOptions(kEnv, kDbc, kStmt, 1, v, 1); }, "SQLSetScrollOptions", 2,
       {{0, -2}, {-3, 0}, {-2, -3}, {-1, -1}, {50, 50}}, {}, 0, nullptr},
      {"special-column kind", [](int32_t v) { odbcSpecialColumns(kEnv, kDbc, kStmt, v, L"", L"", L"t", 1, 1); },
       "SQLSpecialColumnsW", 1, {{1, 1}, {2, 2}}, {0, 3}, -1005, L"odbcSpecialColumns"},
      {"scope", [](int32_t v) { odbcSpecialColumns(kEnv, kDbc, kStmt, 1, L"", L"", L"t", v, 1); },
       "SQLSpecialColumnsW", 8, {{1, 0}, {2, 1}, {3, 2}}, {0, 4}, -1014, L"odbcSpecialColumns"},
      {"nullable", [](int32_t v) { odbcSpecialColumns(kEnv, kDbc, kStmt, 1, L"", L"", L"t", 1, v); },
       "SQLSpecialColumnsW", 9, {{1, 0}, {2, 1}}, {0, 3}, -1015, L"odbcSpecialColumns"},
      {"unique", [](int32_t v) { odbcStatistics(kEnv, kDbc, kStmt, L"", L"", L"t", v, 1); }, "SQLStatisticsW", 7,
       {{1, 0}, {2, 1}}, {0, 3}, -1016, L"odbcStatistics"},
      {"accuracy", [](int32_t v) { odbcStatistics(kEnv, kDbc, kStmt, L"", L"", L"t", 1, v); }, "SQLStatisticsW",
       8, {{1, 1}, {2, 0}}, {0, 3}, -1017, L"odbcStatistics"},
      {"column attribute", [](int32_t v) { odbcColAttributes(kEnv, kDbc, kStmt, 1, v, &record); },
       "SQLColAttributesW", 2,
       {{1, 11}, {2, 12}, {3, 0}, {4, 6}, {5, 18}, {6, 3}, {7, 9}, {8, 1}, {9, 7}, {10, 16}, {11, 4}, {12, 17},
        {13, 5}, {14, 13}, {15, 15}, {16, 2}, {17, 14}, {18, 8}, {19, 10}},
       {0, 20}, -1005, L"odbcColAttributes"},
      {"function number", [](int32_t v) { odbcGetFunctions(kEnv, kDbc, v, &u); }, "SQLGetFunctions", 1,
       {{1, 1}, {23, 23}, {24, 72}, {25, 40}, {43, 58}, {44, 71}, {45, 59}, {56, 70}}, {0, 57}, -1009,
       L"odbcGetFunctions"},
      {"info type", [](int32_t v) { odbcGetInfo(kEnv, kDbc, v, &record); }, "SQLGetInfoW", 1,
       {{1, 0}, {3, 2}, {6, 76}, {35, 111}, {64, 114}, {89, 107}, {90, 48}, {93, 51}, {94, 109}, {96, 52},
        {105, 61}, {106, 71}, {107, 62}, {115, 70}},
       {0, 116}, -1010, L"odbcGetInfo"},
      {"connect option (get)", [](int32_t v) { odbcGetConnectOption(kEnv, kDbc, v, &record); },
       "SQLGetConnectOptionW", 1,
       {{1, 101}, {2, 102}, {3, 109}, {4, 103}, {5, 110}, {6, 104}, {7, 105}, {8, 112}, {9, 111}, {10, 106},
        {11, 107}, {12, 108}},
       {0, 13}, -1008, L"odbcGetConnectOption"},
      {"statement option (get)", [](int32_t v) { odbcGetStmtOption(kEnv, kDbc, kStmt, v, &u); },
       "SQLGetStmtOption", 1,
       {{1, 4}, {2, 5}, {3, 7}, {4, 6}, {5, 8}, {6, 3}, {7, 1}, {8, 2}, {9, 0}, {10, 11}, {11, 9}, {12, 10},
        {13, 12}, {14, 13}, {15, 14}},
       {0, 16}, -1008, L"odbcGetStmtOption"},
      {"statement option (set)", [](int32_t v) { odbcSetStmtOption(kEnv, kDbc, kStmt, v, 1); },
       "SQLSetStmtOption", 1, {{1, 4}, {5, 8}, {13, 12}}, {0, 14, 15}, -1008, L"odbcSetStmtOption"},
      {"cursor type value", [](int32_t v) { odbcSetStmtOption(kEnv, kDbc, kStmt, 4, uint32_t(v)); },
       "SQLSetStmtOption", 2, {{1, 0}, {2, 3}, {3, 1}, {4, 2}}, {0, 5}, -1011, L"odbcSetStmtOption"},
      {"bind type value", [](int32_t v) { odbcSetStmtOption(kEnv, kDbc, kStmt, 2, uint32_t(v)); },
       "SQLSetStmtOption", 2, {{1, 0}}, {0, 2}, -1011, L"odbcSetStmtOption"},
      {"retrieve data value", [](int32_t v) { odbcSetStmtOption(kEnv, kDbc, kStmt, 10, uint32_t(v)); },
       "SQLSetStmtOption", 2, {{1, 1}, {2, 0}}, {3}, -1011, L"odbcSetStmtOption"},
      {"isolation value",
       [](int32_t v) {
         data_co_struct r{1, 0, {v}};
         odbcSetConnectOption(kEnv, kDbc, 12, &r);
       },
       "SQLSetConnectOptionW", 2, {{1, 1}, {2, 2}, {3, 4}, {4, 8}}, {0, 5}, -1011, L"odbcSetConnectOption"},
      {"access mode value",
       [](int32_t v) {
         data_co_struct r{1, 0, {v}};
         odbcSetConnectOption(kEnv, kDbc, 1, &r);
       },
       "SQLSetConnectOptionW", 2, {{1, 1}, {2, 0}}, {3}, -1011, L"odbcSetConnectOption"},
  };
}

TEST_F(StubTest, EveryEnumerationTable) {
  stub.api.SQLGetStmtOption = [](SQLHSTMT, SQLUSMALLINT option, SQLPOINTER v) -> SQLRETURN {
    Stub::Record("SQLGetStmtOption", {0, option});
    *static_cast<SQLULEN*>(v) = 1;
    return SQL_SUCCESS;
  };
  for (const EnumCase& c : EnumCases()) {
    for (auto [value, odbcValue] : c.values) {
      Stub::Calls().clear();
      Outcome o = Try([&] { c.call(value); });
      ASSERT_EQ(o.error, 0u) << c.what << " " << value;
      std::vector<Call> calls = Stub::CallsOf(c.odbcFunction);
      ASSERT_EQ(calls.size(), 1u) << c.what << " " << value;
      EXPECT_EQ(calls[0].args.at(c.arg), odbcValue) << c.what << " " << value;
    }
    for (int32_t value : c.outside) {
      Stub::Calls().clear();
      Outcome o = Try([&] { c.call(value); });
      SCOPED_TRACE(std::string(c.what) + " " + std::to_string(value));
      ExpectBindingError(o, c.error, c.name);
      EXPECT_TRUE(Stub::CallsOf(c.odbcFunction).empty());
    }
  }
}

TEST_F(StubTest, ConnectOptionsPassStringsAndNumbersAndMapBack) {
  data_co_struct text{2, 0, {}};
  text.value.text = L"trace.log";
  ASSERT_EQ(Try([&] { odbcSetConnectOption(kEnv, kDbc, 7, &text); }).error, 0u);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(Stub::CallsOf("SQLSetConnectOptionW")[0].args[2]), L"trace.log");
  data_co_struct number{1, 0, {}};
  number.value.number = 30;
  ASSERT_EQ(Try([&] { odbcSetConnectOption(kEnv, kDbc, 4, &number); }).error, 0u);
  EXPECT_EQ(Stub::CallsOf("SQLSetConnectOptionW")[1].args[2], 30);
  // A number where a string option needs a string is refused.
  ExpectBindingError(Try([&] { odbcSetConnectOption(kEnv, kDbc, 3, &number); }), -1011, L"odbcSetConnectOption");

  static uint32_t given;
  stub.api.SQLGetConnectOptionW = [](SQLHDBC, SQLUSMALLINT o, SQLPOINTER v) -> SQLRETURN {
    if (o == SQL_CURRENT_QUALIFIER)
      wcscpy(static_cast<wchar_t*>(v), L"main");
    else
      memcpy(v, &given, 4);
    return SQL_SUCCESS;
  };
  struct Case {
    int32_t option;
    uint32_t odbcValue;
    intptr_t value;
  } cases[] = {
      {1, 1, 1}, {1, 0, 2}, {2, 1, 2}, {5, 2, 3}, {12, 8, 4}, {12, 3, 3},  // 3 is not in the list: unchanged
      {4, 0x12345, 0x2345},                                                 // numbers: the low 16 bits
  };
  for (const Case& c : cases) {
    given = c.odbcValue;
    data_co_struct* r = nullptr;
    ASSERT_EQ(Try([&] { odbcGetConnectOption(kEnv, kDbc, c.option, &r); }).error, 0u);
    EXPECT_EQ(r->kind, 1u);
    EXPECT_EQ(r->value.number, c.value) << c.option << " " << c.odbcValue;
  }
  data_co_struct* r = nullptr;
  ASSERT_EQ(Try([&] { odbcGetConnectOption(kEnv, kDbc, 3, &r); }).error, 0u);
  EXPECT_EQ(r->kind, 2u);
  EXPECT_STREQ(r->value.text, L"main");
}

TEST_F(StubTest, StatementOptionsMapBackAndNarrow) {
  static SQLULEN given;
  stub.api.SQLGetStmtOption = [](SQLHSTMT, SQLUSMALLINT, SQLPOINTER v) -> SQLRETURN {
    memcpy(v, &given, sizeof given);
    return SQL_SUCCESS;
  };
  struct Case {
    int32_t option;
    SQLULEN odbcValue;
    uint32_t value;
  } cases[] = {{4, 3, 2}, {4, 2, 4}, {10, 0, 2}, {11, 100, 100}, {15, 0x100000007ull, 7}, {3, 9, 9}};
  for (const Case& c : cases) {
    given = c.odbcValue;
    uint32_t v = 0;
    ASSERT_EQ(Try([&] { odbcGetStmtOption(kEnv, kDbc, kStmt, c.option, &v); }).error, 0u);
    EXPECT_EQ(v, c.value) << c.option;
  }
}

TEST_F(StubTest, ColumnAttributesAndDescriptionsConvert) {
  static SQLLEN number;
  stub.api.SQLColAttributesW = [](SQLHSTMT, SQLUSMALLINT, SQLUSMALLINT attribute, SQLPOINTER text, SQLSMALLINT,
                                  SQLSMALLINT*, SQLLEN* n) -> SQLRETURN {
    if (attribute == SQL_COLUMN_NAME) wcscpy(static_cast<wchar_t*>(text), L"Straße");
    *n = number;
    return SQL_SUCCESS;
  };
  struct Case {
    int32_t attribute;
    SQLLEN odbcValue;
    intptr_t value;
  } cases[] = {
      {1, 5, 1}, {2, 0, 0}, {9, 0, 1}, {9, 2, 3}, {19, 1, 2}, {14, 3, 4}, {14, 4, 0},
      {16, SQL_INTEGER, 5}, {16, SQL_FLOAT, 6}, {16, SQL_LONGVARBINARY, 11}, {16, SQL_BIGINT, 12},
      {16, -9, 0}, {4, 0x100000010ll, 16},
  };
  for (const Case& c : cases) {
    number = c.odbcValue;
    data_column_struct* r = nullptr;
    ASSERT_EQ(Try([&] { odbcColAttributes(kEnv, kDbc, kStmt, 1, c.attribute, &r); }).error, 0u);
    EXPECT_EQ(r->kind, uint32_t(c.attribute));
    EXPECT_EQ(r->value.number, c.value) << c.attribute << " " << c.odbcValue;
  }
  data_column_struct* r = nullptr;
  ASSERT_EQ(Try([&] { odbcColAttributes(kEnv, kDbc, kStmt, 1, 8, &r); }).error, 0u);
  EXPECT_STREQ(r->value.text, L"Straße");

  static SQLSMALLINT sqlType, nullable;
  stub.api.SQLDescribeColW = [](SQLHSTMT, SQLUSMALLINT, SQLWCHAR* name, SQLSMALLINT, SQLSMALLINT*,
                                SQLSMALLINT* type, SQLULEN* precision, SQLSMALLINT* scale,
                                SQLSMALLINT* null) -> SQLRETURN {
    wcscpy(reinterpret_cast<wchar_t*>(name), L"größe");
    *type = sqlType;
    *precision = 0x100000020ull;
    *scale = 2;
    *null = nullable;
    return SQL_SUCCESS;
  };
  struct Described {
    SQLSMALLINT sqlType, nullable;
    int32_t type, nullableOut;
  } described[] = {{SQL_FLOAT, 0, 7, 1}, {SQL_REAL, 1, 6, 2}, {0, 2, 1, 3}, {-9, 7, 1, -5},
                   {93, 0, 1, 1}, {SQL_DATE, 0, 8, 1}, {SQL_SMALLINT, 0, 4, 1}};
  for (const Described& d : described) {
    sqlType = d.sqlType;
    nullable = d.nullable;
    wchar_t* name = nullptr;
    int32_t type = 0, scale = 0, null = -5;
    uint32_t precision = 0;
    ASSERT_EQ(Try([&] { odbcDescribeCol(kEnv, kDbc, kStmt, 1, &name, &type, &precision, &scale, &null); }).error,
              0u);
    EXPECT_STREQ(name, L"größe");
    EXPECT_EQ(type, d.type) << d.sqlType;
    EXPECT_EQ(precision, 0x20u);
    EXPECT_EQ(scale, 2);
    EXPECT_EQ(null, d.nullableOut);
  }
}

TEST_F(StubTest, InfoKindsAndFunctionFlags) {
  stub.api.SQLGetInfoW = [](SQLHDBC, SQLUSMALLINT type, SQLPOINTER v, SQLSMALLINT max, SQLSMALLINT*) -> SQLRETURN {
    EXPECT_EQ(max, 1024);
    if (type == SQL_DATA_SOURCE_NAME) wcscpy(static_cast<wchar_t*>(v), L"kalmora");
    if (type == SQL_ACTIVE_CONNECTIONS) *static_cast<SQLUSMALLINT*>(v) = 3;
    if (type == SQL_FETCH_DIRECTION) *static_cast<SQLUINTEGER*>(v) = 0x8000003F;
    return SQL_SUCCESS;
  };
  data_info_struct* r = nullptr;
  ASSERT_EQ(Try([&] { odbcGetInfo(kEnv, kDbc, 3, &r); }).error, 0u);
  EXPECT_EQ(r->kind, 3u);
  EXPECT_STREQ(r->value.text, L"kalmora");
  ASSERT_EQ(Try([&] { odbcGetInfo(kEnv, kDbc, 1, &r); }).error, 0u);
  EXPECT_EQ(r->kind, 1u);
  EXPECT_EQ(r->value.number, 3);
  ASSERT_EQ(Try([&] { odbcGetInfo(kEnv, kDbc, 11, &r); }).error, 0u);
  EXPECT_EQ(r->kind, 2u);
  EXPECT_EQ(uint32_t(r->value.number), 0x8000003Fu);
  EXPECT_EQ(LastError().function, L"SQLGetInfo");
}

TEST_F(StubTest, OutputsNarrowFromOdbcSizes) {
  stub.api.SQLRowCount = [](SQLHSTMT, SQLLEN* n) -> SQLRETURN {
    *n = 1234567;
    return SQL_SUCCESS;
  };
  stub.api.SQLNumResultCols = [](SQLHSTMT, SQLSMALLINT* n) -> SQLRETURN {
    *n = -2;
    return SQL_SUCCESS;
  };
  stub.api.SQLGetStmtOption = [](SQLHSTMT, SQLUSMALLINT, SQLPOINTER v) -> SQLRETURN {
    *static_cast<SQLULEN*>(v) = 1;
    return SQL_SUCCESS;
  };
  stub.api.SQLExtendedFetch = [](SQLHSTMT, SQLUSMALLINT, SQLLEN row, SQLULEN* count, SQLUSMALLINT*) -> SQLRETURN {
    EXPECT_EQ(row, -3);
    *count = 0x100000001ull;
    return SQL_SUCCESS;
  };
  int32_t n = 0;
  ASSERT_EQ(Try([&] { odbcRowCount(kEnv, kDbc, kStmt, &n); }).error, 0u);
  EXPECT_EQ(n, 1234567);
  ASSERT_EQ(Try([&] { odbcNumResultCols(kEnv, kDbc, kStmt, &n); }).error, 0u);
  EXPECT_EQ(n, -2);
  uint32_t count = 0;
  ASSERT_EQ(Try([&] { odbcExtendedFetch(kEnv, kDbc, kStmt, 6, -3, &count); }).error, 0u);
  EXPECT_EQ(count, 1u);
}

}  // namespace
