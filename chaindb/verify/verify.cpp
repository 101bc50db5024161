// The verifier reads the file bytes itself (nothing of the library): every
// block it can reach is recorded as an extent, then extents are checked for
// overlaps and gaps of 16 bytes or more.
#include "verify.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace chaindb_verify {

namespace {

struct Extent {
  uint64_t at, length;
  std::string what;
};

class Checker {
 public:
  Checker(const std::vector<uint8_t>& f, Report& r, bool treeRefs) : f_(f), r_(r), treeRefs_(treeRefs) {}

  void Run() {

    if (f_.size() < 312) return Problem("file shorter than a header");
    wide_ = f_[9] == 0 && f_[8] == 'p';
    r_.wide = wide_;
    header_ = wide_ ? 320 : 312;
    if (f_.size() < header_) return Problem("file shorter than its header");
    bool sig = wide_ ? std::equal(f_.begin() + 8, f_.begin() + 22, "p\0r\0o\0l\0o\0g\0\0")
                     : std::equal(f_.begin() + 8, f_.begin() + 15, "prolog");
    if (!sig) return Problem("bad signature");
    version_ = H(24);
    if (version_ != 302 && version_ != 303) return Problem("bad version");
    r_.marked = H8(64) != 0;
    if (r_.marked) Problem("update mark set");
    eof_ = H(308);
    if (eof_ == 0) eof_ = f_.size();
    if (eof_ > f_.size()) Problem("endOfFile past the file's end");
    for (uint32_t o : {84u, 108u, 136u, 160u, 204u, 264u})
      if (H8(o)) Problem("dirty flag set in a clean header at " + std::to_string(o));
    Add(0, header_, "header", false);
    Add(header_, 256, "lock area", false);
    chains_ = Table(H(124), 8, "chain table");
    chainNames_ = Tree(H(100), "chain-name tree");
    refs_ = Table(H(200), 4, "reference table");
    btrees_ = Table(H(156), 16, "B+tree table");
    btreeNames_ = Tree(H(132), "B+tree-name tree");
    FreeSpace();
    References();
    Chains();
    Trees();
    Cover();
  }

 private:
  const std::vector<uint8_t>& f_;
  Report& r_;
  bool wide_ = true;
  bool treeRefs_ = true;
  uint32_t header_ = 320, version_ = 303;
  uint64_t eof_ = 0;
  std::vector<Extent> extents_;
  std::vector<uint8_t> chains_, chainNames_, refs_, btrees_, btreeNames_;
  uint32_t btreeCount_ = 0;
  std::map<uint32_t, uint32_t> live_;  // reference -> record position
  uint64_t inUse_ = 0;

  void Problem(const std::string& s) { r_.problems.push_back(s); }
  uint32_t At(uint64_t p) const {
    if (p + 4 > f_.size()) return 0;
    return f_[p] | f_[p + 1] << 8 | f_[p + 2] << 16 | uint32_t{f_[p + 3]} << 24;
  }
  uint32_t H(uint32_t wideOffset) const { return At(wide_ || wideOffset < 24 ? wideOffset : wideOffset - 8); }
  uint8_t H8(uint32_t wideOffset) const { return f_[wide_ || wideOffset < 24 ? wideOffset : wideOffset - 8]; }
  static uint32_t W(const std::vector<uint8_t>& b, uint32_t o) {
    return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | uint32_t{b[o + 3]} << 24;
  }
  uint64_t Rounded(uint64_t n) const { return version_ != 302 && n > 1024 ? (n + 255) / 256 * 256 : n; }
  bool Inside(uint64_t p, uint64_t n) const { return p >= header_ + 256u && p + n <= eof_; }

  void Add(uint64_t at, uint64_t length, const std::string& what, bool charged = true) {
    extents_.push_back({at, length, what});
    inUse_ += length;
    (void)charged;
  }

  std::vector<uint8_t> Block(uint32_t p, const char* what, uint32_t minimum) {
    if (!Inside(p, 4)) {
      Problem(std::string(what) + ": position outside the file");
      return {};
    }
    uint32_t size = At(p);
    if (size < minimum || !Inside(p, size)) {
      Problem(std::string(what) + ": size word out of range");
      return {};
    }
    Add(p, Rounded(size), what);
    return std::vector<uint8_t>(f_.begin() + p, f_.begin() + p + size);
  }

