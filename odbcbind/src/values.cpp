// Values between the caller and ODBC's C data: Ham rows, Hul cells and
// single column values (odbcGetData).
//
// Nothing is read or written outside an element: text is taken up to its
// terminator inside the element or buffer, binaries up to its size, and a
// put that does not fit, has the wrong kind or holds a field out of range
// is refused before the row is touched.  Dates, times and timestamps put
// back the text that the getter gives.
#include <emmintrin.h>

#include <cstring>
#include <cwchar>

#include "binding.h"
#include "qel6kernel.h"

namespace odbcbind {

namespace kernel = Qel::RunTime::Kernel;

data_struct* NewValue(uint32_t kind, uint32_t extra) {
  auto* v = reinterpret_cast<data_struct*>(kernel::Memory::AllocGStack(uint32_t(sizeof(data_struct) + extra)));
  memset(v, 0, sizeof *v);
  v->kind = kind;
  return v;
}

const uint8_t* MakeBinary(const uint8_t* bytes, uint32_t length) {
  uint8_t* block = kernel::Memory::AllocGStack(length + 4);
  uint32_t word = length + 4;
  memcpy(block, &word, 4);
  memcpy(block + 4, bytes, length);
  return block + 4;
}

namespace {

// Appends n (a 16-bit field) left-justified in a field of `width` characters.
wchar_t* PutNumber(wchar_t* out, int n, int width) {
  wchar_t* start = out;
  unsigned u = n < 0 ? 0u - unsigned(n) : unsigned(n);
  if (n < 0) *out++ = L'-';
  int count = u < 10 ? 1 : u < 100 ? 2 : u < 1000 ? 3 : u < 10000 ? 4 : 5;
  for (int i = count - 1; i >= 0; --i, u /= 10) out[i] = wchar_t(L'0' + u % 10);
  out += count;
  while (out - start < width) *out++ = L' ';
  return out;
}

uint16_t U16(const uint8_t* p) {
  uint16_t v;
  memcpy(&v, p, 2);
  return v;
}

}  // namespace

// Date "%-2d-%-2d-%-4d" (month, day, year), time "%-2d:%-2d:%-2d", timestamp
// both with a space between; the fraction is not shown.
void FormatTemporal(uint32_t type, const uint8_t* element, wchar_t* text) {
  wchar_t* p = text;
  if (type == odbcDate || type == odbcTimestamp) {
    p = PutNumber(p, U16(element + 2), 2);
    *p++ = L'-';
    p = PutNumber(p, U16(element + 4), 2);
    *p++ = L'-';
    p = PutNumber(p, int16_t(U16(element)), 4);
  }
  if (type == odbcTimestamp) *p++ = L' ';
  if (type == odbcTime || type == odbcTimestamp) {
    const uint8_t* t = type == odbcTime ? element : element + 6;
    p = PutNumber(p, U16(t), 2);
    *p++ = L':';
    p = PutNumber(p, U16(t + 2), 2);
    *p++ = L':';
    p = PutNumber(p, U16(t + 4), 2);
  }
  *p = 0;
}

namespace {

constexpr const wchar_t* kGetHam = L"odbcGetHam";
constexpr const wchar_t* kPutHam = L"odbcPutHam";

// The fields of a date, time or timestamp text, in the getter's order.
struct Temporal {
  int values[6];
  int count;
};

// Numbers between separators ("3 -7 -2024"), or the run-together form
// without separators ("03072024", timestamps "03072024 101112") cut into
// fixed-width pieces.  False when neither form fits.
bool SplitTemporal(const wchar_t* text, uint32_t type, Temporal& t) {
  static const int widths[3][6] = {{2, 2, 4}, {2, 2, 2}, {2, 2, 4, 2, 2, 2}};
  const int* width = widths[type - odbcDate];
  t.count = type == odbcTimestamp ? 6 : 3;
  auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
  int runs = 0, runLength[8] = {};
  const wchar_t* runStart[8];
  for (const wchar_t* p = text; *p;) {
    if (!digit(*p)) {
      ++p;
      continue;
    }
    const wchar_t* s = p;
    while (digit(*p)) ++p;
    if (runs == 8) return false;
    runStart[runs] = s;
    runLength[runs++] = int(p - s);
  }
  auto number = [](const wchar_t* s, int n, int& out) {
    if (n > 9) return false;
    out = 0;
    for (int i = 0; i < n; ++i) out = out * 10 + (s[i] - L'0');
    return true;
  };
  if (runs == t.count) {
    for (int i = 0; i < runs; ++i)
      if (!number(runStart[i], runLength[i], t.values[i])) return false;
    return true;
  }
  // Run-together: one run per part (date or time), the parts' widths exact.
  int parts = type == odbcTimestamp ? 2 : 1;
  if (runs != parts) return false;
  int field = 0;
  for (int part = 0; part < parts; ++part) {
    int fields = part == 0 && type == odbcTimestamp ? 3 : t.count - field;
    int total = 0;
    for (int i = 0; i < fields; ++i) total += width[field + i];
    if (runLength[part] != total) return false;
    const wchar_t* s = runStart[part];
    for (int i = 0; i < fields; ++i, ++field) {
      number(s, width[field], t.values[field]);
      s += width[field];
    }
  }
  return true;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool DateInRange(int month, int day, int year) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  return day <= days[month - 1] + (month == 2 && IsLeap(year));
}

bool TimeInRange(int hour, int minute, int second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

// Parses `text` into the element of a date, time or timestamp Ham; the
// timestamp's fraction is kept.
void PutTemporal(const wchar_t* text, uint32_t type, uint8_t* element) {
  Temporal t;
  if (!text || !SplitTemporal(text, type, t)) BindingError(kIllegalConstant, kPutHam);
  const int* v = t.values;
  bool ok = type == odbcTime ? TimeInRange(v[0], v[1], v[2])
                             : DateInRange(v[0], v[1], v[2]) && (type == odbcDate || TimeInRange(v[3], v[4], v[5]));
  if (!ok) BindingError(kIllegalConstant, kPutHam);
  uint16_t fields[6];
  int n = 0;
  if (type == odbcTime) {
    for (int i = 0; i < 3; ++i) fields[n++] = uint16_t(v[i]);
  } else {
    fields[n++] = uint16_t(v[2]);
    fields[n++] = uint16_t(v[0]);
    fields[n++] = uint16_t(v[1]);
    if (type == odbcTimestamp)
      for (int i = 3; i < 6; ++i) fields[n++] = uint16_t(v[i]);
  }
  memcpy(element, fields, n * sizeof(uint16_t));
}

// The units of `text` before its terminator, at most `limit`; reads no unit
// at or past `limit`, eight at a time while eight remain.
size_t BoundedLength(const wchar_t* text, size_t limit) {
  const __m128i zero = _mm_setzero_si128();
  size_t n = 0;
  for (; n + 8 <= limit; n += 8) {
    __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + n));
    if (int hit = _mm_movemask_epi8(_mm_cmpeq_epi16(units, zero))) return n + __builtin_ctz(hit) / 2;
  }
  while (n < limit && text[n]) ++n;
  return n;
}

Ham* HamRow(void* address, uint32_t row, const wchar_t* name) {
  Ham* ham = FindHam(address, name);
  if (row < 1 || row > ham->header.rows) BindingError(kIllegalConstant, name);
  return ham;
}

// The value of one element (indicator not null) of binding type `type`: one
// block with the record first and its text behind it (a binary has its own).
data_struct* ReadElement(uint32_t type, const uint8_t* element, uint32_t size, SQLLEN indicator) {
  switch (type) {
    case odbcString: case odbcNumeric: case odbcLongText: {
      const auto* text = reinterpret_cast<const wchar_t*>(element);
      size_t n = BoundedLength(text, size / sizeof(wchar_t));
      data_struct* v = NewValue(type, uint32_t((n + 1) * sizeof(wchar_t)));
      auto* out = reinterpret_cast<wchar_t*>(v + 1);
      wmemcpy(out, text, n);
      out[n] = 0;
      v->value.text = out;
      return v;
    }
    case odbcBit: case odbcTinyInt: {
      data_struct* v = NewValue(type, 0);
      v->value.integer = element[0];
      return v;
    }
    case odbcShort: case odbcLong: {
      data_struct* v = NewValue(type, 0);
      memcpy(&v->value.integer, element, 4);
      return v;
    }
    case odbcFloat: case odbcDouble: {
      data_struct* v = NewValue(type, 0);
      memcpy(&v->value.real, element, 8);
      return v;
    }
    case odbcDate: case odbcTime: case odbcTimestamp: {
      data_struct* v = NewValue(type, kTemporalChars * sizeof(wchar_t));
      auto* out = reinterpret_cast<wchar_t*>(v + 1);
      FormatTemporal(type, element, out);
      v->value.text = out;
      return v;
    }
    default: {  // odbcBinary
      uint32_t n = indicator >= 0 && uint64_t(indicator) < size ? uint32_t(indicator) : size;
      data_struct* v = NewValue(type, 0);
      v->value.binary = MakeBinary(element, n);
      return v;
    }
  }
}

}  // namespace

}  // namespace odbcbind

