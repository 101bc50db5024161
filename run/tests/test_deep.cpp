// Terms nested very deep: every operation on a term nested 1,000 to 200,000
// levels returns or raises its error, none runs the machine stack out; the
// deepest text the reader takes goes through every operation; comparing,
// sizing, copying and writing take any depth.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "example_unit.h"
#include "qel6run_db.h"
#include "run_test.h"

using namespace runtest;
using namespace Qel::RunTime;
using namespace Qel::RunTime::Kernel;
using namespace Qel::RunTime::Terms;
namespace decl = Qel::RunTime::Decl;

namespace {

// tree = node(tree, tree); leaf.  The nesting goes down the first argument,
// so that no walk can loop on it as on a last argument.
struct Node {
  uint64_t functor;
  const void* left;
  const void* right;
};
extern RCompoundDomain tree;
decl::Arguments nodeArgs{{QEL_ARG(Node, left, tree), QEL_ARG(Node, right, tree)}};
RFunctor treeFunctors[] = {decl::Functor<Node>(L"node", nodeArgs), decl::Constant(L"leaf")};
RCompoundDomain tree = decl::Compound({L"tree"}, treeFunctors);

// The same shape with reference cells for arguments.
extern RCompoundDomain refTree;
decl::Arguments refNodeArgs{{QEL_ARG(Node, left, refTree), QEL_ARG(Node, right, refTree)}};
RFunctor refTreeFunctors[] = {decl::Functor<Node>(L"node", refNodeArgs), decl::Constant(L"leaf")};
RCompoundDomain refTree = decl::Compound({L"refTree"}, refTreeFunctors, kRefCompound);

// Lists of themselves: [[[]]].
QEL_LIST(nest, nest, const void*, {L"nest"});

// A reference list of integers: [1,2,3|_].
struct RefCons {
  uint64_t functor;
  int32_t head;
  const RRefCell* tail;
};
extern RCompoundDomain refInts;
decl::Arguments refConsArgs{{QEL_ARG(RefCons, head, example::coord), QEL_ARG(RefCons, tail, refInts)}};
RFunctor refConsFunctors[] = {decl::Functor<RefCons>(L".", refConsArgs), decl::Constant(L"[]")};
RCompoundDomain refInts = decl::Compound({L"refInts"}, refConsFunctors, kRefList);

class Deep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(example::LinkExampleUnit(), 0);
    for (auto* r : {&tree.head, &refTree.head, &nest.head, &refInts.head})
      if (r->kind < 100) ActivateDomain(r);
  }
  void SetUp() override { mark_ = Memory::MarkGStack(); }
  void TearDown() override { Memory::ReleaseGStack(mark_); }
  uint8_t* mark_ = nullptr;
};

uint8_t* Block(uint32_t size, bool onGStack) {
  return static_cast<uint8_t*>(onGStack ? Alloc(size) : Memory::AllocHeap(size));
}
term Leaf(bool onGStack) {
  auto* b = Block(8, onGStack);
  uint64_t two = 2;
  memcpy(b, &two, 8);
  return b;
}
// A reference cell bound to t.
const RRefCell* Bound(term t, bool onGStack) {
  auto* c = reinterpret_cast<RRefCell*>(Block(16, onGStack));
  c->tag = 1;
  c->value = reinterpret_cast<uint64_t>(t);
  return c;
}

// node(node(...(leaf, leaf)...), leaf), `depth` nodes; refTree's terms and
// arguments are bound cells, the innermost left one unbound when `open`.
term Tree(const RCompoundDomain& d, int depth, bool onGStack = false, bool open = false) {
  bool ref = &d == &refTree;
  term t = Leaf(onGStack);
  for (int i = 0; i < depth; ++i) {
    auto* n = reinterpret_cast<Node*>(Block(sizeof(Node), onGStack));
    n->functor = 1;
    if (ref) {
      const RRefCell* left = Bound(t, onGStack);
      if (open && i == 0) {
        auto* unbound = reinterpret_cast<RRefCell*>(Block(16, onGStack));
        unbound->tag = unbound->value = 0;
        left = unbound;
      }
      n->left = left;
      n->right = Bound(Leaf(onGStack), onGStack);
    } else {
      n->left = t;
      n->right = Leaf(onGStack);
    }
    t = reinterpret_cast<term>(n);
  }
  return ref ? reinterpret_cast<term>(Bound(t, onGStack)) : t;  // a refTree term is a cell
}

