// Hams, Huls and single values on the recording stub: the registry, rows
// and their bounds, every type's get and put, the date texts, bound Hams
// that ODBC would overrun, and odbcGetData's copies out of its buffer.
#include <algorithm>
#include <cstring>

#include "odbc_test.h"

using namespace odbctest;
using odbcbind::Ham;

namespace {

Ham* H(void* ham) { return static_cast<Ham*>(ham); }

data_struct* Get(void* ham, uint16_t row) {
  data_struct* v = nullptr;
  Outcome o = Try([&] { odbcGetHamArray(ham, row, &v); });
  EXPECT_EQ(o.error, 0u);
  EXPECT_EQ(o.code, -1000);
  EXPECT_EQ(o.function, L"odbcGetHam");
  return v;
}

Outcome Put(void* ham, uint16_t row, data_struct* v) {
  return Try([&] { odbcPutHamArray(ham, row, v); });
}

TEST_F(StubTest, HamLayout) {
  void* ham = StubHam(odbcString, 22, 3);
  const Ham* h = H(ham);
  EXPECT_EQ(h->header.type, uint32_t(odbcString));
  EXPECT_EQ(h->header.elementSize, 22u);
  EXPECT_EQ(h->header.rows, 3u);
  Call bind = Stub::CallsOf("SQLBindCol").at(0);
  EXPECT_EQ(bind.args[3], int64_t(reinterpret_cast<intptr_t>(H(ham)->Data())));
  EXPECT_EQ(bind.args[4], 22);
  EXPECT_EQ(bind.args[5], int64_t(reinterpret_cast<intptr_t>(H(ham)->Indicators())));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(H(ham)->Data()) % 8, 0u);
  EXPECT_EQ(H(ham)->Data() - reinterpret_cast<uint8_t*>(ham), 16 + 3 * 8);
  for (int i = 0; i < 3 * 22; ++i) ASSERT_EQ(H(ham)->Data()[i], 0);
}

TEST_F(StubTest, RegistryHoldsAThousandHams) {
  std::vector<void*> hams;
  for (int i = 0; i < 1000; ++i) hams.push_back(StubHam(odbcLong, 0, 1, uint32_t(i + 1)));
  void* extra = nullptr;
  Outcome o = Try([&] { odbcBindCol(kEnv, kDbc, kStmt, 1001, odbcLong, 0, &extra); });
  ExpectBindingError(o, -1002, L"odbcBindCol");
  EXPECT_EQ(extra, nullptr);
  EXPECT_EQ(Stub::CallsOf("SQLBindCol").size(), 1000u);

  // Bound Hams stay until the statement lets them go.
  ExpectBindingError(Try([&] { odbcReleaseHam(hams[500]); }), -1002, L"odbcReleaseHam");
  ASSERT_EQ(Try([] { odbcFreeStmt(kEnv, kDbc, kStmt, 3); }).error, 0u);
  o = Try([&] { odbcReleaseHam(hams[500]); });
  EXPECT_EQ(o.error, 0u);
  EXPECT_EQ(o.code, -1000);
  EXPECT_EQ(o.function, L"odbcReleaseHam");
  ExpectBindingError(Try([&] { odbcReleaseHam(hams[500]); }), -1002, L"odbcReleaseHam");
  ExpectBindingError(Try([&] { odbcGetHam(hams[500], nullptr); }), -1002, L"odbcGetHam");
  // The freed slot takes a new Ham; every other Ham is still found.
  void* again = StubHam(odbcLong, 0, 1, 1001);
  EXPECT_NE(again, nullptr);
  for (size_t i = 0; i < hams.size(); i += 37) {
    if (i == 500) continue;
    EXPECT_EQ(Try([&] { odbcPutHam(hams[i], Integer(odbcLong, int32_t(i))); }).error, 0u);
  }
  ExpectBindingError(Try([&] { odbcPutHam(reinterpret_cast<uint8_t*>(hams[3]) + 8, Integer(odbcLong, 1)); }),
                     -1002, L"odbcPutHam");
  ExpectBindingError(Try([&] { odbcReleaseHam(nullptr); }), -1002, L"odbcReleaseHam");
}

