// stream_exception: the stream descriptors, raised at the caller's last saved
// source position.
#include "stream/stream_exception.h"

namespace tav {

const ClassInfo stream_exception::classInfo{L"com/corvane/stream/stream_exception",
                                            TAV_CLASS_VERSION};
#define TAV_STREAM(var, name, text) \
  const ExceptionDescriptor stream_exception::var{&stream_exception::classInfo, name, text}
TAV_STREAM(endofstream, L"endofstream", L"End of stream");
TAV_STREAM(notsupportedproperty, L"notsupportedproperty",
           L"The stream doesn't support the position property");
TAV_STREAM(nocrlfconversion, L"nocrlfconversion", L"CRLF<->LF conversion is not supported");
TAV_STREAM(wrongmode, L"wrongmode", L"The predicate cannot be used in current mode");
TAV_STREAM(nostream, L"nostream", L"The predicate has no stream assigned");
#undef TAV_STREAM

[[noreturn]] static void RaiseHere(const ClassInfo* ci, const ExceptionDescriptor* e,
                                   const NamedValueList* extra) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), e, extra);
}

void stream_exception::raise_endofstream(const ClassInfo* ci) {
  RaiseHere(ci, &endofstream, EmptyList());
}
void stream_exception::raise_notsupportedproperty(const ClassInfo* ci) {
  RaiseHere(ci, &notsupportedproperty, EmptyList());
}
void stream_exception::raise_nocrlfconversion(const ClassInfo* ci) {
  RaiseHere(ci, &nocrlfconversion, EmptyList());
}
void stream_exception::raise_wrongmode(const ClassInfo* ci, const wchar_t* predicate,
                                       const wchar_t* modeText) {
  RaiseHere(ci, &wrongmode,
            Values({{L"Predicate name", value::string(predicate)},
                    {L"stream mode", value::string(modeText)}}));
}
void stream_exception::raise_nostream(const ClassInfo* ci, const wchar_t* predicate) {
  RaiseHere(ci, &nostream, Values({{L"Predicate name", value::string(predicate)}}));
}

}  // namespace tav
