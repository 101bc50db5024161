// exceptionDump: the text of the current exception state, written through
// an output stream's write and writef: a header with the date and time,
// then one block per trace entry, newest first.
#pragma once

#include "exception/exception.h"
#include "stream/stream.h"

namespace tav {

class exceptionDump {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor dumpexception;

  static void dump(outputStream* stream);
  // First makes sure the identifier is known: an unknown one becomes a trace
  // of its own ("notraceid", or "externalerror" below 65536).
  static void dump(outputStream* stream, uint32_t traceId);
  // To the standard output stream, or without one into a message box.
  static void dumptostdoutput();
  static void dumptostdoutput(uint32_t traceId);

 private:
  static void CheckTrace(uint32_t traceId);
};

}  // namespace tav
