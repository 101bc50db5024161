// The previous-version file writer: every structure is appended in order,
// its fields written little-endian one by one.
#include "km5_writer.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace km5test {

namespace {

constexpr uint32_t kHeader = 312, kLockArea = 256, kFreeSpace = 5120;

void Put32(ByteVec& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Append32(ByteVec& b, uint32_t v) {
  b.resize(b.size() + 4);
  Put32(b, b.size() - 4, v);
}
void AppendText(ByteVec& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}

// A growable table: head {size, capacity, count, growth, entry size}, then
// the entries (capacity of them).
ByteVec Table(const std::vector<uint32_t>& words, uint32_t entrySize, uint32_t count, uint32_t capacity,
            uint32_t growth) {
  ByteVec t;
  Append32(t, 20 + entrySize * capacity);
  Append32(t, capacity);
  Append32(t, count);
  Append32(t, growth);
  Append32(t, entrySize);
  for (uint32_t w : words) Append32(t, w);
  t.resize(20 + entrySize * capacity, 0);
  return t;
}

// A name tree: head {allocated, used, growth, root}, nodes {left, right,
// value, name and zero byte}, built middle first over the sorted names.
struct TreeBuilder {
  ByteVec block;
  std::vector<std::pair<std::string, uint32_t>> sorted;
  uint32_t Insert(size_t lo, size_t hi) {
    if (lo >= hi) return 0;
    const size_t mid = (lo + hi) / 2;
    const uint32_t at = static_cast<uint32_t>(block.size());
    block.resize(block.size() + 12);
    Put32(block, at + 8, sorted[mid].second);
    AppendText(block, sorted[mid].first);
    Put32(block, at, Insert(lo, mid));
    Put32(block, at + 4, Insert(mid + 1, hi));
    return at;
  }
};
ByteVec NameTree(std::vector<std::pair<std::string, uint32_t>> names) {
  std::sort(names.begin(), names.end(),
            [](const auto& a, const auto& b) { return lstrcmpA(a.first.c_str(), b.first.c_str()) < 0; });
  TreeBuilder t{ByteVec(16, 0), names};
  const uint32_t root = t.Insert(0, names.size());
  Put32(t.block, 0, static_cast<uint32_t>(t.block.size()));
  Put32(t.block, 4, static_cast<uint32_t>(t.block.size()));
  Put32(t.block, 8, 64);
  Put32(t.block, 12, root);
  return t.block;
}

// A change stamp of 1, 0, 0 incremented once by the flush that wrote it.
void Stamp(ByteVec& h, uint32_t at) { Put32(h, at, 2); }

}  // namespace

ByteVec ImageString(const std::string& text) {
  ByteVec b;
  AppendText(b, text);
  return b;
}

ByteVec ImageUnsigned(uint32_t value) {
  ByteVec b;
  Append32(b, value);
  return b;
}

ByteVec ImageCompound(uint32_t functor, const std::vector<Field>& fields) {
  // The block: the functor word and a 4-byte place per field (a char in
  // its first byte, a boxed field's offset); boxed blocks follow in field
  // order, then the pointer table and its count.
  ByteVec b;
  Append32(b, functor);
  for (size_t i = 0; i < fields.size(); ++i) Append32(b, fields[i].kind == Field::number ? fields[i].value : 0);
  if (fields.empty()) b.resize(4);
  std::vector<uint32_t> slots;
  for (size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    const uint32_t slot = static_cast<uint32_t>(4 + 4 * i);
    if (f.kind == Field::character) b[slot] = static_cast<uint8_t>(f.value);
    if (f.kind != Field::string && f.kind != Field::constant) continue;
    Put32(b, slot, static_cast<uint32_t>(b.size()));
    slots.push_back(slot);
    if (f.kind == Field::string) AppendText(b, f.text);
    else Append32(b, f.value);
  }
  for (uint32_t s : slots) Append32(b, s);
  Append32(b, static_cast<uint32_t>(slots.size()));
  return b;
}

ByteVec ImageDummy() { return ImageCompound(2, {}); }

ByteVec ImagePerson1(int32_t ref, const std::string& name, const std::string& practice, int32_t colour, char letter,
                   bool deleted) {
  return ImageCompound(1, {{Field::number, static_cast<uint32_t>(ref)},
                           {Field::string, 0, name},
                           {Field::string, 0, practice},
                           {Field::number, static_cast<uint32_t>(colour)},
                           {Field::character, static_cast<uint8_t>(letter)},
                           {Field::constant, deleted ? 1u : 2u}});
}

ByteVec ImageDt1(int32_t year, int32_t month, int32_t day) {
  return ImageCompound(1, {{Field::number, static_cast<uint32_t>(year)},
                           {Field::number, static_cast<uint32_t>(month)},
                           {Field::number, static_cast<uint32_t>(day)}});
}

ByteVec ImageTls(uint32_t task, uint32_t where, int32_t slot) {
  return ImageCompound(1, {{Field::number, task}, {Field::number, where}, {Field::number, static_cast<uint32_t>(slot)}});
}

Km5File& Km5File::Add(const std::string& chain, ByteVec image) {
  auto it = std::find_if(chains_.begin(), chains_.end(), [&](const Chain& c) { return c.name == chain; });
  if (it == chains_.end()) it = chains_.insert(chains_.end(), Chain{chain, {}});
  it->images.push_back(std::move(image));
  return *this;
}

ByteVec Km5File::Build() {
  boundaries_.clear();
  ByteVec f(kHeader + kLockArea, 0);
  boundaries_.push_back({kHeader, "header"});
  boundaries_.push_back({kHeader + kLockArea, "lock area"});
  auto place = [&](const ByteVec& block, const std::string& what) {
    const uint32_t at = static_cast<uint32_t>(f.size());
    f.insert(f.end(), block.begin(), block.end());
    boundaries_.push_back({static_cast<uint32_t>(f.size()), what});
    return at;
  };

  // References in record order; the records' positions are known once the
  // tables in front of them are placed, and the tables' sizes do not
  // depend on them.
  uint32_t records = 0;
  std::vector<std::pair<std::string, uint32_t>> names;
  std::vector<uint32_t> chainWords;
  for (size_t c = 0; c < chains_.size(); ++c) {
    const uint32_t first = records + 1, last = records + static_cast<uint32_t>(chains_[c].images.size());
    names.push_back({chains_[c].name, static_cast<uint32_t>(c)});
    chainWords.push_back(first << 16);
    chainWords.push_back(last << 16);
    records = last;
  }
  if (records > 1023) throw std::length_error("more than 1023 records");
  const uint32_t refCount = records + 1, refCapacity = std::max<uint32_t>(64, (refCount + 63) / 64 * 64);
  const uint32_t chains = static_cast<uint32_t>(chains_.size());

  const uint32_t nameTree = place(NameTree(names), "chain-name tree");
  const uint32_t chainTable = place(Table(chainWords, 8, chains, (chains + 1) / 2 * 2, 2), "chain table");
  const uint32_t refTableSize = 20 + 4 * refCapacity;
  const uint32_t refTable = static_cast<uint32_t>(f.size());
  f.resize(f.size() + refTableSize);
  boundaries_.push_back({static_cast<uint32_t>(f.size()), "reference table"});
  const uint32_t btreeTable = place(Table({}, 16, 0, 0, 2), "B+tree table");
  const uint32_t btreeNames = place(NameTree({}), "B+tree-name tree");

  std::vector<uint32_t> refWords(refCount, 0);
  uint32_t ref = 1;
  for (const Chain& c : chains_)
    for (size_t i = 0; i < c.images.size(); ++i, ++ref) {
      ByteVec record;
      Append32(record, static_cast<uint32_t>(12 + c.images[i].size()));
      Append32(record, i == 0 ? 0 : (ref - 1) << 16);
      Append32(record, i + 1 == c.images.size() ? 0 : (ref + 1) << 16);
      record.insert(record.end(), c.images[i].begin(), c.images[i].end());
      if (record.size() > 1024) record.resize((record.size() + 255) / 256 * 256, 0);
      refWords[ref] = place(record, "record of " + c.name);
    }
  const ByteVec refs = Table(refWords, 4, refCount, refCapacity, 64);
  std::copy(refs.begin(), refs.end(), f.begin() + refTable);
  const uint32_t freeSpace = place(ByteVec(kFreeSpace, 0), "free-space table");

  ByteVec& h = f;
  h[0] = 3;
  memcpy(&h[8], "prolog", 7);
  Put32(h, 16, 303);
  Put32(h, 20, 8354);
  h[25] = 3;
  h[45] = 1;
  h[46] = 1;
  Stamp(h, 60);
  Stamp(h, 80);
  Put32(h, 92, nameTree);
  Stamp(h, 104);
  Put32(h, 116, chainTable);
  Put32(h, 124, btreeNames);
  Stamp(h, 132);
  Put32(h, 148, btreeTable);
  Stamp(h, 156);
  Put32(h, 184, 0xFFFFFFFF);
  Put32(h, 192, refTable);
  Stamp(h, 200);
  Put32(h, 220, records);
  Put32(h, 252, freeSpace);
  Stamp(h, 260);
  Put32(h, 272, records);
  Put32(h, 276, static_cast<uint32_t>(f.size()));  // every byte is in use: no free block
  Put32(h, 300, static_cast<uint32_t>(f.size()));
  return f;
}

Km5File FileOf(const Km5Roster& r) {
  Km5File f;
  const char* record[] = {"saturday_chain", "sunday_chain", "weekday_chain"};
  for (size_t i = 0; i < r.doctors.size(); ++i) {
    const Km5Doctor& d = r.doctors[i];
    f.Add("staff_chain", ImagePerson1(static_cast<int32_t>((i + 1) << 16), d.name, d.practice, d.colour, d.letter,
                                      d.deleted));
    if (r.dummies && i == 1) f.Add("staff_chain", ImageDummy());
  }
  for (const std::string& l : r.locations) f.Add("location_chain", ImageString(l));
  for (const std::string& t : r.tasks) f.Add("task_chain", ImageString(t));
  if (r.weeks) f.Add("number_of_periods", ImageUnsigned(static_cast<uint32_t>(r.weeks)));
  if (r.year) {
    if (r.dummies) f.Add("start_date", ImageDummy());
    f.Add("start_date", ImageDt1(r.year, r.month, r.day));
  }
  for (int k = 0; k < 3; ++k)
    for (size_t i = 0; i < r.typical[k].size(); ++i) {
      if (r.dummies && i == 0) f.Add(record[k], ImageDummy());
      f.Add(record[k], ImageTls(r.typical[k][i].task, r.typical[k][i].where, r.typical[k][i].slot));
    }
  return f;
}

Km5Roster BigRoster() {
  Km5Roster r;
  const char* practices[] = {"Praxis Nord", "Gemeinschaftspraxis M\xFChle", "", "Praxis S\xFC" "d", "Caf\xE9 Klinik"};
  for (int i = 0; i < 60; ++i) {
    std::string name = "Dr " + std::string(i % 3 == 0 ? "M\xFCller" : i % 3 == 1 ? "Stra\xDF" "e" : "Ren\xE9") + " " +
                       std::to_string(i + 1);
    if (i == 59) name = r.doctors[4].name;  // the repeated name
    r.doctors.push_back(Km5Doctor{name, practices[i % 5], (i * 0x0A1B2C) & 0xFFFFFF,
                                  static_cast<char>(i % 7 == 3 ? '\xC4' : 'A' + i % 26), i % 7 == 0});
  }
  for (int i = 1; i <= 10; ++i) {
    r.tasks.push_back(i == 2 ? std::string("Fr\xFC" "hdienst") : "Aufgabe " + std::to_string(i));
    r.locations.push_back(i == 3 ? std::string("Station \xD6st") : "Ort " + std::to_string(i));
  }
  r.weeks = 52;
  r.year = 2026, r.month = 1, r.day = 7;  // a Wednesday
  for (int k = 0; k < 3; ++k)
    for (uint32_t i = 0; i < 30; ++i)
      r.typical[k].push_back(Km5Tls{(i + static_cast<uint32_t>(k)) % 10 + 1, i / 10 + 1 + static_cast<uint32_t>(k),
                                    static_cast<int32_t>(i % 3 + 1)});
  r.dummies = true;
  return r;
}

Km5Roster SmallRoster() {
  Km5Roster r;
  r.doctors = {{"Anna", "Nord", 0x0000FF, 'A', false}, {"B\xE4r", "Nord", 0x00FF00, 'B', true},
               {"Carl", "", 0xFF0000, 'C', false}};
  r.tasks = {"Dienst", "Visite"};
  r.locations = {"Station 1", "Station 2"};
  r.weeks = 8;
  r.year = 2026, r.month = 3, r.day = 4;
  r.typical[0] = {{1, 1, 1}};
  r.typical[1] = {{2, 2, 1}};
  r.typical[2] = {{1, 2, 1}, {2, 1, 1}, {2, 2, 1}};
  return r;
}

}  // namespace km5test
