// fileName: every operation works on positions in the argument text.  A
// directory part is handled as its segments, each ending with its separator;
// segment ends are the positions just past each separator.  Nothing here
// raises except the size check of a new string.
#include "fileSystem/fileName.h"

#include <windows.h>

#include "memory/memory.h"
#include "string/string.h"

namespace tav {

const ClassInfo fileName::classInfo{L"com/corvane/fileSystem/fileName", TAV_CLASS_VERSION};

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

const wchar_t* Part(const wchar_t* s, size_t from, size_t count) {
  return string::substring(s, static_cast<uint32_t>(from), static_cast<uint32_t>(count));
}

// The position just past the last separator; 0 when there is none.
size_t PastLastSeparator(const wchar_t* s) {
  size_t past = 0;
  for (size_t i = 0; s[i]; ++i)
    if (IsSeparator(s[i])) past = i + 1;
  return past;
}

// The length of the path part: up to the last separator, else a drive
// prefix up to its colon, else 0.
size_t PathLength(const wchar_t* s) {
  if (size_t past = PastLastSeparator(s)) return past;
  if (const wchar_t* colon = wcschr(s, L':')) return colon - s + 1;
  return 0;
}

// The name part as name and extension: the extension follows the last dot.
void SplitName(const wchar_t* nameExt, const wchar_t** name, const wchar_t** ext) {
  const wchar_t* dot = wcsrchr(nameExt, L'.');
  if (!dot) {
    *name = nameExt;
    *ext = L"";
    return;
  }
  *name = Part(nameExt, 0, dot - nameExt);
  *ext = dot + 1;
}

const wchar_t* NameConcat(const wchar_t* name, const wchar_t* ext) {
  return ext[0] ? string::concat(name, L".", ext) : name;
}

const wchar_t* SetTrailSlash(const wchar_t* dir) {
  size_t n = wcslen(dir);
  return n && IsSeparator(dir[n - 1]) ? dir : string::concat(dir, L"\\");
}

// Segment ends of the first `length` characters of s (positions just past
// each separator), on the global stack; returns their count.
uint32_t SegmentEnds(const wchar_t* s, size_t length, uint32_t** ends) {
  uint32_t count = 0;
  for (size_t i = 0; i < length; ++i) count += IsSeparator(s[i]);
  *ends = static_cast<uint32_t*>(GStackAlloc(4 * (count ? count : 1)));
  count = 0;
  for (size_t i = 0; i < length; ++i)
    if (IsSeparator(s[i])) (*ends)[count++] = static_cast<uint32_t>(i + 1);
  return count;
}

// The number of leading segments that form the root of an absolute path:
// "X:\", "\", or "\\server\share\" (the two backslashes count as two).
uint32_t RootSegments(const wchar_t* s, const uint32_t* ends, uint32_t count) {
  if (count == 0) return 0;
  if (ends[0] == 1) {
    if (count >= 2 && ends[1] == 2) return count < 4 ? count : 4;
    return 1;
  }
  return s[ends[0] - 2] == L':' ? 1 : 0;
}

bool IsUpSegment(const wchar_t* s, uint32_t start, uint32_t end) {
  return end - start == 3 && s[start] == L'.' && s[start + 1] == L'.' && s[start + 2] == L'\\';
}

}  // namespace

const wchar_t* fileName::getname(const wchar_t* fullName) {
  const wchar_t *name, *ext;
  SplitName(fullName + PathLength(fullName), &name, &ext);
  return string::createcopy(name);
}

const wchar_t* fileName::getextension(const wchar_t* fullName) {
  const wchar_t* rest;
  return getextension(fullName, &rest);
}

const wchar_t* fileName::getextension(const wchar_t* fullName,
                                      const wchar_t** nameWithoutExtension) {
  size_t pathLength = PathLength(fullName);
  const wchar_t *name, *ext;
  SplitName(fullName + pathLength, &name, &ext);
  *nameWithoutExtension = Part(fullName, 0, pathLength + wcslen(name));
  return string::createcopy(ext);
}

const wchar_t* fileName::getpath(const wchar_t* fullName) {
  return Part(fullName, 0, PathLength(fullName));
}