term Nest(int depth, bool onGStack = false) {
  term t = Leaf(onGStack);  // [] (functor 2)
  for (int i = 1; i < depth; ++i) {
    auto* c = reinterpret_cast<nest_cons*>(Block(sizeof(nest_cons), onGStack));
    c->functor = 1;
    c->head = t;
    c->tail = Leaf(onGStack);
    t = reinterpret_cast<term>(c);
  }
  return t;
}

std::wstring TreeText(int depth) {
  std::wstring s;
  s.reserve(static_cast<size_t>(depth) * 16 + 8);
  for (int i = 0; i < depth; ++i) s += L"node(";
  s += L"leaf()";
  for (int i = 0; i < depth; ++i) s += L",leaf())";
  return s;
}
std::wstring NestText(int depth) { return std::wstring(depth, L'[') + std::wstring(depth, L']'); }

// Counts the units a writer gives.
class CountingSink final : public RBufferSource {
 public:
  void NextBlock(uint8_t** base, uint32_t* length) override {
    total += pos;
    pos = 0;
    *base = buffer;
    *length = sizeof buffer;
  }
  uint32_t* PositionCell() override { return &pos; }
  uint64_t Units() const { return (total + pos) / 2; }
  uint8_t buffer[4096];
  uint32_t pos = 0;
  uint64_t total = 0;
};

struct Operation {
  const char* name;
  // 0 or the error code; `mayRaise`: the code the operation may end with.
  std::function<uint32_t(const IDomainDefinition*, term)> run;
  uint32_t mayRaise;
};

// Every operation on t: each returns, or raises its own error where that is allowed.
void ExpectEveryOperationEnds(const IDomainDefinition* d, term t, term onGStack, bool mayRaise,
                              const char* what) {
  const Operation ops[] = {
      {"ToString", [](auto d, term t) { return ErrorOf([&] { ToString(d, t); }); }, 0},
      {"TextLength", [](auto d, term t) { return ErrorOf([&] { d->TextLength(t); }); }, 0},
      {"consult writer",
       [](auto d, term t) {
         return ErrorOf([&] {
           CountingSink sink;
           Streams::StreamFromTerm(d, &sink, t);
         });
       },
       0},
      {"CompareTerms", [](auto d, term t) { return ErrorOf([&] { CompareTerms(d, t, t); }); }, 0},
      {"SizeOfTermAt", [](auto d, term t) { return ErrorOf([&] { d->SizeOfTermAt(t); }); }, 0},
      {"CopyTermToGStack",
       [](auto d, term t) {
         return ErrorOf([&] {
           term copy;
           CopyTermToGStack(d, t, &copy);
         });
       },
       0},
      {"ToBinary",
       [](auto d, term t) {
         volatile TBinary image = nullptr;
         uint32_t code = ErrorOf([&] { image = ToBinary(d, t); });
         // The image reader, a reader too, may refuse what is too deep for it.
         uint32_t read = code ? 0 : ErrorOf([&] { FromBinary(d, image); });
         EXPECT_TRUE(read == 0 || read == 304) << read;
         return code;
       },
       301},
      {"Validate", [](auto d, term t) { return ErrorOf([&] { Validate(d, t); }); }, 301},
      {"IsGround", [](auto d, term t) { return ErrorOf([&] { d->IsGround(t); }); }, 301},
  };
  for (const Operation& op : ops) {
    uint32_t code = op.run(d, t);
    if (op.mayRaise && mayRaise && code == op.mayRaise) continue;
    EXPECT_EQ(code, 0u) << what << ": " << op.name << ", " << Narrow(LastErrorText());
  }
  uint32_t code = ErrorOf([&] { CopyTermFromGStack(d, onGStack); });
  if (!(mayRaise && code == 301)) {
    EXPECT_EQ(code, 0u) << what << ": CopyTermFromGStack";
  }
}

}  // namespace

