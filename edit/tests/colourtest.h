// Runs written as "length:code ..." so expected runs read as one string.
#pragma once

#include <string>

#include "lexer.h"

namespace colourtest {

inline std::string RunsText(const QEL_EDIT::detail::ColourRun* runs) {
  std::string s;
  for (int i = 0; runs[i].length; ++i) {
    if (!s.empty()) s += ' ';
    s += std::to_string(runs[i].length) + ':' + std::to_string(runs[i].code);
  }
  return s;
}

}  // namespace colourtest
