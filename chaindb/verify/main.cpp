// chaindb_verify FILE...: checks chain-database files; exit code 1 when any
// has a problem.
#include <cstdio>
#include <string>

#include "verify.h"

int wmain(int argc, wchar_t** argv) {
  int rc = 0;
  for (int i = 1; i < argc; ++i) {
    auto r = chaindb_verify::VerifyFile(argv[i]);
    printf("%ls: %s, %u terms in %u chains\n", argv[i], r.ok() ? "ok" : "DAMAGED", r.terms, r.chains);
    fputs(r.Text().c_str(), stdout);
    if (!r.ok()) rc = 1;
  }
  return rc;
}
