// Keyword dictionaries and the built-in keyword lists of the colouring
// schemes.
//
// A dictionary hashes the upper-cased word into 251 buckets; entries live in
// up to seven 4096-byte blocks (the first inside the dictionary) and are
// chained by 32-bit link words: bit 0 the holding entry's exactness, bits
// 1-3 the block of the next entry (0 ends the chain), bits 4-15 its offset.
// An exact entry matches only its own spelling, an inexact one (stored
// upper-cased) any spelling with the same upper-cased form.  The first
// insert of a word wins.
#pragma once

#include <cstdint>

#include "qel6kwi.h"

namespace QEL_EDIT::detail {

struct Dictionary;
struct EditorRecord;

constexpr int32_t kMaxPayload = 256;
constexpr int32_t kMaxWordLength = 255;

// A new dictionary, or null when the payload size exceeds 256 bytes or
// memory runs out.
Dictionary* DictCreate(int32_t payloadSize);
void DictFree(Dictionary* d);
// 1 inserted; 0 refused (word longer than 255, already present, no room).
int32_t DictInsert(Dictionary* d, const wchar_t* word, int32_t length, const void* payload, bool exact);
// 1 found (payload copied out when asked); 0 not found or too long.
int32_t DictLookup(Dictionary* d, const wchar_t* word, int32_t length, void* payload);
// The bucket of a word (its upper-cased bytes, shifted 3, 2, 1, 0, ...).
uint32_t DictHash(const wchar_t* word, int32_t length);

// One entry of a built-in keyword list.
struct KeywordEntry {
  wchar_t word[15];
  uint16_t code;
  uint8_t exact;
};
constexpr int32_t kUserKeywords = 51;

// The keyword list of a scheme, ending at its first empty word (empty for
// scheme 4 or out of range).
const KeywordEntry* SchemeKeywords(int32_t scheme, int32_t* count);
// Fills the user list (scheme 3): words cut to 14 characters, colour 10,
// the rest of the 51 entries emptied.
void SetUserKeywords(const QEL_KWI::slist_struct* words, bool exact);
// Frees an editor's dictionary and builds the one of its scheme (plain
// layout only; a wrapping editor keeps none).
void BuildKeywordTable(EditorRecord* ed);
void FreeKeywordTable(EditorRecord* ed);

}  // namespace QEL_EDIT::detail
