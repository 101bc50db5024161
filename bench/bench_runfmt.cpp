// Format-string rate against the C library's swprintf on the same work, and
// what one call allocates: the result string on the heap and nothing left
// on the global stack.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "bench_util.h"
#include "qel6run.h"
#include "qel6run_fmt.h"

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Kernel;
namespace decl = Qel::RunTime::Decl;

namespace {

RIntegralDomain intd = decl::Integer({L"integer"});
RRealDomain reald = decl::Real({L"real"});
RDomainRecord strd = decl::Simple(kString, {L"string"});

template <class F>
double Time(int n, F&& f) {
  double start = bench::Now();
  for (int i = 0; i < n; ++i) f(i);
  return bench::Now() - start;
}

}  // namespace

int main() {
  for (RDomainRecord* r : {&intd.head, &reald.head, &strd}) ActivateDomain(r);
  const IDomainDefinition* I = Domain(intd.head);
  const IDomainDefinition* R = Domain(reald.head);
  const IDomainDefinition* S = Domain(strd);

  // A record line: four directives with flags, widths and precision.
  const int n = 200000;
  TEllipsisArgs<4> a;
  a.SetTerm(1, S, L"Dr. Example");
  a.SetValue(2, R, 1234.5678);
  volatile size_t sink = 0;
  uint8_t* top = Memory::MarkGStack();
  double ours = Time(n, [&](int i) {
    a.SetValue(0, I, int32_t{i});
    a.SetValue(3, I, int32_t{i * 7});
    wchar_t* s = CorvaneString::Format2StringProlog(L"%6d: %-16s %10.2f %08x\n", a);
    sink = sink + s[0];
  });
  bool gstackKept = Memory::MarkGStack() == top;
  wchar_t buffer[256];
  double theirs = Time(n, [&](int i) {
    int k = swprintf(buffer, 256, L"%6d: %-16ls %10.2f %08X\n", i, L"Dr. Example", 1234.5678,
                     static_cast<unsigned>(i * 7));
    wchar_t* s = Memory::AllocHeapString(static_cast<uint32_t>(k));  // a result string too
    memcpy(s, buffer, size_t(k) * 2);
    sink = sink + s[0];
  });
  printf("record line, %d calls: %.0f ns/call, swprintf + copy %.0f ns/call, ratio %.2f\n", n,
         ours / n * 1e9, theirs / n * 1e9, ours / theirs);

  // The same without the real: integers and a string only.
  double oursInt = Time(n, [&](int i) {
    a.SetValue(0, I, int32_t{i});
    a.SetValue(2, I, int32_t{i * 7});
    TEllipsisArgs<3> c;
    c.SetValue(0, I, int32_t{i});
    c.SetTerm(1, S, L"Dr. Example");
    c.SetValue(2, I, int32_t{i * 7});
    wchar_t* s = CorvaneString::Format2StringProlog(L"%6d: %-16s %08x\n", c);
    sink = sink + s[0];
  });
  double theirsInt = Time(n, [&](int i) {
    int k = swprintf(buffer, 256, L"%6d: %-16ls %08X\n", i, L"Dr. Example",
                     static_cast<unsigned>(i * 7));
    wchar_t* s = Memory::AllocHeapString(static_cast<uint32_t>(k));
    memcpy(s, buffer, size_t(k) * 2);
    sink = sink + s[0];
  });
  printf("integers and a string, %d calls: %.0f ns/call, swprintf + copy %.0f ns/call, ratio %.2f\n",
         n, oursInt / n * 1e9, theirsInt / n * 1e9, oursInt / theirsInt);

  // Long literal runs and a long string argument: text rate.
  std::wstring literal(100000, L'x'), text(100000, L'y');
  std::wstring format = literal + L"%s" + literal;
  TEllipsisArgs<1> b;
  b.SetTerm(0, S, text.c_str());
  const int m = 200;
  double longRun = Time(m, [&](int) {
    wchar_t* s = CorvaneString::Format2StringProlog(format.c_str(), b);
    sink = sink + s[0];
  });
  double mb = 300000.0 * 2 * m / 1e6;
  double copyOnly = Time(m, [&](int) {
    wchar_t* s = Memory::AllocHeapString(300000);
    memcpy(s, format.c_str(), 200000);
    memcpy(s + 200000, text.c_str(), 200000);
    sink = sink + s[0];
  });
  printf("long text (600 KB result): %.0f MB/s, heap copy alone %.0f MB/s, ratio %.2f\n",
         mb / longRun, mb / copyOnly, copyOnly / longRun);
  printf("global stack after the calls: %s\n", gstackKept ? "as before" : "GROWN");
  return sink == 42 ? 1 : 0;
}
