// OrvTool: see the header.
#include "SYSTEM/OrvTool/orvtool.h"

#include <windows.h>

#include "exception/exception.h"
#include "fileSystem/directory.h"
#include "fileSystem/file.h"
#include "fileSystem/fileName.h"
#include "unit.h"

namespace rizediveva6 {

using namespace tav;
using tav::chainDB;

const ClassInfo misc2::classInfo{L"qel6pack/OrvTool/misc2", TAV_CLASS_VERSION};
const ClassInfo folder_stuff::classInfo{L"qel6pack/OrvTool/folder_stuff", TAV_CLASS_VERSION};
const ClassInfo saved_boo_options::classInfo{L"qel6pack/OrvTool/saved_boo_options",
                                             TAV_CLASS_VERSION};
const ClassInfo orv_string::classInfo{L"qel6pack/OrvTool/orv_string", TAV_CLASS_VERSION};
const ClassInfo counter::classInfo{L"qel6pack/OrvTool/counter", TAV_CLASS_VERSION};

// --- misc2 ---

void misc2::char_int(wchar_t c, uint32_t* code) { *code = static_cast<uint16_t>(c); }
void misc2::char_int(uint32_t code, wchar_t* c) {
  CheckRange(tav::domains::unsigned16, code);
  *c = static_cast<wchar_t>(code);
}
bool misc2::char_int(wchar_t c, uint32_t code) { return static_cast<uint16_t>(c) == code; }

// --- folder_stuff ---

void folder_stuff::move_file_to_subfolder(const wchar_t* file, const wchar_t* subFolder) {
  if (!*file || !file::existfile(file)) return;
  const wchar_t* target = string::concat(fileName::getpath(file), subFolder);
  if (!directory::existdirectory(target)) directory::makedirectory(target);
  // Never over an existing file: the system's refusal is the file class's
  // "MoveFile" error, and both files stay.
  const wchar_t* nameExt;
  fileName::getpath(file, &nameExt);
  const wchar_t* destination = fileName::setpath(nameExt, target);
  if (!MoveFileExW(file, destination, MOVEFILE_COPY_ALLOWED)) {
    TAV_AT();
    common_exception::raise_nativecallexception(
        &file::classInfo, L"MoveFile",
        Values({{L"From(filename)", value::string(file)}, {L"To(filename)", value::string(target)}}));
  }
}

// --- saved_boo_options ---

void saved_boo_options::set(chainDB* db, const wchar_t* name, bool value) {
  db->chain_delete(name);  // an absent chain is fine
  if (!value) return;
  auto* one = static_cast<uint32_t*>(GStackAlloc(sizeof(uint32_t)));
  *one = 1;
  int32_t ref;
  db->chain_inserta(D(tav::domains::unsigned_), name, reinterpret_cast<term>(one), &ref);
}

bool saved_boo_options::get(chainDB* db, const wchar_t* name) {
  int32_t ref;
  return db->chain_first(name, &ref);
}

// --- orv_string ---

namespace {
// Every occurrence replaced; the text itself when there is none.
const wchar_t* ReplaceAll(const wchar_t* text, const wchar_t* what, const wchar_t* with) {
  const wchar_t* r = string::replaceall(text, what, with, casesensitivity::casesensitive);
  return r ? r : text;
}
}  // namespace

const SList* orv_string::make_list_from_string(const wchar_t* text) {
  const wchar_t* rest = ReplaceAll(ReplaceAll(text, L"\r", L""), L"\t", L"\n");
  ListBuilder<const wchar_t*> lines;
  uint32_t at;
  while (string::search(rest, L"\n", casesensitivity::casesensitive, &at)) {
    const wchar_t *line, *after;
    string::front(rest, at, &line, &after);
    lines.Add(line);
    rest = after + 1;  // past the line feed
  }
  if (*rest) lines.Add(rest);
  return lines.Finish();
}

void orv_string::last_char(const wchar_t* text, const wchar_t** front, const wchar_t** last) {
  const int64_t keep = static_cast<int64_t>(wcslen(text)) - 1;
  CheckRange(tav::domains::unsigned_, keep);
  string::front(text, static_cast<uint32_t>(keep), front, last);
}

}  // namespace rizediveva6