  std::vector<uint8_t> Table(uint32_t p, uint32_t entry, const char* what) {
    std::vector<uint8_t> t = Block(p, what, 20);
    if (t.empty()) return t;
    uint64_t expect = uint64_t{entry} * W(t, 4) + 20;
    if (W(t, 16) != entry || expect != t.size() || W(t, 8) > W(t, 4)) {
      Problem(std::string(what) + ": head disagrees with its size");
      return {};
    }
    return t;
  }

  std::vector<uint8_t> Tree(uint32_t p, const char* what) {
    std::vector<uint8_t> t = Block(p, what, 16);
    if (t.empty()) return t;
    if (W(t, 4) < 16 || W(t, 4) > t.size()) {
      Problem(std::string(what) + ": used size out of range");
      return {};
    }
    return t;
  }

  // In-order walk of a name tree: (name bytes, value), order checked.
  std::vector<std::pair<std::string, uint32_t>> Names(const std::vector<uint8_t>& t, const char* what) {
    std::vector<std::pair<std::string, uint32_t>> out;
    if (t.empty()) return out;
    uint32_t used = W(t, 4);
    std::vector<uint32_t> stack;
    std::set<uint32_t> seen;
    uint32_t node = W(t, 12);
    while (node || !stack.empty()) {
      while (node) {
        if (node < 16 || node + 12 >= used || !seen.insert(node).second) {
          Problem(std::string(what) + ": bad node offset");
          return out;
        }
        stack.push_back(node);
        node = W(t, node);
      }
      node = stack.back();
      stack.pop_back();
      std::string name;
      uint32_t i = node + 12;
      bool end = false;
      for (; i + (wide_ ? 1 : 0) < used; i += wide_ ? 2 : 1) {
        if (t[i] == 0 && (!wide_ || t[i + 1] == 0)) { end = true; break; }
        name.push_back(static_cast<char>(t[i]));
        if (wide_) name.push_back(static_cast<char>(t[i + 1]));
      }
      if (!end) {
        Problem(std::string(what) + ": name without terminator");
        return out;
      }
      out.push_back({name, W(t, node + 8)});
      node = W(t, node + 4);
    }
    for (size_t k = 1; k < out.size(); ++k)
      if (Compare(out[k - 1].first, out[k].first) >= 0) Problem(std::string(what) + ": names out of order");
    return out;
  }

  int Compare(const std::string& a, const std::string& b) const {
    if (!wide_) return lstrcmpA(a.c_str(), b.c_str());
    std::wstring wa(a.size() / 2, 0), wb(b.size() / 2, 0);
    memcpy(wa.data(), a.data(), a.size());
    memcpy(wb.data(), b.data(), b.size());
    return lstrcmpW(wa.c_str(), wb.c_str());
  }

  void FreeSpace() {
    uint32_t p = H(260);
    if (!Inside(p, 5120)) return Problem("free-space table outside the file");
    Add(p, 5120, "free-space table");
    uint32_t top = H(292), highest = 0;
    for (uint32_t c = 0; c < 1280; ++c) {
      uint64_t steps = 0;
      for (uint32_t b = At(p + 4 * c); b; b = At(b + 4)) {
        if (++steps > eof_ / 8) { Problem("free list " + std::to_string(c) + " does not end"); break; }
        uint32_t length = At(b);
        uint32_t cls = length <= 1024 ? length : length < 65536 ? (length >> 8) + 1024 : 1279;
        if (!Inside(b, 8) || length < 8 || !Inside(b, length) || cls != c) {
          Problem("free list " + std::to_string(c) + ": bad block");
          break;
        }
        extents_.push_back({b, length, "free block"});
        highest = c;
      }
    }
    if (highest > top) Problem("topClass below a non-empty class");
  }

