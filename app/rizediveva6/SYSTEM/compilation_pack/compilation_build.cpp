// compilation_build: see the header.  A read that fails (past the end)
// leaves its pass empty; errors opening or creating the files reach the
// caller.
#include "SYSTEM/compilation_pack/compilation_build.h"

#include "exception/exception.h"
#include "fileSystem/file.h"
#include "fileSystem/fileStream.h"
#include "programControl/programControl.h"
#include "string/string.h"
#include "unit.h"

namespace rizediveva6 {

using namespace tav;

const ClassInfo compilation_build::classInfo{L"qel6pack/compilation_pack/compilation_build",
                                             TAV_CLASS_VERSION};

namespace {

const wchar_t* modified_line(const wchar_t* line) { return line; }

void write_lines(inputStream* in, outputStream* out) {
  programControl::sequence_nd(1, static_cast<int32_t>(compilation_build::lineCount), 1,
                              [&](int32_t) {
    const wchar_t* volatile line = nullptr;
    if (TrapAndForget([&] { line = in->readline(); }) == 0) {
      Qel::RunTime::Terms::TEllipsisArgs<2> a;
      a.SetTerm(0, D(tav::domains::string), modified_line(line));
      a.SetTerm(1, D(tav::domains::string), L"\n");
      out->write(a);
    }
    K::Fail();  // the next pass
  });
}

}  // namespace

void compilation_build::increment() {
  if (!file::existfile(sourceFile)) return;
  inputStream_file* in = inputStream_file::openfile8(sourceFile);
  outputStream_file* out = outputStream_file::create8(string::concat(sourceFile, L"_dummy"));
  write_lines(in, out);
  in->close();
  out->flush();
  out->close();
}

}  // namespace rizediveva6
