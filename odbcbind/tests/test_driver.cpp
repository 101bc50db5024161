// The binding against unixODBC and the SQLite driver through Wine's odbc32,
// configured by the ini files this program writes into the folder that
// ODBCSYSINI names (ctest sets it and ODBCINI), and real database files read
// and written by Python's sqlite3 on the host.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "odbc_test.h"

using namespace odbctest;

namespace {

const char* const kDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring w(n, 0);
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
  return w;
}

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  WriteFile(h, text.data(), DWORD(text.size()), &done, nullptr);
  CloseHandle(h);
}

std::string ReadText(const std::wstring& path) {
  std::string text;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return text;
  char buf[4096];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) text.append(buf, n);
  CloseHandle(h);
  return text;
}

// Runs the Python helper and waits for the file it writes last.
bool Python(const std::string& args, const std::wstring& result) {
  DeleteFileW(result.c_str());
  std::string cmd = "/usr/bin/python3 " ODBC_TEST_DIR "/sqlite_helper.py " + args;
  std::wstring line = Wide(cmd);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  for (int i = 0; i < 600; ++i, Sleep(50))
    if (GetFileAttributesW(result.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

// Writes the driver and data-source configuration once per process.
void WriteConfiguration() {
  static bool written = false;
  if (written) return;
  written = true;
  std::string folder = ConfigFolderUnix();
  WriteText(ConfigFolder() + L"odbcinst.ini",
            std::string("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=") + kDriver + "\n");
  WriteText(ConfigFolder() + L"odbc.ini", "");
  WriteText(ConfigFolder() + L"user-odbc.ini",
            "[KalmoraTest]\nDescription=kalmora test source\nDriver=SQLite3\nDatabase=" + folder + "dsn.db\n");
}

class DriverTest : public ::testing::Test {
 protected:
  odbcHandle env = nullptr, dbc = nullptr, stmt = nullptr;

  void SetUp() override {
    ASSERT_FALSE(ConfigFolder().empty()) << "ODBCSYSINI and ODBCINI are set by ctest";
    WriteConfiguration();
    ASSERT_EQ(Try([&] { odbcAllocEnv(&env); }).error, 0u);
    ASSERT_EQ(Try([&] { odbcAllocConnect(env, &dbc); }).error, 0u);
  }

  void TearDown() override {
    if (stmt) Try([&] { odbcFreeStmt(env, dbc, stmt, 1); });
    Try([&] { odbcDisconnect(env, dbc); });
    Try([&] { odbcFreeConnect(env, dbc); });
    Try([&] { odbcFreeEnv(env); });
  }

  // Connects to a fresh file `name` in the test folder.
  void Open(const char* name) {
    DeleteFileW((ConfigFolder() + Wide(name)).c_str());
    std::wstring in = L"DRIVER=SQLite3;Database=" + Wide(ConfigFolderUnix() + name);
    wchar_t* out = nullptr;
    Outcome o = Try([&] { odbcDriverConnect(env, dbc, 0, in.c_str(), 4, &out); });
    ASSERT_EQ(o.error, 0u) << testing::PrintToString(o.message);
    EXPECT_EQ(o.function, L"SQLDriverConnect");
    ASSERT_EQ(Try([&] { odbcAllocStmt(env, dbc, &stmt); }).error, 0u);
  }

  void Exec(const wchar_t* sql) {
    Outcome o = Try([&] { odbcExecDirect(env, dbc, stmt, sql); });
    ASSERT_EQ(o.error, 0u) << testing::PrintToString(std::wstring(sql)) << testing::PrintToString(o.message);
    ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 2); }).error, 0u);
  }

  bool Fetch() {
    Outcome o = Try([&] { odbcFetch(env, dbc, stmt); });
    EXPECT_EQ(o.error, 0u) << testing::PrintToString(o.message);
    return !o.failed && !o.error;
  }

  data_struct* GetData(uint32_t column, uint32_t type, uint32_t size, uint32_t* indicator = nullptr,
                       Outcome* outcome = nullptr) {
    data_struct* v = nullptr;
    uint32_t ind = 0;
    Outcome o = Try([&] { odbcGetData(env, dbc, stmt, column, type, size, &v, &ind); });
    EXPECT_EQ(o.error, 0u) << testing::PrintToString(o.message);
    if (indicator) *indicator = ind;
    if (outcome) *outcome = o;
    return v;
  }
};

