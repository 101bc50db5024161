#include "odbc_test.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <type_traits>

namespace odbctest {

namespace kernel = Qel::RunTime::Kernel;

Outcome Try(const std::function<void()>& body) {
  volatile bool succeeded = false;
  uint32_t error = kernel::RunTrapped([&] { succeeded = kernel::Succeeds(body); });
  Outcome o = LastError();
  o.error = error;
  o.failed = !error && !succeeded;
  return o;
}

Outcome LastError() {
  int32_t code = 0;
  wchar_t *function = nullptr, *message = nullptr;
  odbcGetError(&code, &function, &message);
  return {0, false, code, function, message};
}

void ExpectBindingError(const Outcome& o, int32_t number, const wchar_t* name) {
  EXPECT_EQ(o.error, 8806u);
  EXPECT_EQ(o.code, -1001);
  EXPECT_EQ(o.function, name);
  EXPECT_EQ(o.message, odbcbind::BindingErrorText(number));
}

namespace {

std::map<std::string, SQLRETURN>& Results() {
  static std::map<std::string, SQLRETURN> results;
  return results;
}

template <class T>
int64_t Arg(T v) {
  if constexpr (std::is_pointer_v<T>)
    return int64_t(reinterpret_cast<intptr_t>(v));
  else
    return int64_t(v);
}

template <class Tag, class F>
struct Recorder;
template <class Tag, class R, class... A>
struct Recorder<Tag, R (*)(A...)> {
  static R SQL_API Call(A... a) {
    Stub::Record(Tag::name, {Arg(a)...});
    auto it = Results().find(Tag::name);
    return it == Results().end() ? SQL_SUCCESS : it->second;
  }
};

#define STUB_TAG(f) \
  struct Tag_##f {  \
    static constexpr const char* name = #f; \
  };
ODBC_FUNCTIONS(STUB_TAG)
#undef STUB_TAG

}  // namespace

std::vector<Call>& Stub::Calls() {
  static std::vector<Call> calls;
  return calls;
}

void Stub::SetResult(const char* name, SQLRETURN code) { Results()[name] = code; }

void Stub::Record(const char* name, std::vector<int64_t> args) { Calls().push_back({name, std::move(args)}); }

std::vector<Call> Stub::CallsOf(const char* name) {
  std::vector<Call> out;
  for (const Call& c : Calls())
    if (c.name == name) out.push_back(c);
  return out;
}

Stub::Stub() {
#define STUB_FILL(f) api.f = &Recorder<Tag_##f, decltype(&::f)>::Call;
  ODBC_FUNCTIONS(STUB_FILL)
#undef STUB_FILL
  Calls().clear();
  Results().clear();
}

// Puts odbc32 back and releases every Ham the test's bind calls made.
Stub::~Stub() {
  odbcbind::odbc = &odbcbind::Odbc32();
  odbcbind::ForgetStatement(kStmt);
  const std::pair<const char*, size_t> binds[] = {{"SQLBindCol", 3}, {"SQLBindParameter", 7}, {"SQLSetParam", 6}};
  for (const Call& c : Calls())
    for (auto [name, arg] : binds)
      if (c.name == name)
        if (odbcbind::Ham* ham = odbcbind::FindHamByData(reinterpret_cast<void*>(c.args[arg]))) {
          odbcbind::UnregisterHam(ham);
          kernel::Memory::ReleaseHeap(ham);
        }
}

void Stub::Install() { odbcbind::odbc = &api; }

data_struct* Value(uint32_t kind) {
  auto* v = reinterpret_cast<data_struct*>(kernel::Memory::AllocGStack(sizeof(data_struct)));
  memset(v, 0, sizeof *v);
  v->kind = kind;
  return v;
}

data_struct* Text(uint32_t kind, const wchar_t* text) {
  data_struct* v = Value(kind);
  v->value.text = kernel::Memory::CopyStringToGStack(text);
  return v;
}

data_struct* Integer(uint32_t kind, int32_t n) {
  data_struct* v = Value(kind);
  v->value.integer = n;
  return v;
}

data_struct* Real(uint32_t kind, double d) {
  data_struct* v = Value(kind);
  v->value.real = d;
  return v;
}

data_struct* Binary(const std::vector<uint8_t>& bytes) {
  data_struct* v = Value(odbcBinary);
  v->value.binary = odbcbind::MakeBinary(bytes.data(), uint32_t(bytes.size()));
  return v;
}

std::vector<uint8_t> BinaryBytes(const uint8_t* binary) {
  uint32_t word;
  memcpy(&word, binary - 4, 4);
  return std::vector<uint8_t>(binary, binary + word - 4);
}

void* StubHam(uint32_t type, int32_t length, uint16_t rows, uint32_t column) {
  void* ham = nullptr;
  Outcome o = Try([&] { odbcBindColArray(kEnv, kDbc, kStmt, column, int32_t(type), length, rows, &ham); });
  EXPECT_EQ(o.error, 0u) << "binding a Ham of type " << type;
  return ham;
}

std::string ConfigFolderUnix() {
  char path[1024];
  DWORD n = GetEnvironmentVariableA("ODBCSYSINI", path, sizeof path);
  if (n == 0 || n >= sizeof path) return "";
  std::string s(path, n);
  if (s.back() != '/') s += '/';
  return s;
}

std::wstring ConfigFolder() {
  std::string unix = ConfigFolderUnix();
  if (unix.empty()) return L"";
  std::wstring w = L"Z:";
  for (char c : unix) w += c == '/' ? L'\\' : wchar_t(c);
  return w;
}

}  // namespace odbctest