  void References() {
    if (refs_.empty()) return;
    uint32_t count = W(refs_, 8);
    bool paged = H8(220) != 0;
    uint32_t refBlock = H(224);
    std::map<uint32_t, uint32_t> slots;  // reference -> slot value
    if (!paged) {
      if (refBlock != 0 || count > 1024) Problem("unpaged reference state out of range");
      for (uint32_t i = 1; i < count && i < 1024; ++i) slots[i << 16] = W(refs_, 20 + 4 * i);
    } else {
      if (refBlock >= count) return Problem("refBlock outside the first-level table");
      if (H(232) != W(refs_, 20 + 4 * refBlock)) Problem("refBlockPosition disagrees");
      for (uint32_t b = 0; b < count; ++b) {
        uint32_t p = W(refs_, 20 + 4 * b);
        if (!Inside(p, 4096)) { Problem("reference block outside the file"); continue; }
        Add(p, 4096, "reference block");
        for (uint32_t s = (b == 0 ? 1 : 0); s < 1024; ++s) {
          if (b == refBlock && s > H(228)) break;
          slots[b | s << 16] = At(p + 4 * s);
        }
      }
    }
    std::set<uint32_t> free;
    uint32_t steps = 0;
    for (uint32_t r = H(236); r; r = slots[r]) {
      if (!slots.count(r) || !free.insert(r).second || ++steps > slots.size()) {
        Problem("free reference list broken");
        break;
      }
    }
    for (auto [r, p] : slots) {
      if (free.count(r) || p == 0) continue;
      if (!Inside(p, 12) || At(p) < 12 || !Inside(p, At(p))) {
        Problem("reference " + std::to_string(r) + ": record outside the file");
        continue;
      }
      live_[r] = p;
      Add(p, Rounded(At(p)), "record");
    }
    r_.terms = static_cast<uint32_t>(live_.size());
    if (H(280) != live_.size()) Problem("termCount disagrees with live references");
  }

  void Chains() {
    if (chains_.empty() || chainNames_.empty()) return;
    uint32_t count = W(chains_, 8);
    auto names = Names(chainNames_, "chain-name tree");
    r_.chains = static_cast<uint32_t>(names.size());
    std::set<uint32_t> named, seen;
    for (auto& [name, index] : names) {
      if (index >= count || !named.insert(index).second) {
        Problem("chain name with a bad or repeated index");
        continue;
      }
      uint32_t first = W(chains_, 20 + 8 * index), last = W(chains_, 20 + 8 * index + 4);
      if (!first || !last) Problem("named chain is empty");
      uint32_t prev = 0, r = first;
      while (r) {
        if (!live_.count(r)) { Problem("chain link to a dead reference"); break; }
        if (!seen.insert(r).second) { Problem("reference in two chains or a cycle"); break; }
        uint32_t p = live_[r];
        if (At(p + 4) != prev) Problem("record's previous link disagrees");
        prev = r;
        r = At(p + 8);
      }
      if (prev != last) Problem("chain's last disagrees");
    }
    if (seen.size() != live_.size()) Problem("live references outside every chain");
    std::set<uint32_t> freeEntries;
    for (uint32_t e = H(288), steps = 0; e; e = W(chains_, 20 + 8 * e)) {
      if (e >= count || named.count(e) || !freeEntries.insert(e).second || ++steps > count) {
        Problem("free chain list broken");
        break;
      }
    }
    if (!btrees_.empty()) btreeCount_ = W(btrees_, 8);
    auto trees = Names(btreeNames_, "B+tree-name tree");
    btreeCount_ = static_cast<uint32_t>(trees.size());
  }

  struct BTreeInfo {
    uint32_t units, order, nodeSize, entry;
    bool dup;
    uint64_t nodes = 0, keys = 0;
    int leafDepth = -1;
    std::vector<std::pair<std::string, int32_t>> entries;
  };

  void Node(BTreeInfo& t, uint32_t p, int depth, bool isRoot) {
    if (depth >= 25) return Problem("B+tree deeper than 25 levels");
    if (!Inside(p, t.nodeSize)) return Problem("B+tree node outside the file");
    if (++t.nodes > eof_ / 8) return Problem("B+tree node walk does not end");
    Add(p, Rounded(t.nodeSize), "B+tree node");
    uint32_t m = At(p + 4), n = t.order;
    if (m > 2 * n || (isRoot ? m < 1 : m < n)) Problem("B+tree node fill out of range");
    if (m > 2 * n) return;
    uint32_t left = At(p);
    bool leaf = left == 0;
    if (leaf) {
      if (t.leafDepth < 0) t.leafDepth = depth;
      else if (t.leafDepth != depth) Problem("B+tree leaves at different depths");
    } else {
      Node(t, left, depth + 1, false);
    }
    for (uint32_t i = 0; i < m; ++i) {
      uint32_t e = p + 8 + i * t.entry;
      std::string key;
      uint32_t unit = wide_ ? 2 : 1;
      for (uint32_t k = 0; k + 1 < t.units; ++k) {
        uint32_t at = e + 8 + k * unit;
        if (f_[at] == 0 && (!wide_ || f_[at + 1] == 0)) break;
        key.push_back(static_cast<char>(f_[at]));
        if (wide_) key.push_back(static_cast<char>(f_[at + 1]));
      }
      int32_t ref = static_cast<int32_t>(At(e));
      if (treeRefs_ && !live_.count(static_cast<uint32_t>(ref))) Problem("B+tree entry names a dead reference");
      t.entries.push_back({key, ref});
      ++t.keys;
      uint32_t right = At(e + 4);
      if (leaf != (right == 0)) Problem("B+tree child links disagree with the leaf level");
      if (right) Node(t, right, depth + 1, false);
    }
  }