const wchar_t* fileName::getpath(const wchar_t* fullName, const wchar_t** nameWithExtension) {
  size_t pathLength = PathLength(fullName);
  *nameWithExtension = string::createcopy(fullName + pathLength);
  return Part(fullName, 0, pathLength);
}

const wchar_t* fileName::setname(const wchar_t* fullName, const wchar_t* newName) {
  size_t pathLength = PathLength(fullName);
  const wchar_t *name, *ext;
  SplitName(fullName + pathLength, &name, &ext);
  return string::concat(Part(fullName, 0, pathLength), NameConcat(newName, ext));
}

const wchar_t* fileName::setextension(const wchar_t* fullName, const wchar_t* newExtension) {
  size_t pathLength = PathLength(fullName);
  const wchar_t *name, *ext;
  SplitName(fullName + pathLength, &name, &ext);
  return string::concat(Part(fullName, 0, pathLength), NameConcat(name, newExtension));
}

const wchar_t* fileName::setpath(const wchar_t* fullName, const wchar_t* newPath) {
  size_t oldLength = PathLength(fullName);
  const wchar_t* nameExt = fullName + oldLength;
  if (!newPath[0]) return string::createcopy(nameExt);
  newPath = SetTrailSlash(newPath);
  uint32_t *oldEnds, *newEnds;
  uint32_t oldCount = SegmentEnds(fullName, oldLength, &oldEnds);
  uint32_t newCount = SegmentEnds(newPath, wcslen(newPath), &newEnds);
  if (oldCount == 0 || newCount == 0 || !IsUpSegment(fullName, 0, oldEnds[0]))
    return string::concat(newPath, nameExt);
  // Each leading "..\" drops one segment from the end of the new path, never
  // its root; "..\" past the root is dropped as the system does.
  uint32_t root = RootSegments(newPath, newEnds, newCount);
  uint32_t kept = newCount, used = 0, start = 0;
  while (used < oldCount && IsUpSegment(fullName, start, oldEnds[used])) {
    if (kept > root) {
      --kept;
    } else if (root == 0) {
      break;
    }
    start = oldEnds[used++];
  }
  const wchar_t* base = Part(newPath, 0, kept ? newEnds[kept - 1] : 0);
  return string::concat(base, Part(fullName, start, oldLength - start), nameExt);
}

const wchar_t* fileName::reduce(const wchar_t* fullName, const wchar_t* baseDirectory) {
  size_t fullPath = PastLastSeparator(fullName);
  if (fullPath == 0 || !baseDirectory[0]) return fullName;
  const wchar_t* base = SetTrailSlash(baseDirectory);
  uint32_t *fullEnds, *baseEnds;
  uint32_t fullCount = SegmentEnds(fullName, fullPath, &fullEnds);
  uint32_t baseCount = SegmentEnds(base, wcslen(base), &baseEnds);
  uint32_t same = 0, fullStart = 0, baseStart = 0;
  while (same < fullCount && same < baseCount &&
         CompareStringOrdinal(fullName + fullStart, fullEnds[same] - fullStart, base + baseStart,
                              baseEnds[same] - baseStart, TRUE) == CSTR_EQUAL) {
    fullStart = fullEnds[same];
    baseStart = baseEnds[same];
    ++same;
  }
  uint64_t ups = baseCount - same;
  uint64_t length = 3 * ups + wcslen(fullName) - fullStart;
  if (length >= wcslen(fullName)) return fullName;
  wchar_t* out = memory::allocstringbuffer(static_cast<uint32_t>(memory::checksize(2 * (length + 1)) / 2));
  wchar_t* at = out;
  for (uint64_t i = 0; i < ups; ++i, at += 3) memcpy(at, L"..\\", 6);
  wcscpy(at, fullName + fullStart);
  return out;
}

void fileName::getfirstdirectory(const wchar_t* path, const wchar_t** first, const wchar_t** rest) {
  // A network name's first directory is "\\server\".
  size_t skip = path[0] == L'\\' && path[1] == L'\\' ? 2 : 0;
  const wchar_t* slash = wcschr(path + skip, L'\\');
  if (!slash) {
    *first = string::createcopy(path);
    *rest = L"";
    return;
  }
  *first = Part(path, 0, slash - path + 1);
  *rest = string::createcopy(slash + 1);
}

}  // namespace tav