TEST_F(DriverTest, DataSourceFromTheUserIni) {
  std::vector<std::wstring> names;
  std::wstring description;
  Outcome o;
  for (int direction = 1;; direction = 2) {
    wchar_t *name = nullptr, *text = nullptr;
    o = Try([&] { odbcDataSources(env, direction, &name, &text); });
    if (o.error) break;
    names.push_back(name);
    if (names.back() == L"KalmoraTest") description = text;
  }
  EXPECT_EQ(o.error, 8804u);
  EXPECT_EQ(o.function, L"SQLDataSources");
  ASSERT_NE(std::find(names.begin(), names.end(), L"KalmoraTest"), names.end());
  EXPECT_EQ(description, L"SQLite3");

  // The drivers are this folder's, not the machine's.
  std::vector<std::wstring> drivers;
  for (int direction = 1;; direction = 2) {
    wchar_t *name = nullptr, *attributes = nullptr;
    o = Try([&] { odbcDrivers(env, direction, &name, &attributes); });
    if (o.error) break;
    drivers.push_back(name);
  }
  EXPECT_EQ(o.error, 8804u);
  EXPECT_EQ(drivers, std::vector<std::wstring>{L"SQLite3"});

  DeleteFileW((ConfigFolder() + L"dsn.db").c_str());
  ASSERT_EQ(Try([&] { odbcConnect(env, dbc, L"KalmoraTest", L"", L""); }).error, 0u);
  EXPECT_EQ(LastError().function, L"SQLConnectW");
  ASSERT_EQ(Try([&] { odbcAllocStmt(env, dbc, &stmt); }).error, 0u);
  Exec(L"CREATE TABLE t (x INTEGER)");
  EXPECT_NE(GetFileAttributesW((ConfigFolder() + L"dsn.db").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DriverTest, ErrorsAndTheEndOfData) {
  Open("errors.db");
  Outcome o = Try([&] { odbcExecDirect(env, dbc, stmt, L"SELEC 1"); });
  EXPECT_EQ(o.error, 8805u);
  EXPECT_EQ(o.code, -1);
  EXPECT_EQ(o.function, L"SQLExecDirect");
  EXPECT_NE(o.message.find(L"syntax error"), std::wstring::npos) << testing::PrintToString(o.message);

  Exec(L"CREATE TABLE t (x INTEGER)");
  Exec(L"INSERT INTO t VALUES (41)");
  void* x = nullptr;
  ASSERT_EQ(Try([&] { odbcBindCol(env, dbc, stmt, 1, odbcLong, 0, &x); }).error, 0u);
  ASSERT_EQ(Try([&] { odbcExecDirect(env, dbc, stmt, L"SELECT x FROM t"); }).error, 0u);
  EXPECT_TRUE(Fetch());
  data_struct* v = nullptr;
  ASSERT_EQ(Try([&] { odbcGetHam(x, &v); }).error, 0u);
  EXPECT_EQ(v->value.integer, 41);
  o = Try([&] { odbcFetch(env, dbc, stmt); });
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.error, 0u);
  EXPECT_EQ(o.code, -1000);
  EXPECT_EQ(o.function, L"SQLFetch");
  EXPECT_EQ(o.message, L"ODBC_SUCCESS");

  ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 3); }).error, 0u);
  EXPECT_EQ(Try([&] { odbcReleaseHam(x); }).error, 0u);
  // This driver has no scroll options.
  Try([&] { odbcFreeStmt(env, dbc, stmt, 2); });
  o = Try([&] { odbcSetScrollOptions(env, dbc, stmt, 1, -3, 10); });
  EXPECT_EQ(o.error, 8805u);
  EXPECT_EQ(o.function, L"SQLSetScrollOptions");
}

