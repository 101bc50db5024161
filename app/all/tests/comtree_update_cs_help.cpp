// Recorder: the three forms of update_cs_help (the verdict form records the
// verdict's alternative number after the suffix).
#include <string>

#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::update_cs_help() { alltest::ComtreeCalls().push_back({L"update_cs_help", 0, L""}); }

void all::comtree::update_cs_help(int32_t colour, const wchar_t* text) {
  alltest::ComtreeCalls().push_back({L"update_cs_help", colour, text});
}

void all::comtree::update_cs_help(int32_t colour, const wchar_t* suffix, const ReasonTerm* verdict) {
  alltest::ComtreeCalls().push_back(
      {L"update_cs_help", colour, std::wstring(suffix) + L"#" + std::to_wstring(verdict->functor)});
}
