// fileSystem_exception: descriptors are static; raisers take the reporting
// class and the saved source position.
#include "fileSystem/fileSystem_exception.h"

namespace tav {

const ClassInfo fileSystem_exception::classInfo{
    L"com/corvane/fileSystem/fileSystem_exception", TAV_CLASS_VERSION};
const ExceptionDescriptor fileSystem_exception::filealreadyexists{&classInfo, L"filealreadyexists",
                                                                  L"File already exists"};
const ExceptionDescriptor fileSystem_exception::wrongattribute{&classInfo, L"wrongattribute",
                                                               L"Not supported attribute"};
const ExceptionDescriptor fileSystem_exception::filetoobig{
    &classInfo, L"filetoobig", L"File is too big to be converted into the binary or string"};

[[noreturn]] static void RaiseHere(const ClassInfo* ci, const ExceptionDescriptor* e,
                                   const NamedValueList* extra) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), e, extra);
}

void fileSystem_exception::raise_filealreadyexists(const ClassInfo* ci, const wchar_t* fileName) {
  RaiseHere(ci, &filealreadyexists, Values({{L"File name", value::string(fileName)}}));
}
void fileSystem_exception::raise_wrongattribute(const ClassInfo* ci, uint32_t attributes) {
  RaiseHere(ci, &wrongattribute, Values({{L"File attribute", value::unsigned_(attributes)}}));
}
void fileSystem_exception::raise_filetoobig(const ClassInfo* ci, const wchar_t* fileName) {
  RaiseHere(ci, &filetoobig, Values({{L"File name", value::string(fileName)}}));
}

void fileSystem_exception::checkfilereadresult(const ClassInfo* ci, BOOL result) {
  if (result || GetLastError() == ERROR_MORE_DATA) return;
  common_exception::raise_nativecallexceptionposition(
      ci, programControl::getlastsavedsourceposition(), L"FileRead", EmptyList());
}

}  // namespace tav