TEST_F(DriverTest, WideParametersAndGetData) {
  Open("values.db");
  Exec(L"CREATE TABLE v (i INTEGER, s TEXT, f REAL, d DATE, ts TIMESTAMP, n TEXT)");
  ASSERT_EQ(Try([&] { odbcPrepare(env, dbc, stmt, L"INSERT INTO v VALUES (?, ?, ?, ?, ?, ?)"); }).error, 0u);
  void *i, *s, *f, *d, *ts, *n;
  ASSERT_EQ(Try([&] {
              odbcBindParameter(env, dbc, stmt, 1, 1, odbcLong, 0, 0, 0, &i);
              odbcBindParameter(env, dbc, stmt, 2, 1, odbcString, 100, 0, 200, &s);
              odbcBindParameter(env, dbc, stmt, 3, 1, odbcDouble, 0, 0, 0, &f);
              odbcBindParameter(env, dbc, stmt, 4, 1, odbcDate, 0, 0, 0, &d);
              odbcBindParameter(env, dbc, stmt, 5, 1, odbcTimestamp, 0, 0, 0, &ts);
              odbcBindParameter(env, dbc, stmt, 6, 1, odbcString, 10, 0, 20, &n);
            }).error,
            0u);
  ASSERT_EQ(Try([&] {
              odbcPutHam(i, Integer(odbcLong, 42));
              odbcPutHam(s, Text(odbcString, L"Müller 日本 and a longer tail"));
              odbcPutHam(f, Real(odbcDouble, 2.75));
              odbcPutHam(d, Text(odbcDate, L"3 -7 -2024"));
              odbcPutHam(ts, Text(odbcTimestamp, L"12-31-1999 23:59:58"));
              odbcPutHam(n, Value(odbcNull));
            }).error,
            0u);
  Outcome o = Try([&] { odbcExecute(env, dbc, stmt); });
  ASSERT_EQ(o.error, 0u) << testing::PrintToString(o.message);
  ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 4); }).error, 0u);
  for (void* h : {i, s, f, d, ts, n}) EXPECT_EQ(Try([&] { odbcReleaseHam(h); }).error, 0u);

  ASSERT_EQ(Try([&] { odbcExecDirect(env, dbc, stmt, L"SELECT i, s, f, d, ts, n FROM v"); }).error, 0u);
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(GetData(1, odbcLong, 4)->value.integer, 42);
  // Truncated text: success with information, the text cut inside the buffer.
  uint32_t indicator = 0;
  o = {};
  data_struct* v = GetData(2, odbcString, 16, &indicator, &o);
  EXPECT_EQ(o.code, 1);
  EXPECT_STREQ(v->value.text, L"Müller ");
  EXPECT_GT(indicator, 16u);
  EXPECT_EQ(GetData(3, odbcFloat, 4)->value.real, 2.75);
  EXPECT_STREQ(GetData(4, odbcDate, 6)->value.text, L"3 -7 -2024");
  EXPECT_STREQ(GetData(5, odbcTimestamp, 16)->value.text, L"12-31-1999 23:59:58");
  v = GetData(6, odbcString, 20, &indicator);
  EXPECT_EQ(v->kind, uint32_t(odbcNull));
  EXPECT_EQ(indicator, 0xFFFFu);

  ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 2); }).error, 0u);
  ASSERT_EQ(Try([&] { odbcExecDirect(env, dbc, stmt, L"SELECT s FROM v"); }).error, 0u);
  ASSERT_TRUE(Fetch());
  EXPECT_STREQ(GetData(1, odbcLongText, 400)->value.text, L"Müller 日本 and a longer tail");
}

