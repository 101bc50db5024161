// Recorder: drew_few_assigns with its keys, handed on to a registered
// assignment layer.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::drew_few_assigns(const rizediveva6::SList* keys) {
  std::wstring text;
  for (const rizediveva6::SList* k = keys; !k->Empty(); k = k->tail) text += (text.empty() ? L"" : L" ") + std::wstring(k->head);
  alltest::ComtreeCalls().push_back({L"drew_few_assigns", 0, text});
  if (alltest::AssignLayer().days) alltest::AssignLayer().days(keys);
}
