// The inventory walk of RefreshVMInfoCache against the emulator seeded with a
// large inventory (10 regions, 1,000 and 10,000 instances): a fresh facade per
// iteration connects and refreshes the VM cache.
//
// Reported per run: API requests (1 DescribeRegions for Connect, 1 for the
// endpoint map, 1 for the inventory's region list, then the DescribeInstances
// pages of every region, 10 instances a page since no page size is sent), TLS
// handshakes against distinct hosts (one per host is the goal), client CPU per
// instance (the calling thread's CPU time only: the emulator runs on its own
// threads), heap bytes per cached SVMInfoLib (the records' own size plus what
// their texts and lists hold on the heap; target <= 1.5 KB). The Time column is
// the wall time of the whole walk, emulator included; client CPU per instance
// staying flat from 1,000 to 10,000 instances shows the client side is linear.
#include <benchmark/benchmark.h>

#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

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
  constexpr int REGIONS = 10;
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
  double dCpuSeconds = 0;
  uint64_t nRequests = 0, nHandshakes = 0;
  size_t nHosts = 0, nCached = 0, nHeapBytes = 0;
  for (auto _ : state) {
    const AcwEmulator::Counters sBefore = sEmulator.GetCounters();
    sEmulator.ClearJournal();
    const double dStart = ThreadCpuSeconds();
    CAliCloudWrapper sFacade;
    if (!sFacade.Connect("acw-demo-key", "acw-demo-secret") || !sFacade.RefreshVMInfoCache()) {
      state.SkipWithError(sFacade.GetLastError().c_str());
      return;
    }
    dCpuSeconds += ThreadCpuSeconds() - dStart;
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
  state.counters["client_cpu_us_per_instance"] =
      dCpuSeconds * 1e6 / static_cast<double>(nInstances) / static_cast<double>(state.iterations());
  state.counters["heap_bytes_per_record"] = static_cast<double>(nHeapBytes) / static_cast<double>(nCached);
}

// 10 regions x 1 zone x 100 instances, and 10 regions x 2 zones x 500.
BENCHMARK(BM_RefreshVMInfoCache)->Args({100, 1})->Args({500, 2})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace AliCloudWrapper
