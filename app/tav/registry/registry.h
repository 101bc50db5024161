// registry: class predicates over the Windows registry, values crossing as
// the library's `value` terms, and its exceptions.  Every predicate succeeds
// or raises a registry_exception; a key it opened is closed before anything
// leaves it.  Data read from the registry is taken within the size the
// system reported, whatever it holds.
#pragma once

#include "core/core.h"
#include "string/string.h"

namespace tav {

enum class rootkey : uint32_t {
  classesroot = 1, currentconfig, currentuser, localmachine, users, performancedata, dynamicdata,
};

class registry_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor wrongvalue, nopath, cannotcreatekey;
  // Extra information: "root key", "Name of key", "value" (not for
  // cannotcreatekey), "System description" (the system's text for `code`).
  [[noreturn]] static void raise_wrongvalue(const ClassInfo* ci, uint32_t code, rootkey root,
                                            const wchar_t* path, const wchar_t* name);
  [[noreturn]] static void raise_nopath(const ClassInfo* ci, uint32_t code, rootkey root,
                                        const wchar_t* path, const wchar_t* name);
  [[noreturn]] static void raise_cannotcreatekey(const ClassInfo* ci, uint32_t code, rootkey root,
                                                 const wchar_t* path);
};

class registry {
 public:
  static const ClassInfo classInfo;

  static void setvalue(rootkey root, const wchar_t* path, const NamedValueList* values);
  static const ValueTerm* getvalue(rootkey root, const wchar_t* path, const wchar_t* name);
  // Removes the names in order; an empty name ends the walk.
  static void removevalue(rootkey root, const wchar_t* path, const StringList* names);
  static void createkey(rootkey root, const wchar_t* path);
  // The key and its whole sub-tree, deepest keys first; an empty path (the
  // root itself) raises nopath before anything is deleted.
  static void deletekey(rootkey root, const wchar_t* path);
  // Sub-key names, the highest index first.
  static const StringList* getsubkeys(rootkey root, const wchar_t* path);
  // Pairs from the highest index down; a key without values gives one pair
  // of the empty name and none.
  static const NamedValueList* getallvalues(rootkey root, const wchar_t* path);

  // The root's name in error information ("HKEY_CURRENT_USER", ...).
  static const wchar_t* RootName(rootkey root);
};

}  // namespace tav