TEST_F(Deep, EveryOperationEndsAtEveryDepth) {
  for (int depth : {1000, 5000, 50000, 200000}) {
    std::string at = " at depth " + std::to_string(depth);
    ExpectEveryOperationEnds(Domain(tree.head), Tree(tree, depth), Tree(tree, depth, true), true,
                             ("tree" + at).c_str());
    ExpectEveryOperationEnds(Domain(refTree.head), Tree(refTree, depth),
                             Tree(refTree, depth, true), true, ("refTree" + at).c_str());
    ExpectEveryOperationEnds(Domain(nest.head), Nest(depth), Nest(depth, true), true,
                             ("nest" + at).c_str());
    // The readers take what they can and refuse the rest with their error.
    std::wstring text = TreeText(depth);
    uint32_t code = ErrorOf([&] { FromString(Domain(tree.head), text.c_str()); });
    EXPECT_TRUE(code == 0 || code == 303) << code << at;
    code = ErrorOf([&] { Streams::ParseToTerm(Domain(tree.head), text.c_str()); });
    EXPECT_TRUE(code == 0 || code == 322) << code << at;
    Memory::ReleaseGStack(mark_);
  }
}

TEST_F(Deep, DeepTermsAreWrittenComparedAndCopiedWhole) {
  const int depth = 200000;
  const IDomainDefinition* d = Domain(tree.head);
  term t = Tree(tree, depth);
  EXPECT_EQ(std::wstring(ToString(d, t)), TreeText(depth));
  EXPECT_EQ(d->SizeOfTermAt(t), depth * (sizeof(Node) + 8) + 8);
  term copy;
  CopyTermToGStack(d, t, &copy);
  EXPECT_EQ(CompareTerms(d, t, copy), 0);
  // The innermost node's right argument differs: node (functor 1) < leaf (2).
  auto* n = reinterpret_cast<Node*>(const_cast<uint8_t*>(copy));
  while (memcmp(n->left, "\x01", 1) == 0) n = static_cast<Node*>(const_cast<void*>(n->left));
  n->right = Tree(tree, 1);
  EXPECT_EQ(CompareTerms(d, copy, t), 1);  // the export compares its second argument to its first
  EXPECT_EQ(CompareTerms(d, t, copy), -1);
  EXPECT_EQ(std::wstring(ToString(Domain(nest.head), Nest(depth))), NestText(depth));
}

TEST_F(Deep, UnboundCellsDeepDownAreWrittenAndCopiedAsUnbound) {
  const IDomainDefinition* d = Domain(refTree.head);
  term t = Tree(refTree, 100000, false, true);
  std::wstring text = ToString(d, t);
  EXPECT_EQ(text.find(L"node(_,leaf())"), 99999u * 5);
  term copy;
  CopyTermToGStack(d, t, &copy);
  EXPECT_EQ(std::wstring(ToString(d, copy)), text);
  volatile bool ground = true;
  uint32_t code = ErrorOf([&] { ground = d->IsGround(t); });
  EXPECT_TRUE(code == 301 || (code == 0 && !ground)) << code;
  // A copy that needs every cell bound refuses the unbound one.
  uint32_t used;
  auto* target = static_cast<uint8_t*>(Alloc(d->AlignedSizeOfTerm(t)));
  EXPECT_EQ(ErrorOf([&] { d->CopyTerm(target, t, true, &used); }), 328u);
  EXPECT_EQ(ErrorOf([&] { CompareTerms(d, t, copy); }), 328u);
}

// The deepest text of `make` the reader takes on this thread.
template <class Make>
int DeepestReadable(const IDomainDefinition* d, Make&& make) {
  int low = 1000, high = 400000;
  uint8_t* mark = Memory::MarkGStack();
  while (high - low > 1) {
    int mid = (low + high) / 2;
    std::wstring s = make(mid);
    (ErrorOf([&] { FromString(d, s.c_str()); }) == 0 ? low : high) = mid;
    Memory::ReleaseGStack(mark);
  }
  return low;
}

TEST_F(Deep, TheDeepestTextTheReaderTakesGoesThroughEveryOperation) {
  // The size first: 5,000 levels read and written back.
  const IDomainDefinition* d = Domain(tree.head);
  std::wstring text = TreeText(5000);
  term t = FromString(d, text.c_str());
  EXPECT_EQ(std::wstring(ToString(d, t)), text);
  int low = DeepestReadable(d, TreeText);
  ASSERT_LT(low, 399999) << "the reader has no floor";
  text = TreeText(low);
  t = FromString(d, text.c_str());
  int listLow = DeepestReadable(Domain(nest.head), NestText);
  std::wstring nested = NestText(listLow);
  term list = FromString(Domain(nest.head), nested.c_str());
  ExpectEveryOperationEnds(d, t, Tree(tree, low, true), false, "deepest tree text");
  ExpectEveryOperationEnds(Domain(nest.head), list, Nest(listLow, true), false, "deepest list text");
  EXPECT_EQ(std::wstring(ToString(Domain(nest.head), list)), nested);
  EXPECT_EQ(std::wstring(ToString(d, t)), text);
}

