// Host fuzz target over the reader's parsers (clang -fsanitize=fuzzer,address):
// the input is taken as a resource file, as a program file, and as the data
// of a menu and a version resource.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "reader_core.h"

using namespace QelResource::reader;

static Listing listing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource src(data, size);
  Located at;
  ListResourceFile(src, &listing);
  IndexEntry index[8];
  IndexResourceFile(src, index, 8);
  for (uint32_t type : {3u, 4u, 6u}) FindInResourceFile(src, type, 1, &at);
  PeLayout layout;
  if (ReadPeLayout(src, &layout)) {
    ListProgramFile(src, layout, &listing);
    for (uint32_t type : {3u, 6u, 14u}) FindInProgramFile(src, layout, type, 1, &at);
  }
  int help;
  CheckMenuTemplate(data, size, &help);
  VersionInfo info;
  ReadVersionInfo(data, size, &info, [](const VersionPair&) {});
  return 0;
}