TEST_F(DriverTest, ExtendedFetchOfBoundColumnsInRowsetsOfAHundred) {
  Open("rows.db");
  Exec(L"CREATE TABLE r (i INTEGER, s TEXT, f REAL, d DOUBLE, b INTEGER)");
  Exec(L"BEGIN");
  for (int k = 1; k <= 250; ++k) {
    std::wstring sql = L"INSERT INTO r VALUES (" + std::to_wstring(k) + L", " +
                       (k % 50 == 0 ? std::wstring(L"NULL") : L"'Müller 日本 " + std::to_wstring(k) + L"'") +
                       L", " + std::to_wstring(k) + L".5, " + std::to_wstring(k) + L".25, " +
                       std::to_wstring(k % 2) + L")";
    Exec(sql.c_str());
  }
  Exec(L"COMMIT");
  ASSERT_EQ(Try([&] { odbcSetStmtOption(env, dbc, stmt, 11, 100); }).error, 0u);
  uint32_t rowset = 0;
  ASSERT_EQ(Try([&] { odbcGetStmtOption(env, dbc, stmt, 11, &rowset); }).error, 0u);
  EXPECT_EQ(rowset, 100u);
  void *i, *s, *f, *d, *b;
  ASSERT_EQ(Try([&] {
              odbcBindColArray(env, dbc, stmt, 1, odbcLong, 0, 100, &i);
              odbcBindColArray(env, dbc, stmt, 2, odbcString, 64, 100, &s);
              odbcBindColArray(env, dbc, stmt, 3, odbcFloat, 0, 100, &f);
              odbcBindColArray(env, dbc, stmt, 4, odbcDouble, 0, 100, &d);
              odbcBindColArray(env, dbc, stmt, 5, odbcBit, 0, 100, &b);
            }).error,
            0u);
  ASSERT_EQ(Try([&] { odbcExecDirect(env, dbc, stmt, L"SELECT i, s, f, d, b FROM r ORDER BY i"); }).error, 0u);
  int seen = 0;
  for (;;) {
    uint32_t count = 0;
    Outcome o = Try([&] { odbcExtendedFetch(env, dbc, stmt, 2, 0, &count); });
    ASSERT_EQ(o.error, 0u) << testing::PrintToString(o.message);
    if (o.failed) break;
    EXPECT_EQ(count, seen < 200 ? 100u : 50u);
    for (uint16_t row = 1; row <= count; ++row) {
      int k = seen + row;
      data_struct *vi, *vs, *vf, *vd, *vb;
      ASSERT_EQ(Try([&] {
                  odbcGetHamArray(i, row, &vi);
                  odbcGetHamArray(s, row, &vs);
                  odbcGetHamArray(f, row, &vf);
                  odbcGetHamArray(d, row, &vd);
                  odbcGetHamArray(b, row, &vb);
                }).error,
                0u);
      ASSERT_EQ(vi->value.integer, k);
      if (k % 50 == 0) {
        EXPECT_EQ(vs->kind, uint32_t(odbcNull));
      } else {
        EXPECT_EQ(vs->value.text, L"Müller 日本 " + std::to_wstring(k));
      }
      EXPECT_EQ(vf->value.real, k + 0.5);
      EXPECT_EQ(vd->value.real, k + 0.25);
      EXPECT_EQ(vb->value.integer, k % 2);
    }
    seen += count;
  }
  EXPECT_EQ(seen, 250);
  EXPECT_EQ(LastError().function, L"SQLExtendedFetch");

  // A Ham of ten rows under a rowset of a hundred is refused before ODBC.
  ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 2); }).error, 0u);
  void* small = nullptr;
  ASSERT_EQ(Try([&] { odbcBindColArray(env, dbc, stmt, 1, odbcLong, 0, 10, &small); }).error, 0u);
  ASSERT_EQ(Try([&] { odbcExecDirect(env, dbc, stmt, L"SELECT i, s, f, d, b FROM r"); }).error, 0u);
  uint32_t count = 0;
  ExpectBindingError(Try([&] { odbcExtendedFetch(env, dbc, stmt, 2, 0, &count); }), -1011, L"odbcExtendedFetch");
  ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 3); }).error, 0u);
  for (void* h : {i, s, f, d, b, small}) EXPECT_EQ(Try([&] { odbcReleaseHam(h); }).error, 0u);
}

