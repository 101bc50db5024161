// The odbc call family: one export per ODBC call.  Each maps its enumerated
// arguments (a value outside a table raises its binding error before ODBC is
// called), calls the one ODBC function through the table, runs the
// return-code step under the ODBC function's name and writes its outputs.
// ODBC's SQLLEN/SQLULEN outputs are received whole and narrowed to the
// documented 32-bit outputs.
#include <cstring>
#include <initializer_list>

#include "binding.h"
#include "qel6kernel.h"

namespace odbcbind {

namespace kernel = Qel::RunTime::Kernel;

namespace {

constexpr SQLSMALLINT kTextChars = 512;

// A receive buffer for ODBC's string outputs, empty until ODBC writes.
struct TextBuffer {
  SQLWCHAR text[kTextChars] = {};
  SQLSMALLINT length = 0;
  wchar_t* Copy() {
    text[kTextChars - 1] = 0;
    return kernel::Memory::CopyStringToGStack(reinterpret_cast<const wchar_t*>(text));
  }
};

SQLWCHAR* W(const wchar_t* s) { return reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(s)); }
SQLSMALLINT Length(const wchar_t* s) { return s ? SQLSMALLINT(lstrlenW(s)) : 0; }

// A catalog string: "NULL_STRING" (exactly) stands for no value.
struct CatalogString {
  SQLWCHAR* text;
  SQLSMALLINT length;
};
CatalogString Catalog(const wchar_t* s) {
  if (!s || wcscmp(s, L"NULL_STRING") == 0) return {nullptr, 0};
  return {W(s), Length(s)};
}

// Enumerations whose binding values run 1..N: the ODBC value of `value`, or
// binding error `error` under `name`.
int32_t Enum(int64_t value, std::initializer_list<int32_t> odbcValues, int32_t error, const wchar_t* name) {
  if (value < 1 || uint64_t(value) > odbcValues.size()) BindingError(error, name);
  return odbcValues.begin()[value - 1];
}

// The binding value of an ODBC value, or 0 when it has none.
int32_t Unmap(int64_t odbcValue, std::initializer_list<int32_t> odbcValues) {
  int32_t i = 1;
  for (int32_t v : odbcValues) {
    if (v == odbcValue) return i;
    ++i;
  }
  return 0;
}

// Nullable, updatable: 0, 1, 2 -> 1, 2, 3.
void SetTriState(int32_t* out, int64_t odbcValue) {
  if (odbcValue >= 0 && odbcValue <= 2) *out = int32_t(odbcValue + 1);
}

data_value_struct* NewRecord(uint32_t kind) {
  auto* r = reinterpret_cast<data_value_struct*>(kernel::Memory::AllocGStack(sizeof(data_value_struct)));
  memset(r, 0, sizeof *r);
  r->kind = kind;
  return r;
}

// Binds a fresh Ham through `bind`; a refused bind leaves no Ham behind.
template <class Bind>
Ham* BindHam(const wchar_t* name, const wchar_t* odbcName, SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt,
             int32_t type, int32_t length, uint32_t rows, Bind bind) {
  Ham* ham = CreateHam(name, type, length, rows);
  SQLRETURN rc = bind(ham);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
    UnregisterHam(ham);
    kernel::Memory::ReleaseHeap(ham);
  }
  Check(rc, odbcName, env, dbc, stmt);
  return ham;
}

// Parameters that ODBC will read for the next execution must fit their Hams.
void CheckParameters(SQLHSTMT stmt, const wchar_t* name) {
  CheckBoundRows(stmt, BindKind::Parameter, ParamRows(stmt), name);
}

struct ConnectOption {
  SQLUSMALLINT odbc;
  enum Kind : uint8_t { Mapped, Text, Number } kind;
  std::initializer_list<int32_t> values;
};
const ConnectOption& ConnectOptionOf(int32_t option, const wchar_t* name) {
  static const ConnectOption table[] = {
      {SQL_ACCESS_MODE, ConnectOption::Mapped, {1, 0}},
      {SQL_AUTOCOMMIT, ConnectOption::Mapped, {0, 1}},
      {SQL_CURRENT_QUALIFIER, ConnectOption::Text, {}},
      {SQL_LOGIN_TIMEOUT, ConnectOption::Number, {}},
      {SQL_ODBC_CURSORS, ConnectOption::Mapped, {0, 1, 2}},
      {SQL_OPT_TRACE, ConnectOption::Mapped, {0, 1}},
      {SQL_OPT_TRACEFILE, ConnectOption::Text, {}},
      {SQL_PACKET_SIZE, ConnectOption::Number, {}},
      {SQL_QUIET_MODE, ConnectOption::Number, {}},
      {SQL_TRANSLATE_DLL, ConnectOption::Text, {}},
      {SQL_TRANSLATE_OPTION, ConnectOption::Number, {}},
      {SQL_TXN_ISOLATION, ConnectOption::Mapped, {1, 2, 4, 8}},
  };
  if (option < 1 || option > 12) BindingError(kIllegalOption, name);
  return table[option - 1];
}