using namespace odbcbind;

extern "C" {

void odbcGetHamArray(void* address, uint16_t row, data_struct** value) {
  Ham* ham = HamRow(address, row, kGetHam);
  SQLLEN indicator = ham->Indicators()[row - 1];
  uint32_t type = ham->header.type & 0xFF;
  *value = indicator == SQL_NULL_DATA ? NewValue(odbcNull, 0)
                                      : ReadElement(type, ham->Element(row), ham->header.elementSize, indicator);
  RecordSuccess(kGetHam);
}

void odbcGetHam(void* ham, data_struct** value) { odbcGetHamArray(ham, 1, value); }

void odbcPutHamArray(void* address, uint16_t row, data_struct* value) {
  Ham* ham = HamRow(address, row, kPutHam);
  uint32_t type = ham->header.type & 0xFF, size = ham->header.elementSize;
  SQLLEN& indicator = ham->Indicators()[row - 1];
  uint8_t* element = ham->Element(row);
  if (!value || (value->kind != odbcNull && value->kind != type)) BindingError(kIllegalConstant, kPutHam);
  if (value->kind == odbcNull) {
    indicator = SQL_NULL_DATA;
    RecordSuccess(kPutHam);
    return;
  }
  switch (type) {
    case odbcString: case odbcNumeric: case odbcLongText: {
      const wchar_t* text = value->value.text;
      size_t n = text ? wcsnlen(text, size / sizeof(wchar_t)) : 0;
      if (!text || (n + 1) * sizeof(wchar_t) > size) BindingError(kIllegalConstant, kPutHam);
      memcpy(element, text, (n + 1) * sizeof(wchar_t));
      indicator = SQL_NTS;
      break;
    }
    case odbcBinary: {
      const uint8_t* bytes = value->value.binary;
      uint32_t word = 0;
      if (bytes) memcpy(&word, bytes - 4, 4);
      if (!bytes || word < 4 || word - 4 > size) BindingError(kIllegalConstant, kPutHam);
      memcpy(element, bytes, word - 4);
      indicator = word - 4;
      break;
    }
    case odbcBit: case odbcTinyInt: {
      int32_t n = value->value.integer;
      if (n < 0 || n > (type == odbcBit ? 1 : 255)) BindingError(kIllegalConstant, kPutHam);
      element[0] = uint8_t(n);
      indicator = size;
      break;
    }
    case odbcShort: case odbcLong:
      memcpy(element, &value->value.integer, 4);
      indicator = size;
      break;
    case odbcFloat: case odbcDouble:
      memcpy(element, &value->value.real, 8);
      indicator = size;
      break;
    case odbcDate: case odbcTime: case odbcTimestamp:
      PutTemporal(value->value.text, type, element);
      indicator = size;
      break;
  }
  RecordSuccess(kPutHam);
}

void odbcPutHam(void* ham, data_struct* value) { odbcPutHamArray(ham, 1, value); }

void odbcReleaseHam(void* address) {
  Ham* ham = FindHam(address, L"odbcReleaseHam");
  if (IsBound(ham)) BindingError(kHamNotReserved, L"odbcReleaseHam");
  UnregisterHam(ham);
  kernel::Memory::ReleaseHeap(ham);
  RecordSuccess(L"odbcReleaseHam");
}

void odbcAllocHul(void** cell) {
  void* block = kernel::Memory::AllocHeap(sizeof(SQLULEN));
  memset(block, 0, sizeof(SQLULEN));
  *cell = block;
}

void odbcReleaseHul(void* cell) {
  if (cell) kernel::Memory::ReleaseHeap(cell);
}

void odbcGetHul(void* cell, uint32_t* value) {
  if (!cell) return;
  SQLULEN v;
  memcpy(&v, cell, sizeof v);
  *value = uint32_t(v);
}

void odbcPutHul(void* cell, uint32_t value) {
  if (!cell) return;
  SQLULEN v = value;
  memcpy(cell, &v, sizeof v);
}

void odbcGetData(odbcHandle env, odbcHandle dbc, odbcHandle stmt, uint32_t column, uint32_t type, uint32_t size,
                 data_struct** value, uint32_t* indicator) {
  const TypeInfo& info = TypeOf(type, L"odbcGetData");
  if (size == 0) BindingError(kIllegalConstant, L"odbcGetData");
  // Fixed-size C types are written whole whatever the length says; two zero
  // bytes behind the buffer end any text.  Small values use one static
  // buffer, larger ones a block of their own (left to the collector when
  // ODBC's error raises).
  alignas(8) static uint8_t scratch[4096 + 2];
  uint64_t need = uint64_t(size < 16 ? 16 : size) + 2;
  if (need > UINT32_MAX) BindingError(kIllegalConstant, L"odbcGetData");
  uint8_t* buffer = need <= sizeof scratch ? scratch
                                           : static_cast<uint8_t*>(kernel::Memory::AllocAtomicHeap(uint32_t(need)));
  memset(buffer, 0, 16);
  buffer[size] = buffer[size + 1] = 0;
  SQLLEN length = 0;
  Check(odbc->SQLGetData(stmt, SQLUSMALLINT(column), info.cType, buffer, SQLLEN(size), &length), L"SQLGetData",
        env, dbc, stmt);
  data_struct* v;
  if (length == SQL_NULL_DATA) {
    v = NewValue(odbcNull, 0);
  } else if (type == odbcShort) {
    int16_t s;
    memcpy(&s, buffer, 2);
    v = NewValue(type, 0);
    v->value.integer = s;
  } else {
    v = ReadElement(type, buffer, size, length);
  }
  if (buffer != scratch) kernel::Memory::ReleaseHeap(buffer);
  *value = v;
  *indicator = uint16_t(length);
}

}  // extern "C"
