// qel6res: resource files written from the values a program holds, and
// resources read back from resource and program files.
//
// begin_resgen opens the one output file of the process, the gen_ functions
// append whole resource entries to it (a refused resource writes nothing and
// leaves the output where it was), end_resgen writes the pending group-icon
// entries and closes the file.  The writer keeps process-wide state without
// locks: it is called from one thread.  Inputs are the GUI layer's terms; the
// version-information records below are pinned to their word layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qel6kwi.h"

#ifdef QEL6RES_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_RES_API
#else
#define QEL_RES_API __declspec(dllimport)
#endif

namespace QelResource {

using QEL_KWI::u16;

// The fixed part of a version resource, in the order of the platform's fixed
// file-information record.
struct HEAD_VERSIONINFO {
  uint32_t fileVersionHigh;
  uint32_t fileVersionLow;
  uint32_t productVersionHigh;
  uint32_t productVersionLow;
  uint32_t fileFlags;
  uint32_t fileOS;
  uint32_t fileType;
  uint32_t fileSubtype;
};
static_assert(sizeof(HEAD_VERSIONINFO) == 32 && offsetof(HEAD_VERSIONINFO, fileSubtype) == 28);

// A key and its value; both zero-terminated.
struct versioninfo_pair {
  const u16* key;
  const u16* value;
};
static_assert(sizeof(versioninfo_pair) == 16);
struct versioninfo_pairlist {
  uintptr_t functor;
  versioninfo_pair* value;
  versioninfo_pairlist* next;
};

// One string block: the language and code page it is written for, and its pairs.
struct versioninfo_block {
  uint16_t language;
  uint16_t codePage;
  versioninfo_pairlist* pairs;
};
static_assert(offsetof(versioninfo_block, codePage) == 2 && offsetof(versioninfo_block, pairs) == 8 &&
              sizeof(versioninfo_block) == 16);
struct versioninfo_blocklist {
  uintptr_t functor;
  versioninfo_block* value;
  versioninfo_blocklist* next;
};

// 1 when the file was created, else 0.  An open file is finished first.
QEL_RES_API int begin_resgen(const u16* fileName, const u16* unused);
// 1 when the file was finished with every write and seek done, else 0.
QEL_RES_API int end_resgen();

// An empty (or null) name makes the resource's name the ordinal id.
QEL_RES_API void gen_typelibinfo(const u16* fileName);
QEL_RES_API void gen_bitmap(const u16* fileName, unsigned id, const u16* name);
QEL_RES_API void gen_icon(const u16* fileName, unsigned id, const u16* name);
QEL_RES_API void gen_cursor(const u16* fileName, unsigned id, const u16* name);
QEL_RES_API void gen_strings(QEL_KWI::slist_struct* strings, QEL_KWI::ilist_struct* ids);
QEL_RES_API void gen_accel(int id, QEL_KWI::ilist_struct* modifiers, QEL_KWI::ilist_struct* keys,
                           QEL_KWI::ilist_struct* commands);
QEL_RES_API void gen_versioninfo(HEAD_VERSIONINFO* head, versioninfo_blocklist* blocks);
QEL_RES_API void gen_dialog(QEL_KWI::windef_list_struct* definition, unsigned id, const u16* name);
QEL_RES_API void gen_menu(QEL_KWI::menu_struct* menu, unsigned id, const u16* name);

// The reader.  res_get_types lists a resource file (".res") or a program file
// (".exe", ".dll") and remembers it; the other calls read one resource of
// that file (ids are the listed codes less 100) and fail when it is not there.
// Results live on the caller's global stack.
QEL_RES_API void res_get_types(const u16* fileName, QEL_KWI::ilist_struct** codes, QEL_KWI::slist_struct** names,
                               int* result);
QEL_RES_API QEL_KWI::menu_struct* res_get_menu(int id);
QEL_RES_API QEL_KWI::windef_list_struct* res_get_dialog(int id);
QEL_RES_API void res_get_str(int block, QEL_KWI::slist_struct** strings, QEL_KWI::ilist_struct** ids);
// One-image icon and cursor files and bitmap files made from resources; `size` receives their length.
QEL_RES_API uint8_t* res_get_icon(int* size, int id);
QEL_RES_API uint8_t* res_get_cursor(int* size, int id);
QEL_RES_API uint8_t* res_get_bitmap(int* size, int id);
QEL_RES_API int res_get_write_bitmap(const u16* fileName, int id);
QEL_RES_API void res_get_versioninfo(int id, HEAD_VERSIONINFO** head, versioninfo_blocklist** blocks);

// The pixel editor's data.  Images and palettes are binaries (a u32 size word
// counting itself before the bytes) on the caller's global stack; kind 29 is
// a bitmap, any other kind an icon or cursor with a transparency mask.  Pixel
// positions run from (1, 1), the top-left pixel.  A call whose position or
// sizes do not fit its image fails.
QEL_RES_API uint8_t* edicon_GetBitMapFromFile(const u16* fileName, int* colours, uint8_t** palette, int* width,
                                              int* height);
QEL_RES_API int edicon_SetBitMapToFile(const u16* fileName, uint8_t* image, int colours, uint8_t* palette, int width,
                                       int height);
QEL_RES_API uint8_t* edicon_GetIconFromFile(const u16* fileName, int* colours, uint8_t** palette, int* width,
                                            int* height);
QEL_RES_API int edicon_SetIconToFile(const u16* fileName, uint8_t* image, int colours, uint8_t* palette, int width,
                                     int height);
QEL_RES_API uint8_t* edicon_GetCursorFromFile(const u16* fileName, int* colours, uint8_t** palette, int* width,
                                              int* height, int* hotX, int* hotY);
QEL_RES_API int edicon_SetCursorToFile(const u16* fileName, uint8_t* image, int colours, uint8_t* palette, int width,
                                       int height, int hotX, int hotY);
QEL_RES_API uint8_t* edicon_NewImage(int colours, int kind, int width, int height, uint8_t** palette);
QEL_RES_API uint8_t* edicon_BackCopy(uint8_t* image, int kind, int width, int height);
QEL_RES_API uint8_t edicon_GetNumColor(uint8_t* image, int kind, int x, int y, int width, int height, int* maskBit);
QEL_RES_API void edicon_SetNumColor(uint8_t* image, int kind, int x, int y, int width, int height, int maskBit,
                                    uint8_t index);
QEL_RES_API void edicon_FloodFill(uint8_t* image, int kind, int x, int y, int width, int height, uint8_t index,
                                  int maskBit);
QEL_RES_API void edicon_InverseImage(uint8_t* image, int width, int height, int colours);
QEL_RES_API uint8_t edicon_ColorByte(uint8_t* palette, uint32_t colour);
QEL_RES_API uint32_t edicon_ByteColor(uint8_t index, uint8_t* palette);
QEL_RES_API void edicon_TestCursor(LONG_PTR window, uint8_t* image, int hotX, int hotY, int width, int height);

}  // namespace QelResource
