// The ODBC binding against raw odbc32 calls doing the same in this program,
// and against Python's sqlite3 over the same file: 100,000 rows of
// (integer, text, double, date) made by Python, read through unixODBC and
// the SQLite driver.  The driver reads the whole result at execute, so each
// figure times execute and fetch together.
//   bound:    rowset 100 of bound column arrays, extended fetch, every value
//             read (odbcBindColArray, odbcExtendedFetch, odbcGetHamArray)
//   get data: fetch row by row and read each column (odbcFetch, odbcGetData)
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "bench_util.h"
#include "qel6kernel.h"
#include "qel6odbcbind.h"

namespace {

namespace kernel = Qel::RunTime::Kernel;

constexpr int kRows = 100000;
constexpr int kRowset = 100;
constexpr int kTextBytes = 128;
const wchar_t* const kSelect = L"SELECT i, s, d, dt FROM bench";

// What the readers add up, so that no value goes unread.
struct Sink {
  int64_t integers = 0;
  double reals = 0;
  size_t chars = 0;
  int rows = 0;
};
Sink sink;

// Best of seven warm runs of each side, the two sides taking turns so that a
// moment of load on the machine falls on both alike.
struct Pair {
  double binding = 1e9, raw = 1e9;
};

template <class B, class R>
Pair BestOfTurns(B binding, R raw) {
  binding();
  raw();
  Pair best;
  for (int i = 0; i < 7; ++i) {
    sink = Sink();
    double t = raw();
    if (sink.rows != kRows) printf("  (a run read %d rows)\n", sink.rows);
    if (t < best.raw) best.raw = t;
    sink = Sink();
    t = binding();
    if (sink.rows != kRows) printf("  (a run read %d rows)\n", sink.rows);
    if (t < best.binding) best.binding = t;
  }
  return best;
}

double RawBound(SQLHDBC dbc) {
  static int32_t integers[kRowset];
  static SQLWCHAR texts[kRowset][kTextBytes / 2];
  static double reals[kRowset];
  static SQL_DATE_STRUCT dates[kRowset];
  static SQLLEN indicators[4][kRowset];
  static SQLUSMALLINT status[kRowset];
  SQLHSTMT st;
  SQLAllocStmt(dbc, &st);
  SQLSetStmtOption(st, SQL_ROWSET_SIZE, kRowset);
  SQLBindCol(st, 1, SQL_C_LONG, integers, 4, indicators[0]);
  SQLBindCol(st, 2, SQL_C_WCHAR, texts, kTextBytes, indicators[1]);
  SQLBindCol(st, 3, SQL_C_DOUBLE, reals, 8, indicators[2]);
  SQLBindCol(st, 4, SQL_C_DATE, dates, 6, indicators[3]);
  double start = bench::Now();
  SQLExecDirectW(st, reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(kSelect)), SQL_NTS);
  SQLULEN count = 0;
  while (SQL_SUCCEEDED(SQLExtendedFetch(st, SQL_FETCH_NEXT, 0, &count, status))) {
    for (SQLULEN r = 0; r < count; ++r) {
      sink.integers += integers[r] + dates[r].day;
      sink.chars += wcslen(reinterpret_cast<wchar_t*>(texts[r]));
      sink.reals += reals[r];
    }
    sink.rows += int(count);
  }
  double t = bench::Now() - start;
  SQLFreeStmt(st, SQL_DROP);
  return t;
}

double RawGetData(SQLHDBC dbc) {
  SQLHSTMT st;
  SQLAllocStmt(dbc, &st);
  double start = bench::Now();
  SQLExecDirectW(st, reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(kSelect)), SQL_NTS);
  int32_t integer;
  SQLWCHAR text[kTextBytes / 2];
  double real;
  SQL_DATE_STRUCT date;
  SQLLEN indicator;
  while (SQL_SUCCEEDED(SQLFetch(st))) {
    SQLGetData(st, 1, SQL_C_LONG, &integer, 4, &indicator);
    SQLGetData(st, 2, SQL_C_WCHAR, text, kTextBytes, &indicator);
    SQLGetData(st, 3, SQL_C_DOUBLE, &real, 8, &indicator);
    SQLGetData(st, 4, SQL_C_DATE, &date, 6, &indicator);
    sink.integers += integer + date.day;
    sink.chars += wcslen(reinterpret_cast<wchar_t*>(text));
    sink.reals += real;
    ++sink.rows;
  }
  double t = bench::Now() - start;
  SQLFreeStmt(st, SQL_DROP);
  return t;
}

// Runs body under a trap; reports an error.
template <class F>
void Trapped(const char* what, F body) {
  if (uint32_t error = kernel::RunTrapped(body)) {
    int32_t code;
    wchar_t *function, *message;
    odbcGetError(&code, &function, &message);
    printf("  %s: error %u (%ls: %ls)\n", what, error, function, message);
  }
}