namespace {

// 1, 2, ..., n with an unbound tail.
term OpenInts(int n) {
  auto* open = static_cast<RRefCell*>(Memory::AllocHeap(16));
  open->tag = open->value = 0;
  const RRefCell* tail = open;
  for (int i = n; i >= 1; --i) {
    auto* c = reinterpret_cast<RefCons*>(Memory::AllocHeap(sizeof(RefCons)));
    *c = RefCons{1, i, tail};
    tail = Bound(reinterpret_cast<term>(c), false);
  }
  return reinterpret_cast<term>(tail);
}

// What the walks give for one term.
struct Seen {
  const wchar_t* text;
  uint32_t size, aligned, used;
  const wchar_t* copyText;
  int compareToCopy;  // or minus the error code
};
struct Sample {
  const IDomainDefinition* d;
  term t;
};
std::vector<Sample> g_samples;
std::vector<Seen> g_seen;

Seen Look(const Sample& s) {
  Seen r{};
  r.text = ToString(s.d, s.t);
  r.size = s.d->SizeOfTermAt(s.t);
  r.aligned = s.d->AlignedSizeOfTerm(s.t);
  auto* target = static_cast<uint8_t*>(Alloc(r.aligned));
  term copy = s.d->CopyTerm(target, s.t, false, &r.used);
  r.copyText = ToString(s.d, copy);
  volatile int order = 0;
  uint32_t code = ErrorOf([&] { order = s.d->CompareTerms(s.t, copy); });
  r.compareToCopy = code ? -static_cast<int>(code) : order;  // unbound cells: -328
  return r;
}

void LookAtSamples() {
  for (const Sample& s : g_samples) g_seen.push_back(Look(s));
}

// Runs fn with 100 KB of this thread's machine stack left.
[[gnu::noinline]] void NearTheStackEnd(void (*fn)()) {
  ULONG_PTR low = 0, high = 0;
  GetCurrentThreadStackLimits(&low, &high);
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  auto* fill = static_cast<volatile char*>(__builtin_alloca(here - low - 100 * 1024));
  fill[0] = 0;
  fn();
  fill[1] = 0;
}

}  // namespace

TEST_F(Deep, ExplicitStackWalksGiveWhatTheRecursiveOnesGive) {
  // With 100 KB of machine stack left every level is near the stack's end:
  // only the explicit-stack walks run there.
  g_samples = {{Domain(example::shapeList), example::MakeShapeList(40)},
               {Domain(refInts.head), OpenInts(5)},
               {Domain(refTree.head), Tree(refTree, 6, false, true)},
               {Domain(refTree.head), Tree(refTree, 6)},
               {Domain(tree.head), Tree(tree, 7)},
               {Domain(nest.head), Nest(9)},
               {Domain(example::shape), example::MakeCircle(1, 2, 3)}};
  g_seen.clear();
  LookAtSamples();
  std::vector<Seen> recursive = g_seen;
  g_seen.clear();
  NearTheStackEnd(LookAtSamples);
  ASSERT_EQ(g_seen.size(), recursive.size());
  EXPECT_EQ(std::wstring(recursive[1].text), L"[1,2,3,4,5|_]");
  for (size_t i = 0; i < recursive.size(); ++i) {
    const Seen &a = recursive[i], &b = g_seen[i];
    EXPECT_EQ(std::wstring(b.text), a.text) << i;
    EXPECT_EQ(std::wstring(b.copyText), a.text) << i;
    EXPECT_EQ(std::wstring(a.copyText), a.text) << i;
    EXPECT_EQ(b.size, a.size) << i;
    EXPECT_EQ(b.aligned, a.aligned) << i;
    EXPECT_EQ(b.used, a.aligned) << i;
    EXPECT_EQ(a.used, a.aligned) << i;
    EXPECT_EQ(b.compareToCopy, a.compareToCopy) << i;
    EXPECT_EQ(a.compareToCopy, i == 1 || i == 2 ? -328 : 0) << i;
  }
}
