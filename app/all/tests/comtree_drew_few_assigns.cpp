// Recorder: drew_few_assigns with its keys.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::drew_few_assigns(const rizediveva6::SList* keys) {
  std::wstring text;
  for (; !keys->Empty(); keys = keys->tail) text += (text.empty() ? L"" : L" ") + std::wstring(keys->head);
  alltest::ComtreeCalls().push_back({L"drew_few_assigns", 0, text});
}