TEST_F(DriverTest, DescriptionsAndInformation) {
  Open("describe.db");
  Exec(L"CREATE TABLE g (größe INTEGER NOT NULL, label VARCHAR(30))");
  ASSERT_EQ(Try([&] { odbcExecDirect(env, dbc, stmt, L"SELECT größe, label FROM g"); }).error, 0u);
  int32_t columns = 0;
  ASSERT_EQ(Try([&] { odbcNumResultCols(env, dbc, stmt, &columns); }).error, 0u);
  EXPECT_EQ(columns, 2);
  wchar_t* name = nullptr;
  int32_t type = 0, scale = -1, nullable = 0;
  uint32_t precision = 0;
  ASSERT_EQ(Try([&] { odbcDescribeCol(env, dbc, stmt, 1, &name, &type, &precision, &scale, &nullable); }).error,
            0u);
  EXPECT_STREQ(name, L"größe");
  EXPECT_EQ(type, int32_t(odbcLong));
  EXPECT_EQ(LastError().function, L"SQLDescribeCol");
  ASSERT_EQ(Try([&] { odbcDescribeCol(env, dbc, stmt, 2, &name, &type, &precision, &scale, &nullable); }).error,
            0u);
  EXPECT_EQ(type, int32_t(odbcString));
  EXPECT_EQ(precision, 30u);

  data_column_struct* a = nullptr;
  ASSERT_EQ(Try([&] { odbcColAttributes(env, dbc, stmt, 2, 8, &a); }).error, 0u);
  EXPECT_STREQ(a->value.text, L"label");
  ASSERT_EQ(Try([&] { odbcColAttributes(env, dbc, stmt, 1, 16, &a); }).error, 0u);
  EXPECT_EQ(a->kind, 16u);
  EXPECT_EQ(a->value.number, odbcLong);
  ASSERT_EQ(Try([&] { odbcColAttributes(env, dbc, stmt, 2, 4, &a); }).error, 0u);
  EXPECT_EQ(a->value.number, 30);

  uint32_t exists = 9;
  ASSERT_EQ(Try([&] { odbcGetFunctions(env, dbc, 13, &exists); }).error, 0u);  // SQLFetch
  EXPECT_EQ(exists, 1u);
  ASSERT_EQ(Try([&] { odbcGetFunctions(env, dbc, 24, &exists); }).error, 0u);  // SQLBindParameter
  EXPECT_EQ(exists, 1u);
  data_info_struct* info = nullptr;
  ASSERT_EQ(Try([&] { odbcGetInfo(env, dbc, 23, &info); }).error, 0u);  // DBMS name
  EXPECT_EQ(info->kind, 3u);
  EXPECT_STREQ(info->value.text, L"SQLite");
  ASSERT_EQ(Try([&] { odbcGetInfo(env, dbc, 1, &info); }).error, 0u);
  EXPECT_EQ(info->kind, 1u);

  ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 2); }).error, 0u);
  ASSERT_EQ(Try([&] { odbcTables(env, dbc, stmt, L"NULL_STRING", L"NULL_STRING", L"g", L"NULL_STRING"); }).error,
            0u);
  ASSERT_TRUE(Fetch());
  EXPECT_STREQ(GetData(3, odbcString, 64)->value.text, L"g");
}

