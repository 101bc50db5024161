// The class library's strings, binaries and CR/LF conversion against
// std::wstring and std::vector of the C++ library, in the same run.  Each
// line prints the library's time, the C++ library's time and the ratio
// C++/library (1.0 = as fast; goal >= 0.8, sortbytree >= 0.5).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "binary/binary.h"
#include "fileSystem/fileSystem_api.h"
#include "string/string.h"

using namespace tav;
namespace Kn = Qel::RunTime::Kernel;

namespace {

volatile size_t g_sink;

// Seconds per round of body, best of 3 runs of `rounds`.
template <class F>
double Time(int rounds, F&& body) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    double start = bench::Now();
    for (int i = 0; i < rounds; ++i) body();
    best = std::min(best, (bench::Now() - start) / rounds);
    Kn::Memory::ReleaseGStack(mark);
  }
  return best;
}

void Line(const char* what, double ours, double theirs, double goal) {
  double ratio = theirs / ours;
  printf("  %-34s %10.1f us  %10.1f us  %5.2f %s\n", what, ours * 1e6, theirs * 1e6, ratio,
         ratio >= goal ? "" : "(below goal)");
}

const StringList* ListOf(const std::vector<std::wstring>& items) {
  auto* cells = static_cast<StringList*>(GStackAlloc(static_cast<uint32_t>(items.size() * sizeof(StringList))));
  for (size_t i = 0; i < items.size(); ++i)
    cells[i] = StringList{1, items[i].c_str(), i + 1 < items.size() ? &cells[i + 1] : EmptyStringList()};
  return items.empty() ? EmptyStringList() : cells;
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  printf("tav strings and binaries              library         C++   C++/library\n");

  {
    const wchar_t* p[6] = {L"alpha", L"beta gamma", L"delta", L"epsilon zeta", L"eta", L"theta"};
    double ours = Time(200000, [&] { g_sink += (size_t)tav::string::concat(p[0], p[1], p[2], p[3], p[4], p[5]); });
    double theirs = Time(200000, [&] {
      std::wstring s;
      s.reserve(64);
      for (auto* x : p) s += x;
      g_sink += s.size();
    });
    Line("concat of 6 strings", ours, theirs, 0.8);
  }
  {
    std::vector<std::wstring> words;
    for (int i = 0; i < 1000; ++i) words.push_back(L"word" + std::to_wstring(i));
    const StringList* list = ListOf(words);
    double ours = Time(2000, [&] { g_sink += (size_t)tav::string::concatlist(list); });
    double theirs = Time(2000, [&] {
      size_t n = 0;
      for (auto& w : words) n += w.size();
      std::wstring s;
      s.reserve(n);
      for (auto& w : words) s += w;
      g_sink += s.size();
    });
    Line("concatlist of 1,000", ours, theirs, 0.8);
  }
  std::wstring mib(512 * 1024, L'a');
  mib.replace(mib.size() - 8, 6, L"needle");
  {
    uint32_t at;
    double ours = Time(20, [&] {
      tav::string::search(mib.c_str(), L"needle", casesensitivity::casesensitive, &at);
      g_sink += at;
    });
    double theirs = Time(20, [&] { g_sink += mib.find(L"needle"); });
    Line("search in 1 MiB", ours, theirs, 0.8);
  }
  {
    std::wstring text;
    for (int i = 0; i < 10000; ++i) text += L"some text -X- ";
    double ours = Time(20, [&] {
      g_sink += (size_t)tav::string::replaceall(text.c_str(), L"-X-", L"[replaced]",
                                                casesensitivity::casesensitive);
    });
    double theirs = Time(20, [&] {
      std::wstring out;
      out.reserve(text.size() * 2);
      size_t from = 0;
      for (size_t at; (at = text.find(L"-X-", from)) != std::wstring::npos; from = at + 3) {
        out.append(text, from, at - from);
        out += L"[replaced]";
      }
      out.append(text, from, std::wstring::npos);
      g_sink += out.size();
    });
    Line("replaceall of 10,000 matches", ours, theirs, 0.8);
  }
  {
    std::wstring text;
    for (int i = 0; i < 100000; ++i) text += L"field" + std::to_wstring(i % 97) + L";";
    double ours = Time(5, [&] { g_sink += (size_t)tav::string::split_delimiter(text.c_str(), L";"); });
    double theirs = Time(5, [&] {
      std::vector<std::wstring> out;
      size_t from = 0;
      for (size_t at; (at = text.find(L';', from)) != std::wstring::npos; from = at + 1)
        out.emplace_back(text, from, at - from);
      out.emplace_back(text, from);
      g_sink += out.size();
    });
    Line("split_delimiter of 100,000 fields", ours, theirs, 0.8);
  }
  {
    std::vector<std::wstring> words;
    uint32_t x = 12345;
    for (int i = 0; i < 100000; ++i) {
      x = x * 1103515245u + 12345u;
      std::wstring w;
      for (int k = 0; k < 8; ++k) w += static_cast<wchar_t>((k == 0 && (x & 1) ? L'A' : L'a') + ((x >> (k * 3 + 4)) % 26));
      words.push_back(w);
    }
    const StringList* list = ListOf(words);
    double ours = Time(3, [&] { g_sink += (size_t)tav::string::sortbytree(list); });
    double theirs = Time(3, [&] {
      std::vector<std::pair<std::wstring, const std::wstring*>> keyed;
      keyed.reserve(words.size());
      for (auto& w : words) {
        std::wstring k = w;
        CharLowerBuffW(k.data(), static_cast<DWORD>(k.size()));
        keyed.emplace_back(std::move(k), &w);
      }
      std::stable_sort(keyed.begin(), keyed.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      g_sink += keyed.size();
    });
    Line("sortbytree of 100,000 words", ours, theirs, 0.5);
  }
  {
    uint8_t* mb = binary::create(1 << 20);
    uint8_t* piece = binary::create(100);
    std::vector<uint8_t> vec(1 << 20), vpiece(100);
    double ours = Time(20, [&] { g_sink += (size_t)binary::insert(mb, 1 << 19, piece); });
    double theirs = Time(20, [&] {
      std::vector<uint8_t> v;
      v.reserve(vec.size() + 100);
      v.insert(v.end(), vec.begin(), vec.begin() + (1 << 19));
      v.insert(v.end(), vpiece.begin(), vpiece.end());
      v.insert(v.end(), vec.begin() + (1 << 19), vec.end());
      g_sink += v.size();
    });
    Line("binary insert in 1 MiB (copy)", ours, theirs, 0.8);
    ours = Time(20, [&] { g_sink += (size_t)binary::delete_(mb, 1 << 19, 100); });
    theirs = Time(20, [&] {
      std::vector<uint8_t> v(vec.begin(), vec.begin() + (1 << 19));
      v.insert(v.end(), vec.begin() + (1 << 19) + 100, vec.end());
      g_sink += v.size();
    });
    Line("binary delete in 1 MiB (copy)", ours, theirs, 0.8);
  }
  {
    std::wstring line(78, L'x');
    std::wstring text;
    while (text.size() * 2 < (16u << 20)) text += line + L"\r\n";
    std::wstring work = text;
    double ours = Time(3, [&] {
      auto r = fileSystem_api::crlf_lf(reinterpret_cast<uint8_t*>(text.data()),
                                       static_cast<int64_t>(text.size() * 2), false);
      g_sink += r.newSize;
    });
    double theirs = Time(3, [&] {
      std::wstring out;
      out.reserve(text.size());
      for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) out += text[i];
      g_sink += out.size();
    });
    double mb = text.size() * 2 / 1048576.0;
    printf("  %-34s %10.1f MB/s %9.1f MB/s %5.2f\n", "CR/LF to LF on 16 MiB", mb / ours, mb / theirs,
           theirs / ours);
    std::wstring lf;
    while (lf.size() * 2 < (16u << 20)) lf += line + L"\n";
    ours = Time(3, [&] {
      uint32_t n;
      g_sink += (size_t)fileSystem_api::lf_crlf(reinterpret_cast<const uint8_t*>(lf.data()),
                                                static_cast<int64_t>(lf.size() * 2), &n);
    });
    theirs = Time(3, [&] {
      std::wstring out;
      out.reserve(lf.size() * 2);
      for (wchar_t c : lf) {
        if (c == L'\n') out += L'\r';
        out += c;
      }
      g_sink += out.size();
    });
    printf("  %-34s %10.1f MB/s %9.1f MB/s %5.2f\n", "LF to CR/LF on 16 MiB", mb / ours, mb / theirs,
           theirs / ours);
  }
  return 0;
}
