// A full DescribeInstances page (100 instances, about 220 KB): into instance records
// the way a listing reads each page, into the mObject tree, and back to text, beside
// Boost.JSON on the same text in the same run (its bare reader, which validates and
// keeps nothing, and its own document parse). The ratios between these rows are the
// figures to watch; absolute times vary from run to run.
//
// Allocation counters (per instance) come from counting operator new in this
// program: "allocs" calls, "heap_bytes" bytes asked for, "peak_bytes" the most held
// at once above what was held before (records included).
//
// With ACW_WRITE_PAGE=<file> the page text is also written to that file, so the
// Node comparison (peer_compare.js) parses exactly the same text.
#include <benchmark/benchmark.h>
#include <boost/json/basic_parser_impl.hpp>
#include <boost/json/parse.hpp>

#include <malloc.h>

#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "DescribeInstancesPage.h"
#include "host/TkJson.h"

// ------------------------------------------------------------------ allocation counting

// The replaced operator new below takes its memory from malloc, so its delete frees
// it; GCC sees only "new" paired with "free" where it inlines them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
struct SHeapCounters {
  size_t nAllocs = 0;
  size_t nBytes = 0;
  size_t nLive = 0;
  size_t nPeak = 0;
};
SHeapCounters g_heap;
}  // namespace

void* operator new(std::size_t nSize) {
  void* p = std::malloc(nSize == 0 ? 1 : nSize);
  if (p == nullptr) throw std::bad_alloc();
  ++g_heap.nAllocs;
  g_heap.nBytes += nSize;
  g_heap.nLive += malloc_usable_size(p);
  if (g_heap.nLive > g_heap.nPeak) g_heap.nPeak = g_heap.nLive;
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  g_heap.nLive -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using AliCloudWrapper::CAliCloudParser;
using AliCloudWrapper::mObject;
using AliCloudWrapper::SVMInfoLib;
using AliCloudWrapper::TkJson;

constexpr int kInstances = 100;

const std::string& Page() {
  static const std::string page = AliCloudWrapper::bench::DescribeInstancesPage(kInstances);
  return page;
}

// Writes the page for the Node comparison when asked to, before any benchmark runs.
const bool g_bPageWritten = [] {
  const char* pszPath = std::getenv("ACW_WRITE_PAGE");
  if (pszPath == nullptr) return false;
  std::ofstream(pszPath, std::ios::binary) << Page();
  return true;
}();

// Allocation figures of one run of work, per instance.
template <typename F>
void CountHeap(benchmark::State& state, F work) {
  const SHeapCounters before = g_heap;
  g_heap.nPeak = g_heap.nLive;
  work();
  state.counters["allocs"] = static_cast<double>(g_heap.nAllocs - before.nAllocs) / kInstances;
  state.counters["heap_bytes"] = static_cast<double>(g_heap.nBytes - before.nBytes) / kInstances;
  state.counters["peak_bytes"] = static_cast<double>(g_heap.nPeak - before.nLive) / kInstances;
}

// What a listing does with each page: text to records (the records are freed with
// the vector each time round, as a caller eventually frees them).
bool RecordsFromText(const CAliCloudParser& parser) {
  std::vector<SVMInfoLib> records;
  const bool bOk = parser.ParseNestedList(Page(), "Instances", "Instance", records);
  return bOk && records.size() == kInstances;
}

void BM_RecordsFromPage(benchmark::State& state) {
  CAliCloudParser parser;
  for (auto _ : state) {
    if (!RecordsFromText(parser)) state.SkipWithError("page did not give 100 records");
  }
  CountHeap(state, [&] { (void)RecordsFromText(parser); });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Page().size()));
}
BENCHMARK(BM_RecordsFromPage)->Unit(benchmark::kMicrosecond);

// The same records through the json_spirit tree (text to mObject, then the object
// form of the parser), as the parser read every page before.
bool RecordsThroughTree(const CAliCloudParser& parser) {
  mObject obj;
  std::vector<SVMInfoLib> records;
  const bool bOk = TkJson::Unserialize(Page(), obj) &&
                   parser.ParseNestedList(obj, "Instances", "Instance", records);
  return bOk && records.size() == kInstances;
}