struct StmtOption {
  SQLUSMALLINT odbc;
  std::initializer_list<int32_t> values;  // empty: a number
};
// Options 14 and 15 can only be read.
const StmtOption& StmtOptionOf(int32_t option, int32_t last, const wchar_t* name) {
  static const StmtOption table[] = {
      {SQL_ASYNC_ENABLE, {0, 1}},  {SQL_BIND_TYPE, {0}},        {SQL_CONCURRENCY, {1, 2, 3, 4}},
      {SQL_CURSOR_TYPE, {0, 3, 1, 2}}, {SQL_KEYSET_SIZE, {}},   {SQL_MAX_LENGTH, {}},
      {SQL_MAX_ROWS, {}},          {SQL_NOSCAN, {0, 1}},        {SQL_QUERY_TIMEOUT, {}},
      {SQL_RETRIEVE_DATA, {1, 0}}, {SQL_ROWSET_SIZE, {}},       {SQL_SIMULATE_CURSOR, {0, 1, 2}},
      {SQL_USE_BOOKMARKS, {0, 1}}, {SQL_GET_BOOKMARK, {}},      {SQL_ROW_NUMBER, {}},
  };
  if (option < 1 || option > last) BindingError(kIllegalOption, name);
  return table[option - 1];
}

struct InfoType {
  SQLUSMALLINT odbc;
  uint8_t kind;  // 1 16-bit number, 2 32-bit number or mask, 3 string
};
const InfoType& InfoTypeOf(int32_t info, const wchar_t* name) {
  static const InfoType table[] = {
      {0, 1},   {1, 1},   {2, 3},   {3, 2},   {4, 2},   {76, 2},  {5, 2},   {6, 3},   {77, 3},  {7, 3},
      {8, 2},   {84, 1},  {81, 2},  {78, 2},  {9, 1},   {12, 1},  {10, 3},  {79, 2},  {11, 3},  {14, 3},
      {13, 3},  {16, 3},  {17, 3},  {18, 3},  {20, 3},  {19, 3},  {82, 2},  {22, 1},  {23, 1},  {24, 1},
      {25, 3},  {26, 2},  {36, 3},  {37, 3},  {111, 3}, {85, 1},  {39, 3},  {40, 3},  {42, 3},  {43, 2},
      {44, 2},  {83, 2},  {45, 3},  {46, 1},  {72, 2},  {47, 3},  {86, 2},  {87, 3},  {74, 1},  {27, 3},
      {88, 1},  {28, 1},  {29, 3},  {89, 3},  {113, 3}, {75, 1},  {15, 1},  {73, 3},  {90, 3},  {38, 3},
      {91, 2},  {80, 2},  {21, 3},  {114, 1}, {41, 3},  {92, 2},  {93, 1},  {94, 3},  {95, 2},  {96, 2},
      {112, 2}, {108, 2}, {30, 1},  {97, 1},  {99, 1},  {98, 1},  {100, 1}, {101, 1}, {31, 1},  {102, 2},
      {32, 1},  {33, 1},  {34, 1},  {104, 2}, {103, 3}, {105, 2}, {35, 1},  {106, 1}, {107, 1}, {48, 2},
      {49, 2},  {50, 2},  {51, 2},  {109, 2}, {110, 2}, {52, 2},  {53, 2},  {54, 2},  {55, 2},  {56, 2},
      {57, 2},  {58, 2},  {59, 2},  {60, 2},  {61, 2},  {71, 2},  {62, 2},  {63, 2},  {64, 2},  {65, 2},
      {66, 2},  {67, 2},  {68, 2},  {69, 2},  {70, 2},
  };
  static_assert(sizeof table / sizeof table[0] == 115);
  if (info < 1 || info > 115) BindingError(kIllegalInfoType, name);
  return table[info - 1];
}

SQLUSMALLINT FunctionOf(int32_t function, const wchar_t* name) {
  if (function >= 1 && function <= 23) return SQLUSMALLINT(function);
  if (function == 24) return SQL_API_SQLBINDPARAMETER;
  if (function >= 25 && function <= 43) return SQLUSMALLINT(function + 15);
  if (function == 44) return SQL_API_SQLDRIVERS;
  if (function >= 45 && function <= 56) return SQLUSMALLINT(function + 14);
  BindingError(kIllegalFunction, name);
}

int32_t DescribeColType(SQLSMALLINT sqlType) {
  if (sqlType == SQL_FLOAT) return odbcDouble;
  if (sqlType == 0 || sqlType < -7 || sqlType > 12) return odbcString;
  return BindingTypeOfSql(sqlType);
}

