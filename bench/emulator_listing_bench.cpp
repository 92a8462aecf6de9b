// The emulator's own CPU per "DescribeInstances" page over a large world: 20 regions of 5 zones,
// 10,000 and 100,000 instances, pages of 100 (and of 10, the default size) taken from every
// region in turn and from the start, middle and end of each region's listing.
//
// The emulator runs in-process on its own thread; its CPU per page is the process's CPU time
// less the calling thread's, so the client's share (libcurl, TLS, reading the answer) is left
// out. What remains is the emulator's whole exchange: TLS, HTTP, signature check, the listing
// and writing the answer. The target is under 1 ms a page at 100,000 instances, and the figure
// should not grow with the world's size.
//
// ACW_BENCH_QUICK=1 (set by ctest) runs only the 10,000-instance world.
#include <benchmark/benchmark.h>

#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <sys/resource.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

constexpr int REGIONS = 20;
constexpr int ZONES_PER_REGION = 5;

double ThreadCpuSeconds() {
  timespec sTime{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &sTime);
  return static_cast<double>(sTime.tv_sec) + static_cast<double>(sTime.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
  rusage sUsage{};
  getrusage(RUSAGE_SELF, &sUsage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  return seconds(sUsage.ru_utime) + seconds(sUsage.ru_stime);
}

std::string RegionName(int nRegion) { return "acw-bench-" + std::to_string(nRegion); }

// Appends the instances directly (Put looks every id up, which a world of this size makes slow);
// each one starts from the kind's defaults, as a seeded instance does.
void SeedWorld(AcwEmulator::World& world, int nInstances) {
  const boost::json::object sDefaults = AcwEmulator::World::Collection("Instances").defaults();
  auto& vecInstances = world.Items("Instances");
  vecInstances.reserve(static_cast<size_t>(nInstances));
  for (int r = 0; r < REGIONS; ++r) {
    world.Put("Regions", boost::json::object{{"RegionId", RegionName(r)}});
  }
  for (int n = 0; n < nInstances; ++n) {
    const int nRegion = n % REGIONS;
    const int nZone = (n / REGIONS) % ZONES_PER_REGION;
    boost::json::object sInstance = sDefaults;
    sInstance["InstanceId"] = "i-acwbench" + std::to_string(1000000 + n);
    sInstance["InstanceName"] = "bench-" + std::to_string(n);
    sInstance["RegionId"] = RegionName(nRegion);
    sInstance["ZoneId"] = RegionName(nRegion) + "-z" + std::to_string(nZone);
    sInstance["Status"] = "Running";
    sInstance["VpcAttributes"].as_object()["PrivateIpAddress"] = boost::json::object{
        {"IpAddress", boost::json::array{"172.16." + std::to_string(n / 250 % 250) + "." + std::to_string(n % 250)}}};
    vecInstances.push_back(std::move(sInstance));
  }
}

void BM_EmulatorInstancePage(benchmark::State& state) {
  const int nInstances = static_cast<int>(state.range(0));
  const int nPageSize = static_cast<int>(state.range(1));
  AcwEmulator::Options sOptions;
  sOptions.seedDefaultWorld = false;
  AcwEmulator::Emulator sEmulator(sOptions);
  sEmulator.WithWorld([&](AcwEmulator::World& world) { SeedWorld(world, nInstances); });
  sEmulator.Start();
  ScopedSetting sCaBundle("AliCloudCABundle", sEmulator.CaFile());
  ScopedSetting sConnectTo("AliCloudConnectTo", "::127.0.0.1:" + std::to_string(sEmulator.HttpsPort()));
  ScopedLogCapture sQuietLog(0);
  CAliCloudECSConnection sConnection;
  sConnection.SetAccessKeyId("acw-demo-key");
  sConnection.SetAccessKeySecret("acw-demo-secret");
  if (sConnection.Connect().IsError()) {
    state.SkipWithError("Connect to the emulator failed");
    return;
  }
  // The first listing builds the index; the pages measured read it.
  const int nPagesPerRegion = (nInstances / REGIONS + nPageSize - 1) / nPageSize;
  const int vecPages[] = {1, (nPagesPerRegion + 1) / 2, nPagesPerRegion};
  std::string strResponse;
  double dEmulatorSeconds = 0;
  size_t nAnswerBytes = 0;
  int64_t nRequest = 0;
  for (auto _ : state) {
    SAliCloudRequest sRequest;
    sRequest.AddURLParameter(AliCloudParameterNames::ACTION, AliCloudActionParameterValues::DESCRIBE_INSTANCES);
    sRequest.AddURLParameter(AliCloudParameterNames::REGION_ID, RegionName(static_cast<int>(nRequest % REGIONS)));
    sRequest.AddURLParameter(AliCloudParameterNames::PAGE_SIZE, std::to_string(nPageSize));
    sRequest.AddURLParameter(AliCloudParameterNames::PAGE_NUMBER, std::to_string(vecPages[nRequest / REGIONS % 3]));
    ++nRequest;
    const double dProcessStart = ProcessCpuSeconds();
    const double dThreadStart = ThreadCpuSeconds();
    const CZeError sError = sConnection.ExecuteRequest(sRequest, strResponse, false);
    const double dThread = ThreadCpuSeconds() - dThreadStart;
    const double dEmulator = ProcessCpuSeconds() - dProcessStart - dThread;
    if (nRequest > 1) dEmulatorSeconds += dEmulator;
    state.SetIterationTime(dEmulator > 0 ? dEmulator : 1e-9);
    if (sError.IsError()) {
      state.SkipWithError(("request failed: " + sError.AsString()).c_str());
      return;
    }
    nAnswerBytes = strResponse.size();
  }
  const double dPages = static_cast<double>(nRequest > 1 ? nRequest - 1 : 1);
  state.counters["instances"] = nInstances;
  state.counters["page_size"] = nPageSize;
  state.counters["answer_bytes"] = static_cast<double>(nAnswerBytes);
  state.counters["emulator_cpu_us_per_page"] = dEmulatorSeconds * 1e6 / dPages;
}

bool Quick() {
  const char* pszQuick = std::getenv("ACW_BENCH_QUICK");
  return pszQuick != nullptr && std::string(pszQuick) == "1";
}

const bool bRegistered = [] {
  auto* pBench = benchmark::RegisterBenchmark("BM_EmulatorInstancePage", BM_EmulatorInstancePage);
  pBench->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(Quick() ? 20 : 600);
  pBench->Args({10000, 100});
  if (!Quick()) pBench->Args({100000, 100})->Args({10000, 10})->Args({100000, 10});
  return true;
}();

}  // namespace
}  // namespace AliCloudWrapper