TEST_F(StubTest, EveryTypeRoundTripsThroughARow) {
  struct Case {
    uint32_t type;
    int32_t length;
    data_struct* value;
  };
  Case cases[] = {
      {odbcString, 40, Text(odbcString, L"Müller 日本")},
      {odbcNumeric, 20, Text(odbcNumeric, L"-12.50")},
      {odbcLongText, 12, Text(odbcLongText, L"12345")},  // (5 + 1) * 2 bytes: fits exactly
      {odbcBit, 0, Integer(odbcBit, 1)},
      {odbcTinyInt, 0, Integer(odbcTinyInt, 255)},
      {odbcShort, 0, Integer(odbcShort, -32768)},
      {odbcLong, 0, Integer(odbcLong, INT32_MIN)},
      {odbcFloat, 0, Real(odbcFloat, 1.5)},
      {odbcDouble, 0, Real(odbcDouble, 0.1)},
      {odbcDate, 0, Text(odbcDate, L"3 -7 -2024")},
      {odbcTime, 0, Text(odbcTime, L"9 :5 :0 ")},
      {odbcTimestamp, 0, Text(odbcTimestamp, L"12-31-1999 23:59:58")},
      {odbcBinary, 5, Binary({0, 1, 2, 0xFF, 0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    void* ham = StubHam(c.type, c.length, 3, c.type);
    Outcome o = Put(ham, 2, c.value);
    ASSERT_EQ(o.error, 0u);
    EXPECT_EQ(o.code, -1000);
    EXPECT_EQ(o.function, L"odbcPutHam");
    data_struct* v = Get(ham, 2);
    ASSERT_EQ(v->kind, c.type);
    switch (c.type) {
      case odbcString: case odbcNumeric: case odbcLongText:
        EXPECT_STREQ(v->value.text, c.value->value.text);
        EXPECT_EQ(H(ham)->Indicators()[1], SQL_NTS);
        break;
      case odbcDate: case odbcTime:
        EXPECT_STREQ(v->value.text, c.value->value.text);
        break;
      case odbcTimestamp: EXPECT_STREQ(v->value.text, L"12-31-1999 23:59:58"); break;
      case odbcFloat: case odbcDouble: EXPECT_EQ(v->value.real, c.value->value.real); break;
      case odbcBinary:
        EXPECT_EQ(BinaryBytes(v->value.binary), BinaryBytes(c.value->value.binary));
        EXPECT_EQ(H(ham)->Indicators()[1], 5);
        break;
      default: EXPECT_EQ(v->value.integer, c.value->value.integer);
    }
    // Rows 1 and 3 are untouched.
    EXPECT_EQ(H(ham)->Indicators()[0], 0);
    EXPECT_EQ(H(ham)->Indicators()[2], 0);
    // A null value.
    ASSERT_EQ(Put(ham, 3, Value(odbcNull)).error, 0u);
    EXPECT_EQ(H(ham)->Indicators()[2], SQL_NULL_DATA);
    EXPECT_EQ(Get(ham, 3)->kind, uint32_t(odbcNull));
  }
}

TEST_F(StubTest, FixedElementsAreTheirCTypesSize) {
  // ODBC strides arrays of fixed-size C types by the type's size; floats
  // travel as doubles.
  struct Case {
    uint32_t type;
    uint32_t size;
  } cases[] = {{odbcBit, 1}, {odbcTinyInt, 1}, {odbcShort, 4}, {odbcLong, 4}, {odbcFloat, 8},
               {odbcDouble, 8}, {odbcDate, 6}, {odbcTime, 6}, {odbcTimestamp, 16}};
  for (const Case& c : cases) EXPECT_EQ(H(StubHam(c.type, 99, 2, c.type))->header.elementSize, c.size) << c.type;
}

TEST_F(StubTest, RowsOutsideTheHamAreRefused) {
  void* ham = StubHam(odbcLong, 0, 4);
  for (uint16_t row : {uint16_t(0), uint16_t(5), uint16_t(65535)}) {
    SCOPED_TRACE(row);
    data_struct* v = nullptr;
    ExpectBindingError(Try([&] { odbcGetHamArray(ham, row, &v); }), -1011, L"odbcGetHam");
    EXPECT_EQ(v, nullptr);
    ExpectBindingError(Put(ham, row, Integer(odbcLong, 7)), -1011, L"odbcPutHam");
  }
  for (int r = 0; r < 4; ++r) EXPECT_EQ(H(ham)->Indicators()[r], 0);
  // The spare behind the last element is untouched too.
  const uint8_t* spare = H(ham)->Element(5);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(spare[i], 0);
}

TEST_F(StubTest, RefusedPutsLeaveTheRowAsItWas) {
  void* text = StubHam(odbcString, 10, 1, 1);
  ASSERT_EQ(Put(text, 1, Text(odbcString, L"abcd")).error, 0u);
  void* bytes = StubHam(odbcBinary, 4, 1, 2);
  ASSERT_EQ(Put(bytes, 1, Binary({1, 2, 3})).error, 0u);
  void* bits = StubHam(odbcBit, 0, 1, 3);
  void* date = StubHam(odbcDate, 0, 1, 4);
  ASSERT_EQ(Put(date, 1, Text(odbcDate, L"2 -29-2024")).error, 0u);
  struct Case {
    void* ham;
    data_struct* value;
  } cases[] = {
      {text, Text(odbcString, L"abcde")},          // needs 12 bytes with its terminator
      {text, Text(odbcLongText, L"ab")},           // another kind
      {text, Integer(odbcLong, 1)},
      {text, nullptr},
      {bytes, Binary({1, 2, 3, 4, 5})},
      {bits, Integer(odbcBit, 2)},
      {date, Text(odbcDate, L"2 -29-2023")},       // no 29 February in 2023
      {date, Text(odbcDate, L"13-1 -2000")},
      {date, Text(odbcDate, L"1 -2")},
      {date, Text(odbcDate, L"")},
      {date, Text(odbcDate, L"\u0663-7-2024")},  // only ASCII digits count
      {date, Text(odbcTime, L"1 :2 :3 ")},
  };
  for (const Case& c : cases) {
    Ham* h = H(c.ham);
    std::vector<uint8_t> before(h->Data(), h->Data() + h->header.elementSize);
    SQLLEN indicator = h->Indicators()[0];
    ExpectBindingError(Put(c.ham, 1, c.value), -1011, L"odbcPutHam");
    EXPECT_EQ(std::vector<uint8_t>(h->Data(), h->Data() + h->header.elementSize), before);
    EXPECT_EQ(h->Indicators()[0], indicator);
  }
  EXPECT_STREQ(Get(text, 1)->value.text, L"abcd");
  EXPECT_EQ(BinaryBytes(Get(bytes, 1)->value.binary), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(StubTest, CopiesOutStopAtTheElement) {
  // A text element without a terminator, and a binary whose indicator says
  // more than the element holds.
  void* text = StubHam(odbcString, 6, 2);
  memcpy(H(text)->Element(1), L"abcdef", 6 * sizeof(wchar_t));
  H(text)->Indicators()[0] = 500;
  EXPECT_STREQ(Get(text, 1)->value.text, L"abc");
  void* bytes = StubHam(odbcBinary, 3, 2, 2);
  memcpy(H(bytes)->Data(), "\1\2\3\4\5\6", 6);
  H(bytes)->Indicators()[0] = 1000;
  EXPECT_EQ(BinaryBytes(Get(bytes, 1)->value.binary), (std::vector<uint8_t>{1, 2, 3}));
  H(bytes)->Indicators()[1] = SQL_NO_TOTAL;
  EXPECT_EQ(BinaryBytes(Get(bytes, 2)->value.binary), (std::vector<uint8_t>{4, 5, 6}));
  H(bytes)->Indicators()[1] = 2;
  EXPECT_EQ(BinaryBytes(Get(bytes, 2)->value.binary), (std::vector<uint8_t>{4, 5}));
}

TEST_F(StubTest, TextEndsAtItsTerminatorOrTheElementEnd) {
  // Row 1's element is followed by row 2's, full of 'y': a text read past
  // the element's end would pick them up.
  struct Case {
    int32_t bytes;
    int terminator;  // unit index of the zero in row 1, -1 for none
    size_t length;
  } cases[] = {
      {48, -1, 24}, {48, 0, 0}, {48, 7, 7}, {48, 8, 8}, {48, 9, 9}, {48, 16, 16}, {48, 23, 23},
      {33, -1, 16}, {14, -1, 7}, {16, -1, 8}, {18, 8, 8},
  };
  for (const Case& c : cases) {
    void* text = StubHam(odbcString, c.bytes, 2);
    uint8_t* data = H(text)->Data();
    const size_t units = size_t(c.bytes) / sizeof(wchar_t);
    for (size_t i = 0; i < units; ++i) memcpy(data + i * sizeof(wchar_t), L"x", sizeof(wchar_t));
    for (size_t i = 0; i < units; ++i) memcpy(H(text)->Element(2) + i * sizeof(wchar_t), L"y", sizeof(wchar_t));
    if (c.terminator >= 0) memset(data + c.terminator * sizeof(wchar_t), 0, sizeof(wchar_t));
    H(text)->Indicators()[0] = SQL_NTS;
    EXPECT_EQ(std::wstring(Get(text, 1)->value.text), std::wstring(c.length, L'x'))
        << c.bytes << " bytes, zero at " << c.terminator;
  }
}

TEST_F(StubTest, DateTextsReadInBothForms) {
  struct Case {
    uint32_t type;
    const wchar_t* text;
    std::vector<uint16_t> fields;  // as ODBC lays them out
  } cases[] = {
      {odbcDate, L"3 -7 -2024", {2024, 3, 7}},
      {odbcDate, L"03072024", {2024, 3, 7}},
      {odbcDate, L"12/31/1999", {1999, 12, 31}},
      {odbcTime, L"23:59:59", {23, 59, 59}},
      {odbcTime, L"091500", {9, 15, 0}},
      {odbcTimestamp, L"3 -7 -2024 10:11:12", {2024, 3, 7, 10, 11, 12}},
      // Run together: the hour is the 10th and 11th characters.
      {odbcTimestamp, L"03072024T101112", {2024, 3, 7, 10, 11, 12}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    void* ham = StubHam(c.type, 0, 1, c.type);
    if (c.type == odbcTimestamp) {
      uint32_t fraction = 123456789;
      memcpy(H(ham)->Element(1) + 12, &fraction, 4);
    }
    ASSERT_EQ(Put(ham, 1, Text(c.type, c.text)).error, 0u);
    std::vector<uint16_t> fields(c.fields.size());
    memcpy(fields.data(), H(ham)->Element(1), fields.size() * 2);
    EXPECT_EQ(fields, c.fields);
    if (c.type == odbcTimestamp) {
      uint32_t fraction;
      memcpy(&fraction, H(ham)->Element(1) + 12, 4);
      EXPECT_EQ(fraction, 123456789u);
    }
    // What the getter gives, put back, is the same value.
    const wchar_t* shown = Get(ham, 1)->value.text;
    std::vector<uint8_t> element(H(ham)->Element(1), H(ham)->Element(1) + H(ham)->header.elementSize);
    memset(H(ham)->Element(1), 0, std::min<uint32_t>(12, H(ham)->header.elementSize));
    ASSERT_EQ(Put(ham, 1, Text(c.type, shown)).error, 0u);
    EXPECT_EQ(std::vector<uint8_t>(H(ham)->Element(1), H(ham)->Element(1) + H(ham)->header.elementSize), element);
  }
}

TEST_F(StubTest, BoundHamsSmallerThanTheRowsetAreRefused) {
  static SQLULEN rowset;
  stub.api.SQLGetStmtOption = [](SQLHSTMT, SQLUSMALLINT option, SQLPOINTER v) -> SQLRETURN {
    EXPECT_EQ(option, SQL_ROWSET_SIZE);
    *static_cast<SQLULEN*>(v) = rowset;
    return SQL_SUCCESS;
  };
  // The driver writes a status for every row of the rowset.
  stub.api.SQLExtendedFetch = [](SQLHSTMT, SQLUSMALLINT, SQLLEN, SQLULEN* count,
                                 SQLUSMALLINT* status) -> SQLRETURN {
    Stub::Record("SQLExtendedFetch", {});
    for (SQLULEN i = 0; i < rowset; ++i) status[i] = SQL_ROW_SUCCESS;
    *count = rowset;
    return SQL_SUCCESS;
  };
  uint32_t count = 0;
  rowset = 5000;
  ASSERT_EQ(Try([&] { odbcExtendedFetch(kEnv, kDbc, kStmt, 2, 0, &count); }).error, 0u);
  EXPECT_EQ(count, 5000u);

  void* small = StubHam(odbcLong, 0, 10, 1);
  StubHam(odbcLong, 0, 100, 2);
  rowset = 100;
  Stub::Calls().clear();
  ExpectBindingError(Try([&] { odbcExtendedFetch(kEnv, kDbc, kStmt, 2, 0, &count); }), -1011,
                     L"odbcExtendedFetch");
  EXPECT_TRUE(Stub::CallsOf("SQLExtendedFetch").empty());
  rowset = 10;
  EXPECT_EQ(Try([&] { odbcExtendedFetch(kEnv, kDbc, kStmt, 2, 0, &count); }).error, 0u);
  // Column 1 bound again to a large Ham: the small one is free to go.
  StubHam(odbcLong, 0, 100, 1);
  EXPECT_EQ(Try([&] { odbcReleaseHam(small); }).error, 0u);
  rowset = 100;
  EXPECT_EQ(Try([&] { odbcExtendedFetch(kEnv, kDbc, kStmt, 2, 0, &count); }).error, 0u);
}

TEST_F(StubTest, ParameterSetsLargerThanABoundHamAreRefused) {
  void* ham = nullptr;
  ASSERT_EQ(Try([&] { odbcBindParameterArray(kEnv, kDbc, kStmt, 1, 1, odbcLong, 0, 0, 0, 10, &ham); }).error, 0u);
  void* cell = nullptr;
  odbcAllocHul(&cell);
  ASSERT_EQ(Try([&] { odbcParamOptions(kEnv, kDbc, kStmt, 20, cell); }).error, 0u);
  EXPECT_EQ(Stub::CallsOf("SQLParamOptions")[0].args[2], int64_t(reinterpret_cast<intptr_t>(cell)));
  ExpectBindingError(Try([] { odbcExecute(kEnv, kDbc, kStmt); }), -1011, L"odbcExecute");
  ExpectBindingError(Try([] { odbcExecDirect(kEnv, kDbc, kStmt, L"INSERT"); }), -1011, L"odbcExecDirect");
  EXPECT_TRUE(Stub::CallsOf("SQLExecute").empty());
  EXPECT_TRUE(Stub::CallsOf("SQLExecDirectW").empty());
  ASSERT_EQ(Try([&] { odbcParamOptions(kEnv, kDbc, kStmt, 10, cell); }).error, 0u);
  EXPECT_EQ(Try([] { odbcExecute(kEnv, kDbc, kStmt); }).error, 0u);
  // Reset parameters lets the Ham go.
  ExpectBindingError(Try([&] { odbcReleaseHam(ham); }), -1002, L"odbcReleaseHam");
  ASSERT_EQ(Try([] { odbcFreeStmt(kEnv, kDbc, kStmt, 4); }).error, 0u);
  EXPECT_EQ(Try([&] { odbcReleaseHam(ham); }).error, 0u);
  odbcReleaseHul(cell);
}

TEST_F(StubTest, BadHamSizesAreRefusedBeforeAllocating) {
  void* ham = nullptr;
  struct Case {
    int32_t type, length;
    uint16_t rows;
  } cases[] = {{odbcString, 0, 1}, {odbcBinary, -5, 1}, {odbcLong, 0, 0}, {odbcString, INT32_MAX, 2}};
  for (const Case& c : cases) {
    ExpectBindingError(Try([&] { odbcBindColArray(kEnv, kDbc, kStmt, 1, c.type, c.length, c.rows, &ham); }),
                       -1011, L"odbcBindCol");
  }
  ExpectBindingError(Try([&] { odbcBindCol(kEnv, kDbc, kStmt, 1, 14, 4, &ham); }), -1003, L"odbcBindCol");
  EXPECT_EQ(ham, nullptr);
  EXPECT_TRUE(Stub::CallsOf("SQLBindCol").empty());
  // A bind that ODBC refuses leaves no Ham registered.
  Stub::SetResult("SQLBindCol", SQL_ERROR);
  EXPECT_EQ(Try([&] { odbcBindCol(kEnv, kDbc, kStmt, 1, odbcLong, 0, &ham); }).error, 8805u);
  EXPECT_EQ(odbcbind::FindHamByData(reinterpret_cast<void*>(Stub::CallsOf("SQLBindCol")[0].args[3])), nullptr);
}

TEST_F(StubTest, HulMovesTheLow32Bits) {
  void* cell = nullptr;
  odbcAllocHul(&cell);
  uint32_t v = 1;
  odbcGetHul(cell, &v);
  EXPECT_EQ(v, 0u);
  odbcPutHul(cell, 0xFFFFFFFFu);
  EXPECT_EQ(*static_cast<SQLULEN*>(cell), 0xFFFFFFFFull);
  *static_cast<SQLULEN*>(cell) = 0x500000007ull;  // as ODBC writes it
  odbcGetHul(cell, &v);
  EXPECT_EQ(v, 7u);
  odbcReleaseHul(cell);
}

TEST_F(StubTest, ParamDataNamesTheHamAndPutDataSendsItsFirstElement) {
  void* ham = nullptr;
  ASSERT_EQ(Try([&] { odbcSetParam(kEnv, kDbc, kStmt, 1, odbcString, 0, 0, 40, &ham); }).error, 0u);
  static void* data;
  data = H(ham)->Data();
  stub.api.SQLParamData = [](SQLHSTMT, SQLPOINTER* v) -> SQLRETURN {
    *v = data;
    return SQL_SUCCESS;
  };
  void* found = nullptr;
  ASSERT_EQ(Try([&] { odbcParamData(kEnv, kDbc, kStmt, &found); }).error, 0u);
  EXPECT_EQ(found, ham);
  ASSERT_EQ(Put(ham, 1, Text(odbcString, L"hi")).error, 0u);
  ASSERT_EQ(Try([&] { odbcPutData(kEnv, kDbc, kStmt, ham); }).error, 0u);
  Call put = Stub::CallsOf("SQLPutData").at(0);
  EXPECT_EQ(put.args[1], int64_t(reinterpret_cast<intptr_t>(data)));
  EXPECT_EQ(put.args[2], SQL_NTS);
  ExpectBindingError(Try([&] { odbcPutData(kEnv, kDbc, kStmt, &found); }), -1002, L"odbcPutData");
}

// odbcGetData on a stub that writes what a driver would.
struct GetDataCase {
  uint32_t type, size;
  std::vector<uint8_t> written;  // bytes the driver writes
  SQLLEN indicator;
  SQLRETURN code;
};
GetDataCase given;
std::vector<int64_t> getDataArgs;

SQLRETURN SQL_API FakeGetData(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT type, SQLPOINTER buffer, SQLLEN size,
                              SQLLEN* indicator) {
  getDataArgs = {type, size};
  memcpy(buffer, given.written.data(), given.written.size());
  *indicator = given.indicator;
  return given.code;
}

std::vector<uint8_t> Bytes(const void* p, size_t n) {
  auto* b = static_cast<const uint8_t*>(p);
  return {b, b + n};
}

data_struct* GetData(const GetDataCase& c, uint32_t* indicator, Outcome* outcome = nullptr) {
  given = c;
  data_struct* v = nullptr;
  Outcome o = Try([&] { odbcGetData(kEnv, kDbc, kStmt, 2, c.type, c.size, &v, indicator); });
  if (outcome) *outcome = o;
  EXPECT_EQ(o.error, 0u);
  return v;
}

TEST_F(StubTest, GetDataConvertsEachType) {
  stub.api.SQLGetData = FakeGetData;
  uint32_t indicator = 0;
  // Truncated text: the driver fills the buffer; the text ends inside it.
  Outcome o;
  data_struct* v = GetData({odbcString, 8, Bytes(L"abcd", 8), 1000, SQL_SUCCESS_WITH_INFO}, &indicator, &o);
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.message, L"SQL_SUCCESS_WITH_INFO");
  EXPECT_EQ(v->kind, uint32_t(odbcString));
  EXPECT_STREQ(v->value.text, L"abcd");
  EXPECT_EQ(indicator, 1000u);
  EXPECT_EQ(getDataArgs, (std::vector<int64_t>{SQL_C_WCHAR, 8}));
  v = GetData({odbcLongText, 20, Bytes(L"Müller 日本", 20), 18, SQL_SUCCESS}, &indicator);
  EXPECT_STREQ(v->value.text, L"Müller 日本");

  double d = -2.5, f = 0.1;
  int32_t n = -70000;
  SQL_DATE_STRUCT date{2024, 3, 7};
  SQL_TIMESTAMP_STRUCT stamp{1999, 12, 31, 23, 5, 9, 500};
  EXPECT_EQ(GetData({odbcDouble, 1, Bytes(&d, 8), 8, 0}, &indicator)->value.real, -2.5);  // buffer of 1 byte asked
  EXPECT_EQ(GetData({odbcFloat, 8, Bytes(&f, 8), 8, 0}, &indicator)->value.real, 0.1);
  EXPECT_EQ(getDataArgs, (std::vector<int64_t>{SQL_C_DOUBLE, 8}));
  EXPECT_EQ(GetData({odbcLong, 4, Bytes(&n, 4), 4, 0}, &indicator)->value.integer, -70000);
  EXPECT_EQ(GetData({odbcShort, 4, Bytes(&n, 4), 4, 0}, &indicator)->value.integer, int16_t(-70000 & 0xFFFF));
  EXPECT_EQ(GetData({odbcBit, 4, {1, 0xEE}, 1, 0}, &indicator)->value.integer, 1);
  EXPECT_STREQ(GetData({odbcDate, 6, Bytes(&date, 6), 6, 0}, &indicator)->value.text, L"3 -7 -2024");
  EXPECT_STREQ(GetData({odbcTimestamp, 16, Bytes(&stamp, 16), 16, 0}, &indicator)->value.text,
               L"12-31-1999 23:5 :9 ");
  std::vector<uint8_t> bytes = {9, 8, 7, 6, 5};
  EXPECT_EQ(BinaryBytes(GetData({odbcBinary, 4, bytes, 5000, 1}, &indicator)->value.binary),
            (std::vector<uint8_t>{9, 8, 7, 6}));
  EXPECT_EQ(BinaryBytes(GetData({odbcBinary, 4, bytes, SQL_NO_TOTAL, 1}, &indicator)->value.binary).size(), 4u);
  EXPECT_EQ(BinaryBytes(GetData({odbcBinary, 4, bytes, 2, 0}, &indicator)->value.binary).size(), 2u);
  std::vector<uint8_t> large(70000, 0x5A);  // beyond the static buffer
  large.back() = 1;
  EXPECT_EQ(BinaryBytes(GetData({odbcBinary, 70000, large, 70000, 0}, &indicator)->value.binary), large);
  EXPECT_EQ(indicator, 70000u & 0xFFFF);
  v = GetData({odbcString, 8, {}, SQL_NULL_DATA, 0}, &indicator);
  EXPECT_EQ(v->kind, uint32_t(odbcNull));
  EXPECT_EQ(v->value.text, nullptr);
  EXPECT_EQ(indicator, 0xFFFFu);
}

TEST_F(StubTest, GetDataRefusesBadTypesAndSizes) {
  data_struct* v = nullptr;
  uint32_t indicator = 0;
  ExpectBindingError(Try([&] { odbcGetData(kEnv, kDbc, kStmt, 1, 0, 8, &v, &indicator); }), -1003,
                     L"odbcGetData");
  ExpectBindingError(Try([&] { odbcGetData(kEnv, kDbc, kStmt, 1, 14, 8, &v, &indicator); }), -1003,
                     L"odbcGetData");
  ExpectBindingError(Try([&] { odbcGetData(kEnv, kDbc, kStmt, 1, odbcString, 0, &v, &indicator); }), -1011,
                     L"odbcGetData");
  EXPECT_TRUE(Stub::CallsOf("SQLGetData").empty());
  Stub::SetResult("SQLGetData", SQL_NO_DATA_FOUND);
  EXPECT_EQ(Try([&] { odbcGetData(kEnv, kDbc, kStmt, 1, odbcLong, 4, &v, &indicator); }).error, 8804u);
  EXPECT_EQ(v, nullptr);
}

}  // namespace