  void Trees() {
    if (btrees_.empty()) return;
    auto names = Names(btreeNames_, "B+tree-name tree");
    std::set<uint32_t> named;
    for (auto& n : names) named.insert(n.second);
    uint32_t count = W(btrees_, 8);
    for (uint32_t slot = 0; slot < count; ++slot) {
      uint32_t p = W(btrees_, 20 + 16 * slot + 12);
      if (!p) {
        if (named.count(slot)) Problem("B+tree name without a descriptor");
        continue;
      }
      if (!named.count(slot)) Problem("B+tree descriptor without a name");
      if (!Inside(p, 248)) { Problem("B+tree descriptor outside the file"); continue; }
      Add(p, 248, "B+tree descriptor");
      ++r_.trees;
      BTreeInfo t{At(p + 8), At(p + 12), At(p + 20), 0, f_[p + 16] != 0};
      t.entry = 8 + (wide_ ? 2 : 1) * t.units;
      if (t.units < 2 || t.units > 256 || t.order < 1 || t.order > 255 || t.nodeSize != 8 + 2 * t.order * t.entry) {
        Problem("B+tree descriptor fields out of range");
        continue;
      }
      if (At(p + 24)) Node(t, At(p + 24), 0, true);
      if (t.nodes != At(p + 244) || t.keys != At(p + 240)) Problem("B+tree counts disagree");
      for (size_t i = 1; i < t.entries.size(); ++i) {
        int c = Compare(t.entries[i - 1].first, t.entries[i].first);
        if (c > 0 || (c == 0 && !t.dup) || (c == 0 && t.entries[i - 1].second > t.entries[i].second)) {
          Problem("B+tree entries out of order");
          break;
        }
      }
    }
  }

  void Cover() {
    std::sort(extents_.begin(), extents_.end(), [](const Extent& a, const Extent& b) { return a.at < b.at; });
    uint64_t end = 0;
    std::string before = "start";
    for (const Extent& e : extents_) {
      if (e.at < end) Problem(e.what + " at " + std::to_string(e.at) + " overlaps " + before);
      else if (e.at - end >= 16) Problem("gap of " + std::to_string(e.at - end) + " bytes after " + before);
      if (e.at + e.length > end) {
        end = e.at + e.length;
        before = e.what + " at " + std::to_string(e.at);
      }
    }
    if (eof_ > end && eof_ - end >= 16) Problem("gap of " + std::to_string(eof_ - end) + " bytes at the end");
    if (H(284) != inUse_) Problem("bytesInUse " + std::to_string(H(284)) + ", blocks in use " + std::to_string(inUse_));
  }
};

}  // namespace

std::string Report::Text() const {
  std::string s;
  for (const auto& p : problems) s += p + "\n";
  return s;
}

Report Verify(const std::vector<uint8_t>& file, bool treeRefs) {
  Report r;
  // Blocks appended but never written read as zeros up to endOfFile.
  std::vector<uint8_t> padded = file;
  if (file.size() >= 320) {
    size_t at = file[9] == 0 ? 308 : 300;
    uint32_t eof = file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24;
    if (eof > file.size() && eof < (1u << 30)) padded.resize(eof, 0);
  }
  Checker(padded, r, treeRefs).Run();
  return r;
}

Report VerifyFile(const std::wstring& path, bool treeRefs) {
  std::vector<uint8_t> bytes;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Report r;
    r.problems.push_back("cannot open the file");
    return r;
  }
  DWORD size = GetFileSize(h, nullptr), done = 0;
  bytes.resize(size);
  if (size) ReadFile(h, bytes.data(), size, &done, nullptr);
  CloseHandle(h);
  bytes.resize(done);
  return Verify(bytes, treeRefs);
}

}  // namespace chaindb_verify
