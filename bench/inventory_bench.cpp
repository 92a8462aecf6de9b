// The inventory walk of RefreshVMInfoCache against the emulator seeded with a
// large inventory: 20 regions and 1,000, 10,000 or 100,000 instances; a fresh
// facade per iteration connects and refreshes the VM cache.
//
// Reported per run: API requests beside the pages the walk needs (1
// DescribeRegions for Connect, 1 for the endpoint map, 1 for the inventory's
// region list, then one DescribeInstances per page of every region, 10
// instances a page since no page size is sent), TLS handshakes beside the
// distinct hosts (one per host is the goal), client CPU per 1,000 instances
// (the calling thread's CPU time only: the emulator runs on its own threads;
// flat from 1,000 to 100,000 shows the client side is linear), heap bytes per
// cached SVMInfoLib (the records' own size plus what their texts and lists
// hold on the heap; target <= 1.5 KB) and the wall time of the whole walk,
// emulator included.
//
// ACW_BENCH_QUICK=1 (set by ctest) runs only the 1,000-instance walk.
#include <benchmark/benchmark.h>

#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

double ThreadCpuSeconds() {
  timespec sTime{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &sTime);
  return static_cast<double>(sTime.tv_sec) + static_cast<double>(sTime.tv_nsec) * 1e-9;
}

size_t HeapOf(const std::string& str) { return str.capacity() > 15 ? str.capacity() + 1 : 0; }

size_t HeapOf(const std::vector<std::string>& vec) {
  size_t n = vec.capacity() * sizeof(std::string);
  for (const std::string& str : vec) n += HeapOf(str);
  return n;
}

// What one cached record holds on the heap beyond its own size.
size_t HeapOf(const SVMInfoLib& s) {
  size_t n = 0;
  for (const std::string* p : {&s.strInstanceId, &s.strInstanceName, &s.strDescription, &s.strRegionId,
                               &s.strZoneId, &s.strInstanceType, &s.strImageId, &s.strArchitecture, &s.strOSName,
                               &s.strHostName, &s.strNewHostName, &s.strInternetChargeType, &s.strStatus,
                               &s.sNetworkInfo.strVpcId, &s.sNetworkInfo.strVSwitchId,
                               &s.sElasticIPAddress.strAllocationId, &s.sElasticIPAddress.strIpAddress}) {
    n += HeapOf(*p);
  }
  n += HeapOf(s.sNetworkInfo.vecPrivateIpAddresses) + HeapOf(s.vecPublicIpAddresses);
  n += s.vecSecurityGroups.capacity() * sizeof(SSecurityGroupInfoLib);
  for (const SSecurityGroupInfoLib& g : s.vecSecurityGroups) n += HeapOf(g.strSecurityGroupId);
  n += s.vecDisks.capacity() * sizeof(SDiskInfoLib);
  return n;
}

void BM_RefreshVMInfoCache(benchmark::State& state) {
  const int nInstancesPerZone = static_cast<int>(state.range(0));
  const int nZonesPerRegion = static_cast<int>(state.range(1));
  constexpr int REGIONS = 20;
  constexpr int PAGE_SIZE = 10;
  AcwEmulator::Options sOptions;
  sOptions.seedDefaultWorld = false;
  AcwEmulator::Emulator sEmulator(sOptions);
  sEmulator.WithWorld([&](AcwEmulator::World& world) {
    world.SeedLargeInventory(REGIONS, nZonesPerRegion, nInstancesPerZone);
  });
  sEmulator.Start();
  ScopedSetting sCaBundle("AliCloudCABundle", sEmulator.CaFile());
  ScopedSetting sConnectTo("AliCloudConnectTo", "::127.0.0.1:" + std::to_string(sEmulator.HttpsPort()));
  ScopedLogCapture sQuietLog(0);

  const size_t nInstances = static_cast<size_t>(REGIONS) * nZonesPerRegion * nInstancesPerZone;
  const size_t nPagesPerRegion = (static_cast<size_t>(nZonesPerRegion) * nInstancesPerZone + PAGE_SIZE - 1) / PAGE_SIZE;
  double dCpuSeconds = 0, dWallSeconds = 0;
  uint64_t nRequests = 0, nHandshakes = 0;
  size_t nHosts = 0, nCached = 0, nHeapBytes = 0;
  for (auto _ : state) {
    const AcwEmulator::Counters sBefore = sEmulator.GetCounters();
    sEmulator.ClearJournal();
    const double dStart = ThreadCpuSeconds();
    const auto tWallStart = std::chrono::steady_clock::now();
    CAliCloudWrapper sFacade;
    if (!sFacade.Connect("acw-demo-key", "acw-demo-secret") || !sFacade.RefreshVMInfoCache()) {
      state.SkipWithError(sFacade.GetLastError().c_str());
      return;
    }
    dCpuSeconds += ThreadCpuSeconds() - dStart;
    dWallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - tWallStart).count();
    state.PauseTiming();
    const AcwEmulator::Counters sAfter = sEmulator.GetCounters();
    nRequests = sAfter.apiRequests - sBefore.apiRequests;
    nHandshakes = sAfter.tlsHandshakes - sBefore.tlsHandshakes;
    std::set<std::string> setHosts;
    for (const auto& sEntry : sEmulator.Journal()) setHosts.insert(sEntry.host);
    nHosts = setHosts.size();
    std::vector<SVMInfoLib> vecCache;
    (void)sFacade.GetVMInfoList(vecCache);
    nCached = vecCache.size();
    nHeapBytes = vecCache.capacity() * sizeof(SVMInfoLib);
    for (const SVMInfoLib& s : vecCache) nHeapBytes += HeapOf(s);
    state.ResumeTiming();
  }
  if (nCached != nInstances) state.SkipWithError("the cache does not hold every instance");
  state.counters["instances"] = static_cast<double>(nInstances);
  state.counters["requests"] = static_cast<double>(nRequests);
  state.counters["hosts"] = static_cast<double>(nHosts);
  state.counters["handshakes"] = static_cast<double>(nHandshakes);
  state.counters["pages_needed"] = static_cast<double>(3 + REGIONS * nPagesPerRegion);
  const double dRuns = static_cast<double>(state.iterations());
  state.counters["client_cpu_us_per_1000"] = dCpuSeconds * 1e9 / static_cast<double>(nInstances) / dRuns;
  state.counters["heap_bytes_per_record"] = static_cast<double>(nHeapBytes) / static_cast<double>(nCached);
  state.counters["wall_s"] = dWallSeconds / dRuns;
}

bool Quick() {
  const char* pszQuick = std::getenv("ACW_BENCH_QUICK");
  return pszQuick != nullptr && std::string(pszQuick) == "1";
}

// 20 regions x 1 zone x 50 instances; x 5 zones x 100; x 5 zones x 1,000.
const bool bRegistered = [] {
  auto* pBench = benchmark::RegisterBenchmark("BM_RefreshVMInfoCache", BM_RefreshVMInfoCache);
  pBench->Unit(benchmark::kMillisecond)->Iterations(1)->Args({50, 1});
  if (!Quick()) pBench->Args({100, 5})->Args({1000, 5});
  return true;
}();

}  // namespace
}  // namespace AliCloudWrapper
