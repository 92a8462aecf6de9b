// Parsing a full DescribeInstances page (100 instances, about 220 KB) into the mObject
// tree, beside the bare reader (validation only, no tree) as the floor.
#include <benchmark/benchmark.h>
#include <boost/json/basic_parser_impl.hpp>

#include <string>

#include "DescribeInstancesPage.h"
#include "host/TkJson.h"

namespace {

using AliCloudWrapper::mObject;
using AliCloudWrapper::TkJson;

const std::string& Page() {
  static const std::string page = AliCloudWrapper::bench::DescribeInstancesPage(100);
  return page;
}

void BM_UnserializeDescribeInstancesPage(benchmark::State& state) {
  const std::string& text = Page();
  for (auto _ : state) {
    mObject obj;
    if (!TkJson::Unserialize(text, obj)) state.SkipWithError("page did not parse");
    benchmark::DoNotOptimize(obj);
  }
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

void BM_SerializeDescribeInstancesPage(benchmark::State& state) {
  mObject obj;
  if (!TkJson::Unserialize(Page(), obj)) state.SkipWithError("page did not parse");
  for (auto _ : state) benchmark::DoNotOptimize(TkJson::Serialize(obj));
}
BENCHMARK(BM_SerializeDescribeInstancesPage)->Unit(benchmark::kMicrosecond);

}  // namespace