double BindingBound(odbcHandle env, odbcHandle dbc) {
  odbcHandle st = nullptr;
  void* hams[4] = {};
  volatile double t = 0;
  Trapped("bound", [&] {
    odbcAllocStmt(env, dbc, &st);
    odbcSetStmtOption(env, dbc, st, 11, kRowset);
    odbcBindColArray(env, dbc, st, 1, odbcLong, 0, kRowset, &hams[0]);
    odbcBindColArray(env, dbc, st, 2, odbcString, kTextBytes, kRowset, &hams[1]);
    odbcBindColArray(env, dbc, st, 3, odbcDouble, 0, kRowset, &hams[2]);
    odbcBindColArray(env, dbc, st, 4, odbcDate, 0, kRowset, &hams[3]);
    double start = bench::Now();
    odbcExecDirect(env, dbc, st, kSelect);
    uint32_t count = 0;
    while (kernel::Succeeds([&] { odbcExtendedFetch(env, dbc, st, 2, 0, &count); })) {
      uint8_t* mark = kernel::Memory::MarkGStack();
      for (uint16_t r = 1; r <= count; ++r) {
        data_struct *integer, *text, *real, *date;
        odbcGetHamArray(hams[0], r, &integer);
        odbcGetHamArray(hams[1], r, &text);
        odbcGetHamArray(hams[2], r, &real);
        odbcGetHamArray(hams[3], r, &date);
        sink.integers += integer->value.integer;
        sink.chars += wcslen(text->value.text) + wcslen(date->value.text);
        sink.reals += real->value.real;
      }
      kernel::Memory::ReleaseGStack(mark);
      sink.rows += int(count);
    }
    t = bench::Now() - start;
    odbcFreeStmt(env, dbc, st, 1);
    for (void* h : hams) odbcReleaseHam(h);
  });
  return t;
}

double BindingGetData(odbcHandle env, odbcHandle dbc) {
  odbcHandle st = nullptr;
  volatile double t = 0;
  Trapped("get data", [&] {
    odbcAllocStmt(env, dbc, &st);
    double start = bench::Now();
    odbcExecDirect(env, dbc, st, kSelect);
    while (kernel::Succeeds([&] { odbcFetch(env, dbc, st); })) {
      uint8_t* mark = kernel::Memory::MarkGStack();
      data_struct *integer, *text, *real, *date;
      uint32_t indicator;
      odbcGetData(env, dbc, st, 1, odbcLong, 4, &integer, &indicator);
      odbcGetData(env, dbc, st, 2, odbcString, kTextBytes, &text, &indicator);
      odbcGetData(env, dbc, st, 3, odbcDouble, 8, &real, &indicator);
      odbcGetData(env, dbc, st, 4, odbcDate, 6, &date, &indicator);
      sink.integers += integer->value.integer;
      sink.chars += wcslen(text->value.text) + wcslen(date->value.text);
      sink.reals += real->value.real;
      ++sink.rows;
      kernel::Memory::ReleaseGStack(mark);
    }
    t = bench::Now() - start;
    odbcFreeStmt(env, dbc, st, 1);
  });
  return t;
}

void Line(const char* what, double binding, double raw) {
  printf("  %-36s binding %6.3f s   raw odbc32 %6.3f s   %4.2f x raw (goal <= 1.1)%s\n", what, binding, raw,
         binding / raw, binding / raw <= 1.1 ? "" : "  above goal");
}

}  // namespace

int main() {
  printf("ODBC binding: %d rows (integer, text, double, date), SQLite driver, execute and fetch\n", kRows);
  std::string made = bench::RunUnixProgram(
      nullptr, L"/usr/bin/python3 " _CRT_WIDE(ODBC_BENCH_DIR) L"/odbc_python.py make /tmp/kalmora_bench_odbc.db "
               L"/tmp/kalmora_bench_odbc.done",
      L"Z:\\tmp\\kalmora_bench_odbc.done", 300);
  if (made.empty()) {
    printf("  Python could not make the database\n");
    return 0;
  }
  const wchar_t* in = L"DRIVER=SQLite3;Database=/tmp/kalmora_bench_odbc.db";
  SQLHENV rawEnv;
  SQLHDBC rawDbc;
  SQLAllocEnv(&rawEnv);
  SQLAllocConnect(rawEnv, &rawDbc);
  SQLWCHAR out[512];
  SQLSMALLINT outLength;
  if (!SQL_SUCCEEDED(SQLDriverConnectW(rawDbc, nullptr, reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(in)),
                                       SQL_NTS, out, 512, &outLength, SQL_DRIVER_NOPROMPT))) {
    printf("  the SQLite driver is not there (unixodbc, libsqliteodbc)\n");
    return 0;
  }
  odbcHandle env = nullptr, dbc = nullptr;
  Trapped("connect", [&] {
    wchar_t* completed;
    odbcAllocEnv(&env);
    odbcAllocConnect(env, &dbc);
    odbcDriverConnect(env, dbc, 0, in, 4, &completed);
  });

  Pair bound = BestOfTurns([&] { return BindingBound(env, dbc); }, [&] { return RawBound(rawDbc); });
  Line("bind + extended fetch (rowset 100)", bound.binding, bound.raw);
  Pair get = BestOfTurns([&] { return BindingGetData(env, dbc); }, [&] { return RawGetData(rawDbc); });
  Line("fetch + get data", get.binding, get.raw);

  std::string py = bench::RunUnixProgram(
      nullptr, L"/usr/bin/python3 " _CRT_WIDE(ODBC_BENCH_DIR) L"/odbc_python.py time /tmp/kalmora_bench_odbc.db "
               L"/tmp/kalmora_bench_odbc.txt",
      L"Z:\\tmp\\kalmora_bench_odbc.txt", 300);
  if (py.empty())
    printf("  Python not available\n");
  else
    printf("  %-36s %6.3f s\n", "Python sqlite3 (same rows)", atof(py.c_str()));

  Trapped("disconnect", [&] {
    odbcDisconnect(env, dbc);
    odbcFreeConnect(env, dbc);
    odbcFreeEnv(env);
  });
  SQLDisconnect(rawDbc);
  SQLFreeConnect(rawDbc);
  SQLFreeEnv(rawEnv);
  DeleteFileW(L"Z:\\tmp\\kalmora_bench_odbc.db");
  return 0;
}