// One step through the data sources or the drivers: their name and text.
void List(decltype(&::SQLDataSourcesW) step, const wchar_t* name, const wchar_t* odbcName, SQLHENV env,
          int32_t direction, wchar_t** first, wchar_t** second) {
  SQLUSMALLINT d = SQLUSMALLINT(Enum(direction, {SQL_FETCH_FIRST, SQL_FETCH_NEXT}, kIllegalDirection, name));
  TextBuffer a, b;
  Check(step(env, d, a.text, kTextChars, &a.length, b.text, kTextChars, &b.length), odbcName, env);
  *first = a.Copy();
  *second = b.Copy();
}

// The return-code step of a fetch: the end of the data fails.
void Fetch(SQLRETURN rc, const wchar_t* name, SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
  if (rc == SQL_NO_DATA_FOUND) EndOfData(name);
  Check(rc, name, env, dbc, stmt);
}

}  // namespace

}  // namespace odbcbind

using namespace odbcbind;

extern "C" {

void odbcAllocEnv(odbcHandle* env) {
  SQLHENV h = nullptr;
  Check(odbc->SQLAllocEnv(&h), L"SQLAllocEnv");
  *env = h;
}

void odbcAllocConnect(odbcHandle env, odbcHandle* dbc) {
  SQLHDBC h = nullptr;
  Check(odbc->SQLAllocConnect(env, &h), L"SQLAllocConnect", env);
  *dbc = h;
}

void odbcAllocStmt(odbcHandle env, odbcHandle dbc, odbcHandle* stmt) {
  SQLHSTMT h = nullptr;
  Check(odbc->SQLAllocStmt(dbc, &h), L"SQLAllocStmt", env, dbc);
  *stmt = h;
}

void odbcConnect(odbcHandle env, odbcHandle dbc, const wchar_t* source, const wchar_t* user,
                 const wchar_t* password) {
  Check(odbc->SQLConnectW(dbc, W(source), Length(source), W(user), Length(user), W(password), Length(password)),
        L"SQLConnectW", env, dbc);
}

void odbcDriverConnect(odbcHandle env, odbcHandle dbc, intptr_t window, const wchar_t* in, int32_t completion,
                       wchar_t** out) {
  SQLUSMALLINT mode = SQLUSMALLINT(Enum(completion, {SQL_DRIVER_PROMPT, SQL_DRIVER_COMPLETE,
                                                     SQL_DRIVER_COMPLETE_REQUIRED, SQL_DRIVER_NOPROMPT},
                                        kIllegalCompletion, L"odbcDriverConnect"));
  TextBuffer result;
  Check(odbc->SQLDriverConnectW(dbc, reinterpret_cast<SQLHWND>(window), W(in), Length(in), result.text,
                                kTextChars, &result.length, mode),
        L"SQLDriverConnect", env, dbc);
  *out = result.Copy();
}

void odbcBrowseConnect(odbcHandle env, odbcHandle dbc, const wchar_t* in, wchar_t** out) {
  TextBuffer result;
  Check(odbc->SQLBrowseConnectW(dbc, W(in), Length(in), result.text, kTextChars, &result.length),
        L"SQLBrowseConnect", env, dbc);
  *out = result.Copy();
}

void odbcDisconnect(odbcHandle env, odbcHandle dbc) {
  Check(odbc->SQLDisconnect(dbc), L"SQLDisconnect", env, dbc);
  ForgetConnection(dbc);
}

void odbcFreeConnect(odbcHandle env, odbcHandle dbc) {
  Check(odbc->SQLFreeConnect(dbc), L"SQLFreeConnect", env, dbc);
  ForgetConnection(dbc);
}

void odbcFreeEnv(odbcHandle env) { Check(odbc->SQLFreeEnv(env), L"SQLFreeEnv", env); }

void odbcDataSources(odbcHandle env, int32_t direction, wchar_t** name, wchar_t** description) {
  List(odbc->SQLDataSourcesW, L"odbcDataSources", L"SQLDataSources", env, direction, name, description);
}

void odbcDrivers(odbcHandle env, int32_t direction, wchar_t** name, wchar_t** attributes) {
  List(odbc->SQLDriversW, L"odbcDrivers", L"SQLDrivers", env, direction, name, attributes);
}

void odbcExecDirect(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* text) {
  CheckParameters(stmt, L"odbcExecDirect");
  Check(odbc->SQLExecDirectW(stmt, W(text), SQL_NTS), L"SQLExecDirect", env, dbc, stmt);
}

void odbcPrepare(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* text) {
  Check(odbc->SQLPrepareW(stmt, W(text), Length(text)), L"SQLPrepare", env, dbc, stmt);
}

void odbcExecute(odbcHandle env, odbcHandle dbc, odbcHandle stmt) {
  CheckParameters(stmt, L"odbcExecute");
  Check(odbc->SQLExecute(stmt), L"SQLExecute", env, dbc, stmt);
}

void odbcCancel(odbcHandle env, odbcHandle dbc, odbcHandle stmt) {
  Check(odbc->SQLCancel(stmt), L"SQLCancel", env, dbc, stmt);
}

void odbcMoreResults(odbcHandle env, odbcHandle dbc, odbcHandle stmt) {
  Check(odbc->SQLMoreResults(stmt), L"SQLMoreResults", env, dbc, stmt);
}

void odbcFetch(odbcHandle env, odbcHandle dbc, odbcHandle stmt) {
  Fetch(odbc->SQLFetch(stmt), L"SQLFetch", env, dbc, stmt);
}

void odbcExtendedFetch(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t direction, int32_t row,
                       uint32_t* count) {
  SQLUSMALLINT d = SQLUSMALLINT(Enum(direction, {SQL_FETCH_FIRST, SQL_FETCH_NEXT, SQL_FETCH_LAST,
                                                 SQL_FETCH_PRIOR, SQL_FETCH_ABSOLUTE, SQL_FETCH_RELATIVE,
                                                 SQL_FETCH_BOOKMARK},
                                     kIllegalDirection, L"odbcExtendedFetch"));
  SQLULEN rowset = 0;
  Check(odbc->SQLGetStmtOption(stmt, SQL_ROWSET_SIZE, &rowset), L"SQLGetStmtOption", env, dbc, stmt);
  if (rowset == 0) rowset = 1;
  CheckBoundRows(stmt, BindKind::Column, rowset, L"odbcExtendedFetch");
  // One status per row of the rowset: on the machine stack while that is
  // small, else on the heap (left to the collector when the fetch raises).
  SQLUSMALLINT local[4000];
  SQLUSMALLINT* status = local;
  if (rowset > 4000) {
    if (rowset > UINT32_MAX / sizeof(SQLUSMALLINT)) BindingError(kIllegalConstant, L"odbcExtendedFetch");
    status = static_cast<SQLUSMALLINT*>(kernel::Memory::AllocHeap(uint32_t(rowset * sizeof(SQLUSMALLINT))));
  }
  SQLULEN fetched = 0;
  Fetch(odbc->SQLExtendedFetch(stmt, d, row, &fetched, status), L"SQLExtendedFetch", env, dbc, stmt);
  if (status != local) kernel::Memory::ReleaseHeap(status);
  *count = uint32_t(fetched);
}

void odbcFreeStmt(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t option) {
  SQLUSMALLINT o = SQLUSMALLINT(Enum(option, {SQL_DROP, SQL_CLOSE, SQL_UNBIND, SQL_RESET_PARAMS},
                                     kIllegalOption, L"odbcFreeStmt"));
  Check(odbc->SQLFreeStmt(stmt, o), L"SQLFreeStmt", env, dbc, stmt);
  if (o == SQL_DROP) ForgetStatement(stmt);
  if (o == SQL_UNBIND) ForgetBindings(stmt, BindKind::Column);
  if (o == SQL_RESET_PARAMS) ForgetBindings(stmt, BindKind::Parameter);
}

void odbcNumResultCols(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t* count) {
  SQLSMALLINT n = 0;
  Check(odbc->SQLNumResultCols(stmt, &n), L"SQLNumResultCols", env, dbc, stmt);
  *count = n;
}

void odbcNumParams(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t* count) {
  SQLSMALLINT n = 0;
  Check(odbc->SQLNumParams(stmt, &n), L"SQLNumParams", env, dbc, stmt);
  *count = n;
}

void odbcRowCount(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t* count) {
  SQLLEN n = 0;
  Check(odbc->SQLRowCount(stmt, &n), L"SQLRowCount", env, dbc, stmt);
  *count = int32_t(n);
}

void odbcDescribeCol(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column, wchar_t** name,
                     int32_t* type, uint32_t* precision, int32_t* scale, int32_t* nullable) {
  TextBuffer n;
  SQLSMALLINT sqlType = 0, s = 0, null = 0;
  SQLULEN p = 0;
  Check(odbc->SQLDescribeColW(stmt, SQLUSMALLINT(column), n.text, kTextChars, &n.length, &sqlType, &p, &s, &null),
        L"SQLDescribeCol", env, dbc, stmt);
  *name = n.Copy();
  *type = DescribeColType(sqlType);
  *precision = uint32_t(p);
  *scale = s;
  SetTriState(nullable, null);
}

void odbcDescribeParam(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter, int32_t* type,
                       uint32_t* precision, int32_t* scale, int32_t* nullable) {
  SQLSMALLINT sqlType = 0, s = 0, null = 0;
  SQLULEN p = 0;
  Check(odbc->SQLDescribeParam(stmt, SQLUSMALLINT(parameter), &sqlType, &p, &s, &null), L"SQLDescribeParam", env,
        dbc, stmt);
  if (int32_t t = BindingTypeOfSql(sqlType)) *type = t;
  *precision = uint32_t(p);
  *scale = s;
  SetTriState(nullable, null);
}

void odbcColAttributes(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column, int32_t attribute,
                       data_column_struct** value) {
  enum Result : uint8_t { Boolean, Number, Text, TriState, Searchable, Type };
  struct Attribute {
    SQLUSMALLINT odbc;
    Result result;
  };
  static const Attribute table[] = {
      {SQL_COLUMN_AUTO_INCREMENT, Boolean}, {SQL_COLUMN_CASE_SENSITIVE, Boolean}, {SQL_COLUMN_COUNT, Number},
      {SQL_COLUMN_DISPLAY_SIZE, Number},    {SQL_COLUMN_LABEL, Text},            {SQL_COLUMN_LENGTH, Number},
      {SQL_COLUMN_MONEY, Boolean},          {SQL_COLUMN_NAME, Text},             {SQL_COLUMN_NULLABLE, TriState},
      {SQL_COLUMN_OWNER_NAME, Text},        {SQL_COLUMN_PRECISION, Number},      {SQL_COLUMN_QUALIFIER_NAME, Text},
      {SQL_COLUMN_SCALE, Number},           {SQL_COLUMN_SEARCHABLE, Searchable}, {SQL_COLUMN_TABLE_NAME, Text},
      {SQL_COLUMN_TYPE, Type},              {SQL_COLUMN_TYPE_NAME, Text},        {SQL_COLUMN_UNSIGNED, Boolean},
      {SQL_COLUMN_UPDATABLE, TriState},
  };
  if (attribute < 1 || attribute > 19) BindingError(kIllegalColumnType, L"odbcColAttributes");
  const Attribute& a = table[attribute - 1];
  TextBuffer text;
  SQLLEN number = 0;
  Check(odbc->SQLColAttributesW(stmt, SQLUSMALLINT(column), a.odbc, text.text, kTextChars * sizeof(SQLWCHAR),
                                &text.length, &number),
        L"SQLColAttributes", env, dbc, stmt);
  data_column_struct* r = NewRecord(uint32_t(attribute));
  switch (a.result) {
    case Boolean: r->value.number = number != 0; break;
    case Number: r->value.number = int32_t(number); break;
    case Text: r->value.text = text.Copy(); break;
    case TriState:
      if (number >= 0 && number <= 2) r->value.number = number + 1;
      break;
    case Searchable:
      if (number >= 0 && number <= 3) r->value.number = number + 1;
      break;
    case Type: r->value.number = BindingTypeOfSql(SQLSMALLINT(number)); break;
  }
  *value = r;
}

void odbcBindColArray(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column, int32_t type,
                      int32_t length, uint16_t rows, void** out) {
  const wchar_t* name = L"odbcBindCol";
  const TypeInfo& info = TypeOf(type, name);
  Ham* ham = BindHam(name, L"SQLBindCol", env, dbc, stmt, type, length, rows, [&](Ham* h) {
    return odbc->SQLBindCol(stmt, SQLUSMALLINT(column), info.cType, h->Data(), SQLLEN(h->header.elementSize),
                            h->Indicators());
  });
  RecordBinding(dbc, stmt, BindKind::Column, column, ham);
  *out = ham;
}

void odbcBindCol(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column, int32_t type, int32_t length,
                 void** ham) {
  odbcBindColArray(env, dbc, stmt, column, type, length, 1, ham);
}

void odbcBindParameterArray(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter,
                            int32_t direction, int32_t type, uint32_t columnSize, int32_t scale, int32_t length,
                            uint16_t rows, void** out) {
  const wchar_t* name = L"odbcBindParameter";
  SQLSMALLINT io = SQLSMALLINT(Enum(direction, {SQL_PARAM_INPUT, SQL_PARAM_INPUT_OUTPUT}, kIllegalParamType, name));
  const TypeInfo& info = TypeOf(type, name);
  Ham* ham = BindHam(name, L"SQLBindParameter", env, dbc, stmt, type, length, rows, [&](Ham* h) {
    return odbc->SQLBindParameter(stmt, SQLUSMALLINT(parameter), io, info.cType, info.sqlType, columnSize,
                                  SQLSMALLINT(scale), h->Data(), SQLLEN(h->header.elementSize), h->Indicators());
  });
  RecordBinding(dbc, stmt, BindKind::Parameter, parameter, ham);
  *out = ham;
}

void odbcBindParameter(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter, int32_t direction,
                       int32_t type, uint32_t columnSize, int32_t scale, int32_t length, void** ham) {
  odbcBindParameterArray(env, dbc, stmt, parameter, direction, type, columnSize, scale, length, 1, ham);
}

void odbcSetParam(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t parameter, int32_t type,
                  uint32_t columnSize, int32_t scale, int32_t length, void** out) {
  const wchar_t* name = L"odbcSetParam";
  const TypeInfo& info = TypeOf(type, name);
  Ham* ham = BindHam(name, L"SQLSetParam", env, dbc, stmt, type, length, 1, [&](Ham* h) {
    return odbc->SQLSetParam(stmt, SQLUSMALLINT(parameter), info.cType, info.sqlType, columnSize,
                             SQLSMALLINT(scale), h->Data(), h->Indicators());
  });
  RecordBinding(dbc, stmt, BindKind::Parameter, parameter, ham);
  *out = ham;
}

void odbcParamOptions(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t rows, void* cell) {
  Check(odbc->SQLParamOptions(stmt, rows, static_cast<SQLULEN*>(cell)), L"SQLParamOptions", env, dbc, stmt);
  SetParamRows(dbc, stmt, rows);
}

void odbcParamData(odbcHandle env, odbcHandle dbc, odbcHandle stmt, void** out) {
  SQLPOINTER data = nullptr;
  SQLRETURN rc = odbc->SQLParamData(stmt, &data);
  if (Ham* ham = data ? FindHamByData(data) : nullptr) *out = ham;
  Check(rc, L"SQLParamData", env, dbc, stmt);
}

// Sends the first element: text up to its terminator, a binary as long as
// its indicator says, within the element.
void odbcPutData(odbcHandle env, odbcHandle dbc, odbcHandle stmt, void* address) {
  Ham* ham = FindHam(address, L"odbcPutData");
  SQLLEN size = ham->header.elementSize, length = ham->Indicators()[0];
  if (length != SQL_NTS && length != SQL_NULL_DATA && (length < 0 || length > size)) length = size;
  Check(odbc->SQLPutData(stmt, ham->Data(), length), L"SQLPutData", env, dbc, stmt);
}

void odbcGetCursorName(odbcHandle env, odbcHandle dbc, odbcHandle stmt, wchar_t** name) {
  TextBuffer n;
  Check(odbc->SQLGetCursorNameW(stmt, n.text, kTextChars, &n.length), L"SQLGetCursorName", env, dbc, stmt);
  *name = n.Copy();
}

void odbcSetCursorName(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* name) {
  Check(odbc->SQLSetCursorNameW(stmt, W(name), Length(name)), L"SQLSetCursorName", env, dbc, stmt);
}

void odbcNativeSql(odbcHandle env, odbcHandle dbc, const wchar_t* in, wchar_t** out) {
  SQLWCHAR text[1000] = {};
  SQLINTEGER length = 0;
  Check(odbc->SQLNativeSqlW(dbc, W(in), Length(in), text, 999, &length), L"SQLNativeSql", env, dbc);
  text[999] = 0;
  *out = kernel::Memory::CopyStringToGStack(reinterpret_cast<const wchar_t*>(text));
}

void odbcTransact(odbcHandle env, odbcHandle dbc, int32_t kind) {
  SQLUSMALLINT k = SQLUSMALLINT(Enum(kind, {SQL_COMMIT, SQL_ROLLBACK}, kIllegalTransact, L"odbcTransact"));
  Check(odbc->SQLTransact(env, dbc, k), L"SQLTransact", env, dbc);
}

void odbcSetPos(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t row, int32_t operation, int32_t lock) {
  SQLUSMALLINT op = SQLUSMALLINT(Enum(operation, {SQL_POSITION, SQL_REFRESH, SQL_UPDATE, SQL_DELETE, SQL_ADD},
                                      kIllegalOption, L"odbcSetPos"));
  SQLUSMALLINT l = SQLUSMALLINT(Enum(lock, {SQL_LOCK_NO_CHANGE, SQL_LOCK_EXCLUSIVE, SQL_LOCK_UNLOCK},
                                     kIllegalLock, L"odbcSetPos"));
  Check(odbc->SQLSetPos(stmt, row, op, l), L"SQLSetPos", env, dbc, stmt);
}

void odbcSetScrollOptions(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t concurrency, int32_t keyset,
                          uint32_t rowset) {
  const wchar_t* name = L"odbcSetScrollOptions";
  SQLUSMALLINT c = SQLUSMALLINT(Enum(concurrency, {1, 2, 3, 4}, kIllegalConcurrency, name));
  SQLLEN k = keyset == 0    ? SQL_SCROLL_DYNAMIC
             : keyset == -3 ? SQL_SCROLL_FORWARD_ONLY
             : keyset == -2 ? SQL_SCROLL_STATIC
                            : SQLLEN(keyset);
  if (rowset > UINT16_MAX) BindingError(kIllegalConstant, name);
  Check(odbc->SQLSetScrollOptions(stmt, c, k, SQLUSMALLINT(rowset)), L"SQLSetScrollOptions", env, dbc, stmt);
}

void odbcGetConnectOption(odbcHandle env, odbcHandle dbc, int32_t option, data_co_struct** value) {
  const ConnectOption& o = ConnectOptionOf(option, L"odbcGetConnectOption");
  SQLWCHAR buffer[kTextChars] = {};
  Check(odbc->SQLGetConnectOptionW(dbc, o.odbc, buffer), L"SQLGetConnectOption", env, dbc);
  data_co_struct* r = NewRecord(o.kind == ConnectOption::Text ? 2 : 1);
  if (o.kind == ConnectOption::Text) {
    buffer[kTextChars - 1] = 0;
    r->value.text = kernel::Memory::CopyStringToGStack(reinterpret_cast<const wchar_t*>(buffer));
  } else {
    uint32_t word;
    memcpy(&word, buffer, 4);
    int32_t number = uint16_t(word);
    int32_t mapped = o.kind == ConnectOption::Mapped ? Unmap(number, o.values) : 0;
    r->value.number = mapped ? mapped : number;
  }
  *value = r;
}

void odbcSetConnectOption(odbcHandle env, odbcHandle dbc, int32_t option, data_co_struct* value) {
  const wchar_t* name = L"odbcSetConnectOption";
  const ConnectOption& o = ConnectOptionOf(option, name);
  if (!value || (o.kind == ConnectOption::Text && value->kind != 2)) BindingError(kIllegalConstant, name);
  SQLULEN v;
  if (o.kind == ConnectOption::Text)
    v = reinterpret_cast<SQLULEN>(value->value.text);
  else if (o.kind == ConnectOption::Number)
    v = SQLULEN(uint32_t(value->value.number));
  else
    v = SQLULEN(Enum(int32_t(value->value.number), o.values, kIllegalConstant, name));
  Check(odbc->SQLSetConnectOptionW(dbc, o.odbc, v), L"SQLSetConnectOption", env, dbc);
}

void odbcGetStmtOption(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t option, uint32_t* value) {
  const StmtOption& o = StmtOptionOf(option, 15, L"odbcGetStmtOption");
  alignas(8) uint8_t buffer[256] = {};
  Check(odbc->SQLGetStmtOption(stmt, o.odbc, buffer), L"SQLGetStmtOption", env, dbc, stmt);
  SQLULEN number;
  memcpy(&number, buffer, sizeof number);
  int32_t mapped = o.values.size() ? Unmap(int64_t(number), o.values) : 0;
  *value = mapped ? uint32_t(mapped) : uint32_t(number);
}

void odbcSetStmtOption(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t option, uint32_t value) {
  const wchar_t* name = L"odbcSetStmtOption";
  const StmtOption& o = StmtOptionOf(option, 13, name);
  SQLULEN v = o.values.size() ? SQLULEN(Enum(int64_t(value), o.values, kIllegalConstant, name)) : value;
  Check(odbc->SQLSetStmtOption(stmt, o.odbc, v), L"SQLSetStmtOption", env, dbc, stmt);
}

void odbcGetFunctions(odbcHandle env, odbcHandle dbc, int32_t function, uint32_t* exists) {
  SQLUSMALLINT f = FunctionOf(function, L"odbcGetFunctions");
  SQLUSMALLINT flag = 0;
  Check(odbc->SQLGetFunctions(dbc, f, &flag), L"SQLGetFunctions", env, dbc);
  *exists = flag;
}

void odbcGetInfo(odbcHandle env, odbcHandle dbc, int32_t info, data_info_struct** value) {
  const InfoType& t = InfoTypeOf(info, L"odbcGetInfo");
  SQLWCHAR buffer[kTextChars] = {};
  SQLSMALLINT length = 0;
  Check(odbc->SQLGetInfoW(dbc, t.odbc, buffer, sizeof buffer, &length), L"SQLGetInfo", env, dbc);
  data_info_struct* r = NewRecord(t.kind);
  if (t.kind == 3) {
    buffer[kTextChars - 1] = 0;
    r->value.text = kernel::Memory::CopyStringToGStack(reinterpret_cast<const wchar_t*>(buffer));
  } else {
    uint32_t word;
    memcpy(&word, buffer, 4);
    r->value.number = int32_t(word);
  }
  *value = r;
}

void odbcGetTypeInfo(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t type) {
  const TypeInfo& info = TypeOf(type, L"odbcGetTypeInfo");
  Check(odbc->SQLGetTypeInfoW(stmt, info.sqlType), L"SQLGetTypeInfo", env, dbc, stmt);
}

void odbcTables(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier, const wchar_t* owner,
                const wchar_t* table, const wchar_t* tableType) {
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(table), d = Catalog(tableType);
  Check(odbc->SQLTablesW(stmt, a.text, a.length, b.text, b.length, c.text, c.length, d.text, d.length),
        L"SQLTables", env, dbc, stmt);
}

void odbcColumns(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier, const wchar_t* owner,
                 const wchar_t* table, const wchar_t* column) {
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(table), d = Catalog(column);
  Check(odbc->SQLColumnsW(stmt, a.text, a.length, b.text, b.length, c.text, c.length, d.text, d.length),
        L"SQLColumns", env, dbc, stmt);
}

void odbcColumnPrivileges(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                          const wchar_t* owner, const wchar_t* table, const wchar_t* column) {
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(table), d = Catalog(column);
  Check(odbc->SQLColumnPrivilegesW(stmt, a.text, a.length, b.text, b.length, c.text, c.length, d.text, d.length),
        L"SQLColumnPrivileges", env, dbc, stmt);
}

void odbcProcedureColumns(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                          const wchar_t* owner, const wchar_t* procedure, const wchar_t* column) {
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(procedure), d = Catalog(column);
  Check(odbc->SQLProcedureColumnsW(stmt, a.text, a.length, b.text, b.length, c.text, c.length, d.text, d.length),
        L"SQLProcedureColumns", env, dbc, stmt);
}

void odbcTablePrivileges(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                         const wchar_t* owner, const wchar_t* table) {
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(table);
  Check(odbc->SQLTablePrivilegesW(stmt, a.text, a.length, b.text, b.length, c.text, c.length),
        L"SQLTablePrivileges", env, dbc, stmt);
}

void odbcPrimaryKeys(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                     const wchar_t* owner, const wchar_t* table) {
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(table);
  Check(odbc->SQLPrimaryKeysW(stmt, a.text, a.length, b.text, b.length, c.text, c.length), L"SQLPrimaryKeys", env,
        dbc, stmt);
}

void odbcProcedures(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                    const wchar_t* owner, const wchar_t* procedure) {
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(procedure);
  Check(odbc->SQLProceduresW(stmt, a.text, a.length, b.text, b.length, c.text, c.length), L"SQLProcedures", env,
        dbc, stmt);
}

void odbcForeignKeys(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* pkQualifier,
                     const wchar_t* pkOwner, const wchar_t* pkTable, const wchar_t* fkQualifier,
                     const wchar_t* fkOwner, const wchar_t* fkTable) {
  CatalogString a = Catalog(pkQualifier), b = Catalog(pkOwner), c = Catalog(pkTable);
  CatalogString d = Catalog(fkQualifier), e = Catalog(fkOwner), f = Catalog(fkTable);
  Check(odbc->SQLForeignKeysW(stmt, a.text, a.length, b.text, b.length, c.text, c.length, d.text, d.length,
                              e.text, e.length, f.text, f.length),
        L"SQLForeignKeys", env, dbc, stmt);
}

void odbcSpecialColumns(odbcHandle env, odbcHandle dbc, odbcHandle stmt, int32_t kind, const wchar_t* qualifier,
                        const wchar_t* owner, const wchar_t* table, int32_t scope, int32_t nullable) {
  const wchar_t* name = L"odbcSpecialColumns";
  SQLUSMALLINT k = SQLUSMALLINT(Enum(kind, {SQL_BEST_ROWID, SQL_ROWVER}, kIllegalColumnType, name));
  SQLUSMALLINT s = SQLUSMALLINT(Enum(scope, {SQL_SCOPE_CURROW, SQL_SCOPE_TRANSACTION, SQL_SCOPE_SESSION},
                                     kIllegalScope, name));
  SQLUSMALLINT n = SQLUSMALLINT(Enum(nullable, {SQL_NO_NULLS, SQL_NULLABLE}, kIllegalNullable, name));
  CatalogString a = Catalog(qualifier), b = Catalog(owner), c = Catalog(table);
  Check(odbc->SQLSpecialColumnsW(stmt, k, a.text, a.length, b.text, b.length, c.text, c.length, s, n),
        L"SQLSpecialColumns", env, dbc, stmt);
}

void odbcStatistics(odbcHandle env, odbcHandle dbc, odbcHandle stmt, const wchar_t* qualifier,
                    const wchar_t* owner, const wchar_t* table, int32_t unique, int32_t accuracy) {
  const wchar_t* name = L"odbcStatistics";
  SQLUSMALLINT u = SQLUSMALLINT(Enum(unique, {SQL_INDEX_UNIQUE, SQL_INDEX_ALL}, kIllegalUnique, name));
  SQLUSMALLINT a = SQLUSMALLINT(Enum(accuracy, {SQL_ENSURE, SQL_QUICK}, kIllegalAccuracy, name));
  CatalogString q = Catalog(qualifier), o = Catalog(owner), t = Catalog(table);
  Check(odbc->SQLStatisticsW(stmt, q.text, q.length, o.text, o.length, t.text, t.length, u, a), L"SQLStatistics",
        env, dbc, stmt);
}

}  // extern "C"