void BM_RecordsFromPageThroughTree(benchmark::State& state) {
  CAliCloudParser parser;
  for (auto _ : state) {
    if (!RecordsThroughTree(parser)) state.SkipWithError("page did not give 100 records");
  }
  CountHeap(state, [&] { (void)RecordsThroughTree(parser); });
}
BENCHMARK(BM_RecordsFromPageThroughTree)->Unit(benchmark::kMicrosecond);

void BM_UnserializeDescribeInstancesPage(benchmark::State& state) {
  const std::string& text = Page();
  for (auto _ : state) {
    mObject obj;
    if (!TkJson::Unserialize(text, obj)) state.SkipWithError("page did not parse");
    benchmark::DoNotOptimize(obj);
  }
  CountHeap(state, [&] {
    mObject obj;
    (void)TkJson::Unserialize(text, obj);
  });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_UnserializeDescribeInstancesPage)->Unit(benchmark::kMicrosecond);

// The same without freeing the tree, which is the caller's cost once it is done with it.
void BM_UnserializeDescribeInstancesPageKeepTree(benchmark::State& state) {
  const std::string& text = Page();
  for (auto _ : state) {
    mObject obj;
    if (!TkJson::Unserialize(text, obj)) state.SkipWithError("page did not parse");
    state.PauseTiming();
    { mObject freed = std::move(obj); }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UnserializeDescribeInstancesPageKeepTree)->Unit(benchmark::kMicrosecond);

// The same reader with a handler that keeps nothing: validation alone, the floor
// under the tree building above.
struct SDiscardingHandler {
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);
  using ec_t = boost::json::error_code;
  using sv_t = boost::json::string_view;
  bool on_document_begin(ec_t&) { return true; }
  bool on_document_end(ec_t&) { return true; }
  bool on_object_begin(ec_t&) { return true; }
  bool on_object_end(std::size_t, ec_t&) { return true; }
  bool on_array_begin(ec_t&) { return true; }
  bool on_array_end(std::size_t, ec_t&) { return true; }
  bool on_key_part(sv_t, std::size_t, ec_t&) { return true; }
  bool on_key(sv_t, std::size_t, ec_t&) { return true; }
  bool on_string_part(sv_t, std::size_t, ec_t&) { return true; }
  bool on_string(sv_t, std::size_t, ec_t&) { return true; }
  bool on_number_part(sv_t, ec_t&) { return true; }
  bool on_int64(std::int64_t, sv_t, ec_t&) { return true; }
  bool on_uint64(std::uint64_t, sv_t, ec_t&) { return true; }
  bool on_double(double, sv_t, ec_t&) { return true; }
  bool on_bool(bool, ec_t&) { return true; }
  bool on_null(ec_t&) { return true; }
  bool on_comment_part(sv_t, ec_t&) { return true; }
  bool on_comment(sv_t, ec_t&) { return true; }
};

void BM_BareReaderDescribeInstancesPage(benchmark::State& state) {
  const std::string& text = Page();
  boost::json::parse_options options;
  options.max_depth = TkJson::MAX_DEPTH;
  for (auto _ : state) {
    boost::json::basic_parser<SDiscardingHandler> parser(options);
    boost::json::error_code ec;
    parser.write_some(false, text.data(), text.size(), ec);
    if (ec) state.SkipWithError("page did not parse");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_BareReaderDescribeInstancesPage)->Unit(benchmark::kMicrosecond);

// Boost.JSON's own document (boost::json::parse), built and freed.
void BM_BoostJsonParse(benchmark::State& state) {
  const std::string& text = Page();
  for (auto _ : state) {
    boost::json::error_code ec;
    boost::json::value value = boost::json::parse(text, ec);
    if (ec) state.SkipWithError("page did not parse");
    benchmark::DoNotOptimize(value);
  }
  CountHeap(state, [&] { benchmark::DoNotOptimize(boost::json::parse(text)); });
}
BENCHMARK(BM_BoostJsonParse)->Unit(benchmark::kMicrosecond);

void BM_SerializeDescribeInstancesPage(benchmark::State& state) {
  mObject obj;
  if (!TkJson::Unserialize(Page(), obj)) state.SkipWithError("page did not parse");
  for (auto _ : state) benchmark::DoNotOptimize(TkJson::Serialize(obj));
}
BENCHMARK(BM_SerializeDescribeInstancesPage)->Unit(benchmark::kMicrosecond);

}  // namespace
