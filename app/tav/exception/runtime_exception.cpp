// runtime_exception: one descriptor per error number of the kernel, the
// runtime, the chain database, the binary codec and the ODBC binding, and the
// kernel's exception predicate that raises them as traces.  The predicate
// stays within the global-stack reserve it is installed with (4096 bytes):
// it allocates a few small terms there and copies the message to the heap.
#include "exception/exception.h"

namespace tav {

const ClassInfo runtime_exception::classInfo{L"com/corvane/exception/runtime_exception",
                                             TAV_CLASS_VERSION};
const ExceptionDescriptor runtime_exception::notyethandlederror{
    &runtime_exception::classInfo, L"notyethandlederror",
    L"A runtime exception occurred. The runtime_exception handler does not recognize this "
    L"exception."};

namespace {
struct Row {
  uint32_t code;
  ExceptionDescriptor descriptor;
};
// Codes in the order of the lookup: kernel, runtime, chain database, codec, ODBC.
const Row kTable[] = {
    {1, {&runtime_exception::classInfo, L"systemexception", L"System exception"}},
    {2, {&runtime_exception::classInfo, L"mismatchversion", L"Mismatch version: a module has different version than QelCore"}},
    {3, {&runtime_exception::classInfo, L"internalerror", L"Internal error occurred while performing the operation"}},
    {4, {&runtime_exception::classInfo, L"ctrlc", L"The user has pressed Ctrl+C"}},
    {5, {&runtime_exception::classInfo, L"ctrlbreak", L"The user has pressed Ctrl+Break"}},
    {6, {&runtime_exception::classInfo, L"closeapplication", L"The user has closed application"}},
    {7, {&runtime_exception::classInfo, L"logoff", L"The user has logged off"}},
    {8, {&runtime_exception::classInfo, L"shutdown", L"The user has shut down"}},
    {9, {&runtime_exception::classInfo, L"exceptionunderexception", L"New exception is raised while handling of other exception"}},
    {10, {&runtime_exception::classInfo, L"notsupportfunction", L"Not support function"}},
    {11, {&runtime_exception::classInfo, L"threadcreation", L"Unable to create a thread because of the operating system error"}},
    {13, {&runtime_exception::classInfo, L"oserror", L"Internal API call failed"}},
    {15, {&runtime_exception::classInfo, L"cannotloadlibrary", L"Cannot load the module"}},
    {16, {&runtime_exception::classInfo, L"cannotgetprocaddress", L"Cannot get the address of an exported function"}},
    {201, {&runtime_exception::classInfo, L"gstackoverflow", L"GStack overflow. Not enough memory or an endless loop"}},
    {203, {&runtime_exception::classInfo, L"nogstack", L"No GStack"}},
    {204, {&runtime_exception::classInfo, L"gcabend", L"Fatal error in garbage collector"}},
    {205, {&runtime_exception::classInfo, L"gcerror", L"Garbage collector error"}},
    {206, {&runtime_exception::classInfo, L"heapoverflow", L"Heap overflow"}},
    {301, {&runtime_exception::classInfo, L"invalidterm", L"Invalid term (spoiled memory)"}},
    {302, {&runtime_exception::classInfo, L"norangenumber", L"The value is not in the admissible range for the domain"}},
    {303, {&runtime_exception::classInfo, L"fromstring", L"Invalid string for some domain is in toTerm predicate"}},
    {304, {&runtime_exception::classInfo, L"frombinary", L"Invalid binary for some domain is in toTerm predicate"}},
    {305, {&runtime_exception::classInfo, L"negzero", L"Value less or equal to zero"}},
    {306, {&runtime_exception::classInfo, L"objectconversion", L"Error conversion: non-supported type"}},
    {307, {&runtime_exception::classInfo, L"expectedsymbolfromtoterm", L"Invalid symbol for some domain is in toTerm predicate"}},
    {308, {&runtime_exception::classInfo, L"cyclicinheritance", L"The class inherits itself"}},
    {309, {&runtime_exception::classInfo, L"functornotfound", L"Functor is not found in the domain"}},
    {310, {&runtime_exception::classInfo, L"functornameexpected", L"A functor name of the domain is expected"}},
    {311, {&runtime_exception::classInfo, L"determfact", L"Attempt to assert a second instance of a determ fact"}},
    {312, {&runtime_exception::classInfo, L"invalidformat", L"Invalid format for specified domain"}},
    {313, {&runtime_exception::classInfo, L"unsupportedformat", L"Non floating-point format data"}},
    {314, {&runtime_exception::classInfo, L"wrongnumberargumentforformat", L"Wrong number of arguments in the format string"}},
    {315, {&runtime_exception::classInfo, L"realoverflow", L"Float point overflow"}},
    {316, {&runtime_exception::classInfo, L"arithmeticoverflow", L"Arithmetic overflow"}},
    {317, {&runtime_exception::classInfo, L"integerexpected", L"Integer expected during term reading or converting"}},
    {318, {&runtime_exception::classInfo, L"notsupport64bits", L"There is no 64-bits support"}},
    {319, {&runtime_exception::classInfo, L"parserunexpectedeos", L"Unexpected end of stream"}},
    {320, {&runtime_exception::classInfo, L"ungetchar", L"Wrong calling of ungetchar"}},
    {321, {&runtime_exception::classInfo, L"qel6runinternalerror", L"qel6run internal error"}},
    {322, {&runtime_exception::classInfo, L"invalidtermrepresentation", L"Invalid term's text representation for the domain"}},
    {323, {&runtime_exception::classInfo, L"consult_wrongcomment", L"Wrong comment"}},
    {324, {&runtime_exception::classInfo, L"consult_wrongusageofkeyword", L"Wrong usage of keyword"}},
    {326, {&runtime_exception::classInfo, L"retractsinglefact", L"Attempt to retract single fact from database"}},
    {327, {&runtime_exception::classInfo, L"expectedchar", L"Received character differs from expected one"}},
    {328, {&runtime_exception::classInfo, L"freevariable", L"Unexpected free variable"}},
    {329, {&runtime_exception::classInfo, L"singlefacthasnovalue", L"Single fact has no value"}},
    {1302, {&runtime_exception::classInfo, L"chaindb_dbalreadyopen", L"DB already is open"}},
    {1303, {&runtime_exception::classInfo, L"chaindb_invaliddbfilename", L"Invalid database filename"}},
    {1304, {&runtime_exception::classInfo, L"chaindb_notopendb", L"Database isn't open"}},
    {1306, {&runtime_exception::classInfo, L"chaindb_existsbtree", L"B+tree already exists"}},
    {1308, {&runtime_exception::classInfo, L"chaindb_existsdbinplace", L"DB name already exists in specified location"}},
    {1310, {&runtime_exception::classInfo, L"chaindb_invalidordervalue", L"Invalid order value"}},
    {1311, {&runtime_exception::classInfo, L"chaindb_invalidkeyvalue", L"Invalid key length value"}},
    {1315, {&runtime_exception::classInfo, L"chaindb_unableopendb", L"Unable to open DB in given place"}},
    {1317, {&runtime_exception::classInfo, L"chaindb_invaliddb", L"DB is marked as invalid"}},
    {1318, {&runtime_exception::classInfo, L"chaindb_unabledeletedb", L"Unable delete DB"}},
    {1319, {&runtime_exception::classInfo, L"chaindb_invalidrefval", L"Invalid Ref value"}},
    {1320, {&runtime_exception::classInfo, L"chaindb_absentchain", L"Chain isn't exists"}},
    {1321, {&runtime_exception::classInfo, L"chaindb_absentbtree", L"B+tree is absent"}},
    {1322, {&runtime_exception::classInfo, L"chaindb_invalidbtreesel", L"Invalid B+tree selector"}},
    {1323, {&runtime_exception::classInfo, L"chaindb_deleteopenbtree", L"Cannot delete opened B+tree"}},
    {1324, {&runtime_exception::classInfo, L"chaindb_notfoundkeyandref", L"Key and Ref isn't found in b+tree"}},
    {1326, {&runtime_exception::classInfo, L"chaindb_incorrectdbversion", L"Incorrect DB version"}},
    {1327, {&runtime_exception::classInfo, L"chaindb_notintransaction", L"Not inside transaction"}},
    {1328, {&runtime_exception::classInfo, L"chaindb_writerotransaction", L"Write transaction is not allowed for file in r/o mode"}},
    {1330, {&runtime_exception::classInfo, L"chaindb_alreadyopentransaction", L"Transaction alrady is opened"}},
    {1331, {&runtime_exception::classInfo, L"chaindb_updatingrotransaction", L"Updating transaction isn't allowed in r/o mode"}},
    {1332, {&runtime_exception::classInfo, L"chaindb_timeouttransaction", L"Timeout in begin transaction"}},
    {1333, {&runtime_exception::classInfo, L"chaindb_duplicatekey", L"Duplicate key isn't allowed in B+tree"}},
    {1334, {&runtime_exception::classInfo, L"chaindb_wrongchaintodeleteterm", L"Wrong chain's internal structure found in Term_delete"}},
    {1111, {&runtime_exception::classInfo, L"chaindb_readwrongnumberbytes", L"Not able to read correct number of bytes from file"}},
    {1112, {&runtime_exception::classInfo, L"chaindb_writewrongnumberbytes", L"Not able to write correct number of bytes to file"}},
    {1336, {&runtime_exception::classInfo, L"chaindb_osnativeerror", L"OS native error is occured "}},
    {1081, {&runtime_exception::classInfo, L"binary_invalidblock", L"Invalid binary"}},
    {1082, {&runtime_exception::classInfo, L"binary_invalidformat", L"Invalid binary format"}},
    {1083, {&runtime_exception::classInfo, L"binary_decodeinternalerror", L"Internal error during expanding"}},
    {8800, {&runtime_exception::classInfo, L"odbc_unidentifiederror", L"Unidentified error in ODBCBIND package"}},
    {8801, {&runtime_exception::classInfo, L"sql_invalidhandle", L"Error due to an invalid environment handle, connection handle, or statement handle"}},
    {8802, {&runtime_exception::classInfo, L"sql_stillexecuting", L"A function that was started asynchronously is still executing"}},
    {8803, {&runtime_exception::classInfo, L"sql_needdata", L"Application needs to send data"}},
    {8804, {&runtime_exception::classInfo, L"sql_nodatafound", L"No data found"}},
    {8805, {&runtime_exception::classInfo, L"sql_error", L"Illegal SQL request from ODBCBIND package predicate"}},
    {8806, {&runtime_exception::classInfo, L"odbc_error", L"ODBCBIND package function failed"}},
};
}  // namespace

uint32_t runtime_exception::TableSize() { return sizeof kTable / sizeof kTable[0]; }

const ExceptionDescriptor* runtime_exception::TableEntry(uint32_t i, uint32_t* code) {
  *code = kTable[i].code;
  return &kTable[i].descriptor;
}

const ExceptionDescriptor* runtime_exception::exceptionfromerrorcode(uint32_t errorNumber) {
  for (const Row& row : kTable)
    if (row.code == errorNumber) return &row.descriptor;
  return &notyethandlederror;
}

void runtime_exception::runtimeexceptionraiser(uint32_t errorNumber, const TFullCursor* position,
                                               const wchar_t* message) {
  const CursorTerm* at = programControl::unpackcursor(position);
  const ExceptionDescriptor* e = exceptionfromerrorcode(errorNumber);
  // The kernel reuses its message buffer for the next error.
  if (!message || K::OSInterface::OSIsBadStringPtr(message, 0x10000)) message = L"";
  const wchar_t* text = HeapCopy(message);
  exception::raise_withpos(&classInfo, at, e,
                           Values({{L"ExtraInfo", value::string(text)},
                                   {L"error code", value::unsigned_(errorNumber)}}));
}

const K::RPrologExceptionPredicateStruct runtime_exception::raiser{
    reinterpret_cast<const void*>(&runtime_exception::runtimeexceptionraiser), nullptr};

}  // namespace tav
