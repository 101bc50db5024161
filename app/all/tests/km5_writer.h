// A writer of previous-version roster files for the import's tests: the
// 8-bit chain-database layout laid out field by field (header, lock area,
// chain-name tree, chain table, unpaged reference table, B+tree table and
// name tree, term records, free-space table) and the code-page term images
// of the previous version's records.  It uses neither the importer nor the
// chain database's or the runtime's writers.
//
// Invariants:
//  - Texts are given as 8-bit bytes (cp1252 in the fixtures); a name tree
//    is ordered by lstrcmpA, the order the database searches in.
//  - Chains are numbered in the order they are added; references are
//    handed out in record order (slot 1, 2, ... of block 0).
//  - Boundaries lists the file offset behind every structure written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace km5test {

using ByteVec = std::vector<uint8_t>;

// One field of a compound image: a 32-bit number, a char (one byte), or a
// boxed block (a string's bytes with its terminator, a constant's functor
// word).
struct Field {
  enum Kind { number, character, string, constant } kind;
  uint32_t value = 0;
  std::string text;
};

// Code-page images of the previous version's terms.
ByteVec ImageString(const std::string& text);
ByteVec ImageUnsigned(uint32_t value);
// A compound of a domain with a functor word: `functor`, then the fields.
ByteVec ImageCompound(uint32_t functor, const std::vector<Field>& fields);
ByteVec ImageDummy();
ByteVec ImagePerson1(int32_t ref, const std::string& name, const std::string& practice, int32_t colour, char letter,
                   bool deleted);
ByteVec ImageDt1(int32_t year, int32_t month, int32_t day);
ByteVec ImageTls(uint32_t task, uint32_t where, int32_t slot);

struct Chain {
  std::string name;
  std::vector<ByteVec> images;
};

struct Boundary {
  uint32_t at;
  std::string what;
};

class Km5File {
 public:
  Km5File& Add(const std::string& chain, ByteVec image);
  // The file's bytes; boundaries() then names each structure's end.
  ByteVec Build();
  const std::vector<Boundary>& boundaries() const { return boundaries_; }

 private:
  std::vector<Chain> chains_;
  std::vector<Boundary> boundaries_;
};

// The previous-version roster the fixture describes.
struct Km5Doctor {
  std::string name, practice;  // cp1252
  int32_t colour;
  char letter;
  bool deleted;
};
struct Km5Tls {
  uint32_t task, where;
  int32_t slot;
};
struct Km5Roster {
  std::vector<Km5Doctor> doctors;
  std::vector<std::string> tasks, locations;
  int32_t weeks = 0;  // 0: no chain
  int32_t year = 0, month = 0, day = 0;  // year 0: no chain
  std::vector<Km5Tls> typical[3];  // Saturday, Sunday, weekday
  bool dummies = false;  // a dummy record in every chain of records
};
Km5File FileOf(const Km5Roster& roster);
// The fixture: 60 doctors (cp1252 names, deleted marks, shared and blank
// practices, a repeated name), 10 tasks, 10 locations, 52 weeks from a
// Wednesday, three typical weeks of 30 duties (slot 3 included).
Km5Roster BigRoster();
// A small valid roster: three doctors, two tasks, two locations, a
// duration, a start and a few typical duties.
Km5Roster SmallRoster();

}  // namespace km5test