std::vector<std::wstring> Lines(const std::string& utf8) {
  std::vector<std::wstring> lines;
  std::wstring all = Wide(utf8), line;
  for (wchar_t c : all) {
    if (c == L'\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}

TEST_F(DriverTest, FilesWrittenByPythonReadBack) {
  std::string db = ConfigFolderUnix() + "from_python.db";
  ASSERT_TRUE(Python("make " + db + " " + ConfigFolderUnix() + "made.txt", ConfigFolder() + L"made.txt"));
  std::wstring in = L"DRIVER=SQLite3;Database=" + Wide(db);
  wchar_t* out = nullptr;
  ASSERT_EQ(Try([&] { odbcDriverConnect(env, dbc, 0, in.c_str(), 4, &out); }).error, 0u);
  ASSERT_EQ(Try([&] { odbcAllocStmt(env, dbc, &stmt); }).error, 0u);
  ASSERT_EQ(Try([&] { odbcExecDirect(env, dbc, stmt, L"SELECT id, name, score, born FROM people ORDER BY id"); })
                .error,
            0u);
  std::vector<std::wstring> rows;
  while (Fetch()) {
    std::wstring row = std::to_wstring(GetData(1, odbcLong, 4)->value.integer);
    data_struct* name = GetData(2, odbcString, 200);
    data_struct* score = GetData(3, odbcDouble, 8);
    data_struct* born = GetData(4, odbcDate, 6);
    row += L"|" + (name->kind == odbcNull ? std::wstring(L"NULL") : name->value.text);
    row += L"|" + (score->kind == odbcNull ? std::wstring(L"NULL") : std::to_wstring(score->value.real));
    row += L"|" + (born->kind == odbcNull ? std::wstring(L"NULL") : born->value.text);
    rows.push_back(row);
  }
  EXPECT_EQ(rows, (std::vector<std::wstring>{L"1|Müller 日本|1.500000|3 -7 -2024", L"2|NULL|-0.250000|NULL",
                                             L"3|Ærø – ‘quoted’|NULL|12-31-1999"}));
}

TEST_F(DriverTest, FilesWrittenThroughTheBindingReadByPython) {
  Open("to_python.db");
  Exec(L"CREATE TABLE people (id INTEGER, name TEXT, score DOUBLE, born DATE)");
  ASSERT_EQ(Try([&] { odbcPrepare(env, dbc, stmt, L"INSERT INTO people VALUES (?, ?, ?, ?)"); }).error, 0u);
  void *id, *name, *score, *born;
  ASSERT_EQ(Try([&] {
              odbcBindParameterArray(env, dbc, stmt, 1, 1, odbcLong, 0, 0, 0, 3, &id);
              odbcBindParameterArray(env, dbc, stmt, 2, 1, odbcString, 50, 0, 100, 3, &name);
              odbcBindParameterArray(env, dbc, stmt, 3, 1, odbcDouble, 0, 0, 0, 3, &score);
              odbcBindParameterArray(env, dbc, stmt, 4, 1, odbcDate, 0, 0, 0, 3, &born);
            }).error,
            0u);
  ASSERT_EQ(Try([&] {
              odbcPutHamArray(id, 1, Integer(odbcLong, 1));
              odbcPutHamArray(name, 1, Text(odbcString, L"Müller 日本"));
              odbcPutHamArray(score, 1, Real(odbcDouble, 1.5));
              odbcPutHamArray(born, 1, Text(odbcDate, L"03072024"));
              odbcPutHamArray(id, 2, Integer(odbcLong, 2));
              odbcPutHamArray(name, 2, Value(odbcNull));
              odbcPutHamArray(score, 2, Real(odbcDouble, -0.25));
              odbcPutHamArray(born, 2, Value(odbcNull));
              odbcPutHamArray(id, 3, Integer(odbcLong, 3));
              odbcPutHamArray(name, 3, Text(odbcString, L"Ærø – ‘quoted’"));
              odbcPutHamArray(score, 3, Value(odbcNull));
              odbcPutHamArray(born, 3, Text(odbcDate, L"12-31-1999"));
            }).error,
            0u);
  void* cell = nullptr;
  odbcAllocHul(&cell);
  ASSERT_EQ(Try([&] { odbcParamOptions(env, dbc, stmt, 3, cell); }).error, 0u);
  Outcome o = Try([&] { odbcExecute(env, dbc, stmt); });
  ASSERT_EQ(o.error, 0u) << testing::PrintToString(o.message);
  uint32_t current = 0;
  odbcGetHul(cell, &current);
  EXPECT_EQ(current, 3u);
  ASSERT_EQ(Try([&] { odbcFreeStmt(env, dbc, stmt, 1); }).error, 0u);
  stmt = nullptr;
  for (void* h : {id, name, score, born}) EXPECT_EQ(Try([&] { odbcReleaseHam(h); }).error, 0u);
  odbcReleaseHul(cell);
  ASSERT_EQ(Try([&] { odbcDisconnect(env, dbc); }).error, 0u);

  std::string db = ConfigFolderUnix() + "to_python.db";
  ASSERT_TRUE(Python("dump " + db + " " + ConfigFolderUnix() + "dump.txt", ConfigFolder() + L"dump.txt"));
  EXPECT_EQ(Lines(ReadText(ConfigFolder() + L"dump.txt")),
            (std::vector<std::wstring>{L"1|Müller 日本|1.5|2024-03-07", L"2|NULL|-0.25|NULL",
                                       L"3|Ærø – ‘quoted’|NULL|1999-12-31"}));
}

}  // namespace
