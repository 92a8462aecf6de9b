// Chaos soak: thousands of mixed facade operations (inventory, snapshots,
// disks, elastic IPs, the metadata id) against the emulator, with every fault
// kind injected at random before them. After each operation it checks:
//   - it returned within its bound (no hang);
//   - a success is true in the emulator's world (a failure is never reported
//     as success), and a failure leaves a last error;
//   - the world holds no snapshot, disk or elastic IP the caller was not told
//     about, except those made by a creation whose answer a fault destroyed
//     after the service did the work (the caller was told it failed);
//   - no creation token made two resources.
// Usage: chaos_soak [--operations N] [--seed S] [--verbose]
// ctest runs a short soak; run it long by hand (./run soak N).
#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

namespace json = boost::json;
using AcwEmulator::FaultKind;

constexpr const char* REGION = "cn-hangzhou";
constexpr const char* ZONE = "cn-hangzhou-h";
constexpr const char* INSTANCE = "i-acwemu00000000000001";
constexpr const char* SYSTEM_DISK = "d-acwdemo0000000001";
// Attempts x (request time bound + connect) plus the storage waits' resends.
constexpr double MAX_OPERATION_SECONDS = 90.0;

const FaultKind FAULT_KINDS[] = {FaultKind::ErrorResponse,     FaultKind::EmptyErrorBody, FaultKind::NotJson,
                                 FaultKind::CloseBeforeAnswer, FaultKind::CloseMidBody,   FaultKind::Delay,
                                 FaultKind::Stall};
const char* const FAULT_NAMES[] = {"ErrorResponse",     "EmptyErrorBody", "NotJson", "CloseBeforeAnswer",
                                   "CloseMidBody",      "Delay",          "Stall"};

struct SCounts {
  uint64_t nOperations = 0;
  uint64_t nSucceeded = 0;
  uint64_t nFailed = 0;
  uint64_t nFaults = 0;
  uint64_t anFaultsByKind[7] = {};
  uint64_t nLostAnswerCreations = 0;  // creations that failed while the service did the work
  uint64_t nViolations = 0;
  double dSlowestSeconds = 0;
};

std::string Str(const json::object& item, const char* pszMember) {
  const json::value* p = item.if_contains(pszMember);
  return p != nullptr && p->is_string() ? std::string(p->get_string()) : std::string();
}

class CSoak {
 public:
  CSoak(uint32_t nSeed, bool bVerbose) : m_rng(nSeed), m_bVerbose(bVerbose) {
    m_emulator.Start();
    const std::string strPort = std::to_string(m_emulator.HttpsPort());
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("AliCloudCABundle", m_emulator.CaFile()));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>(
        "AliCloudConnectTo", "100.100.100.200:80:127.0.0.1:" + std::to_string(m_emulator.MetadataPort()) +
                                 ",::127.0.0.1:" + strPort));
    // Stalls and long delays end at the request bound; two attempts each.
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudRequestTimeOutInSec", 1));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudNumberOfRequestRetries", 2));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudSnapshotNotReadyMaxWaitInSec", 60));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudDetachDiskMaxWaitInSec", 20));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudDiskInitializingMaxWaitInSec", 60));
    m_emulator.WithWorld([&](AcwEmulator::World& world) {
      for (const char* pszCollection : {"Snapshots", "Disks", "EipAddresses"}) {
        const std::string strIdMember = AcwEmulator::World::Collection(pszCollection).idMember;
        for (const json::object& item : world.Items(pszCollection)) {
          m_setSeeded.insert(Str(item, strIdMember.c_str()));
        }
      }
    });
  }

  bool Run(uint64_t nOperations, int nMaxSeconds) {
    const auto start = std::chrono::steady_clock::now();
    for (int nTry = 0; nTry < 5 && !m_facade.Connect("acw-demo-key", "acw-demo-secret"); ++nTry) {
    }
    for (uint64_t i = 0; i < nOperations; ++i) {
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(nMaxSeconds)) {
        std::printf("chaos_soak: stopped after %d s\n", nMaxSeconds);
        break;
      }
      OneOperation();
      if (i % 50 == 49) CheckWorld();
    }
    m_emulator.ClearFaults();
    CheckWorld();
    Report();
    return m_counts.nViolations == 0;
  }

 private:
  template <typename... Args>
  void Violation(const char* pszFormat, Args... args) {
    ++m_counts.nViolations;
    std::printf("VIOLATION after operation %llu: ", static_cast<unsigned long long>(m_counts.nOperations));
    std::printf(pszFormat, args...);
    std::printf("\n");
  }

  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_rng); }
  bool Chance(double d) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < d; }
  std::string PickFrom(const std::set<std::string>& set) {
    if (set.empty()) return "none-known";
    auto it = set.begin();
    std::advance(it, static_cast<long>(Pick(set.size())));
    return *it;
  }

  // A random fault on the next request or two; true when it runs the action
  // before destroying the answer.
  bool InjectFault() {
    if (!Chance(0.4)) return false;
    const size_t nKind = Pick(7);
    AcwEmulator::Fault sFault;
    sFault.kind = FAULT_KINDS[nKind];
    sFault.count = 1 + static_cast<int>(Pick(2));
    sFault.executeAction = Chance(0.5);
    static const int s_anErrorStatus[] = {400, 403, 404, 500, 503};
    static const char* const s_apszCodes[] = {"InternalError", "ServiceUnavailable", "Throttling",
                                              "InvalidParameter", "IncorrectDiskStatus"};
    switch (sFault.kind) {
      case FaultKind::ErrorResponse:
        sFault.status = s_anErrorStatus[Pick(5)];
        sFault.code = s_apszCodes[Pick(5)];
        break;
      case FaultKind::EmptyErrorBody: sFault.status = Chance(0.3) ? 200 : 503; break;
      case FaultKind::NotJson: sFault.status = Chance(0.3) ? 200 : 502; break;
      case FaultKind::Delay: sFault.delayMs = Chance(0.1) ? 1500 : static_cast<int>(Pick(200)); break;
      default: break;
    }
    // Stalls cost a whole request bound: keep them rarer than the rest.
    if (sFault.kind == FaultKind::Stall && !Chance(0.3)) sFault.kind = FaultKind::CloseBeforeAnswer;
    m_emulator.InjectFault(sFault);
    ++m_counts.nFaults;
    ++m_counts.anFaultsByKind[sFault.kind == FAULT_KINDS[nKind] ? nKind : 3];
    return sFault.executeAction;
  }

  bool InWorld(const char* pszCollection, const std::string& strId, const char* pszMember = nullptr,
               const std::string& strValue = std::string()) {
    bool bFound = false;
    m_emulator.WithWorld([&](AcwEmulator::World& world) {
      const json::object* pItem = world.Find(pszCollection, strId);
      bFound = pItem != nullptr && (pszMember == nullptr || Str(*pItem, pszMember) == strValue);
    });
    return bFound;
  }

  void OneOperation() {
    const bool bExecutes = InjectFault();
    ++m_counts.nOperations;
    const auto start = std::chrono::steady_clock::now();
    std::string strWhat;
    const bool bOk = RandomOperation(bExecutes, strWhat);
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m_emulator.ClearFaults();
    m_log.Clear();
    m_counts.dSlowestSeconds = std::max(m_counts.dSlowestSeconds, dSeconds);
    if (dSeconds > MAX_OPERATION_SECONDS) Violation("%s took %.1f s", strWhat.c_str(), dSeconds);
    if (bOk) {
      ++m_counts.nSucceeded;
    } else {
      ++m_counts.nFailed;
      if (m_facade.GetLastError().empty()) Violation("%s failed without a last error", strWhat.c_str());
    }
    if (m_bVerbose) std::printf("%s: %s (%.2f s)\n", strWhat.c_str(), bOk ? "ok" : m_facade.GetLastError().c_str(), dSeconds);
  }

  // One operation chosen at random; checks a success against the world.
  bool RandomOperation(bool bExecutes, std::string& strWhat) {
    switch (Pick(12)) {
      case 0: {
        strWhat = "GetVPCListInRegion";
        std::vector<SVPCInfoLib> vecVpcs;
        const bool bOk = m_facade.GetVPCListInRegion(REGION, vecVpcs);
        if (bOk && vecVpcs.empty()) Violation("VPC listing succeeded without the region's VPC");
        return bOk;
      }
      case 1: {
        strWhat = "GetSecurityGroupList";
        std::vector<SSecurityGroupInfoLib> vecGroups;
        const bool bOk = m_facade.GetSecurityGroupList(REGION, vecGroups);
        if (bOk && vecGroups.empty()) Violation("security group listing succeeded without the region's group");
        return bOk;
      }
      case 2: {
        const std::string strDisk = Chance(0.5) ? SYSTEM_DISK : PickFrom(m_setDisks);
        strWhat = "GetDiskInfo " + strDisk;
        SDiskInfoLib sDisk;
        const bool bOk = m_facade.GetDiskInfo(REGION, strDisk, sDisk);
        if (bOk && sDisk.strDiskId != strDisk) Violation("GetDiskInfo %s answered disk [%s]", strDisk.c_str(), sDisk.strDiskId.c_str());
        return bOk;
      }
      case 3: {
        strWhat = "CreateSnapshot";
        SSnapshotInfoLib sSnapshot;
        const bool bOk = m_facade.CreateSnapshot(SYSTEM_DISK, sSnapshot, "soak", "chaos");
        if (bOk && !InWorld("Snapshots", sSnapshot.strSnapshotId)) Violation("snapshot [%s] reported made, not in the world", sSnapshot.strSnapshotId.c_str());
        if (bOk) m_setSnapshots.insert(sSnapshot.strSnapshotId);
        if (!bOk && bExecutes) ++m_counts.nLostAnswerCreations;
        return bOk;
      }
      case 4: {
        const std::string strSnapshot = PickFrom(m_setSnapshots);
        strWhat = "IsSnapshotCompleted " + strSnapshot;
        bool bCompleted = false;
        const bool bOk = m_facade.IsSnapshotCompleted(REGION, strSnapshot, bCompleted);
        if (bOk && bCompleted && !InWorld("Snapshots", strSnapshot, "Status", "accomplished")) Violation("snapshot [%s] reported complete", strSnapshot.c_str());
        return bOk;
      }
      case 5: {
        const std::string strSnapshot = PickFrom(m_setSnapshots);
        strWhat = "DeleteSnapshot " + strSnapshot;
        const bool bOk = m_facade.DeleteSnapshot(strSnapshot);
        if (bOk && InWorld("Snapshots", strSnapshot)) Violation("snapshot [%s] reported deleted, still there", strSnapshot.c_str());
        if (!InWorld("Snapshots", strSnapshot)) m_setSnapshots.erase(strSnapshot);
        return bOk;
      }
      case 6: {
        const std::string strSnapshot = PickFrom(m_setSnapshots);
        strWhat = "CreateDisk from " + strSnapshot;
        SDiskInfoLib sDisk;
        const bool bOk = m_facade.CreateDisk(REGION, ZONE, sDisk, strSnapshot, "soak", "cloud_essd",
                                             20LL << 30, false, "chaos");
        if (bOk && !InWorld("Disks", sDisk.strDiskId)) Violation("disk [%s] reported made, not in the world", sDisk.strDiskId.c_str());
        if (bOk) m_setDisks.insert(sDisk.strDiskId);
        if (!bOk && bExecutes) ++m_counts.nLostAnswerCreations;
        return bOk;
      }
      case 7: {
        const std::string strDisk = PickFrom(m_setDisks);
        strWhat = "DeleteDisk " + strDisk;
        const bool bOk = m_facade.DeleteDisk(strDisk);
        if (bOk && InWorld("Disks", strDisk)) Violation("disk [%s] reported deleted, still there", strDisk.c_str());
        if (!InWorld("Disks", strDisk)) m_setDisks.erase(strDisk);
        return bOk;
      }
      case 8: {
        strWhat = "CreateEIPAddress";
        std::string strAllocation;
        const bool bOk = m_facade.CreateEIPAddress(REGION, strAllocation, "5", "PayByTraffic");
        if (bOk && !InWorld("EipAddresses", strAllocation)) Violation("EIP [%s] reported made, not in the world", strAllocation.c_str());
        if (bOk) m_setEips.insert(strAllocation);
        if (!bOk && bExecutes) ++m_counts.nLostAnswerCreations;
        return bOk;
      }
      case 9: {
        const std::string strAllocation = PickFrom(m_setEips);
        strWhat = "BindEIPToInstance " + strAllocation;
        const bool bOk = m_facade.BindEIPToInstance(strAllocation, INSTANCE);
        if (bOk && !InWorld("EipAddresses", strAllocation, "InstanceId", INSTANCE)) Violation("EIP [%s] reported bound, is not", strAllocation.c_str());
        return bOk;
      }
      case 10: {
        const std::string strAllocation = Chance(0.3) ? "eip-acwdemo0000000001" : PickFrom(m_setEips);
        strWhat = "GetElasticIPAddress " + strAllocation;
        SElasticIPAddress sAddress;
        const bool bOk = m_facade.GetElasticIPAddress(REGION, strAllocation, sAddress);
        if (bOk && sAddress.strAllocationId != strAllocation) Violation("EIP lookup %s answered [%s]", strAllocation.c_str(), sAddress.strAllocationId.c_str());
        return bOk;
      }
      default: {
        strWhat = "GetLocalInstanceId";
        std::string strId;
        m_facade.GetLocalInstanceId(strId);
        if (strId != INSTANCE) Violation("metadata id [%s]", strId.c_str());
        return true;
      }
    }
  }

  // Resources nobody was told about, and tokens that made two.
  void CheckWorld() {
    uint64_t nUnknown = 0;
    m_emulator.WithWorld([&](AcwEmulator::World& world) {
      const std::pair<const char*, const std::set<std::string>*> collections[] = {
          {"Snapshots", &m_setSnapshots}, {"Disks", &m_setDisks}, {"EipAddresses", &m_setEips}};
      for (const auto& [pszCollection, pKnown] : collections) {
        const std::string strIdMember = AcwEmulator::World::Collection(pszCollection).idMember;
        std::map<std::string, int> mapTokens;
        for (const json::object& item : world.Items(pszCollection)) {
          const std::string strId = Str(item, strIdMember.c_str());
          if (!m_setSeeded.count(strId) && !pKnown->count(strId)) ++nUnknown;
          const std::string strToken = Str(item, "_ClientToken");
          if (!strToken.empty() && ++mapTokens[strToken] > 1) Violation("token [%s] made two %s", strToken.c_str(), pszCollection);
        }
        for (const std::string& strId : *pKnown) {
          if (world.Find(pszCollection, strId) == nullptr) Violation("%s [%s] vanished", pszCollection, strId.c_str());
        }
      }
    });
    if (nUnknown > m_counts.nLostAnswerCreations) {
      Violation("%llu resources nobody was told about, only %llu creations lost their answer",
                static_cast<unsigned long long>(nUnknown), static_cast<unsigned long long>(m_counts.nLostAnswerCreations));
    }
    m_nUnknown = nUnknown;
  }

  void Report() const {
    std::printf("chaos_soak: %llu operations (%llu succeeded, %llu failed), %llu faults injected (",
                static_cast<unsigned long long>(m_counts.nOperations), static_cast<unsigned long long>(m_counts.nSucceeded),
                static_cast<unsigned long long>(m_counts.nFailed), static_cast<unsigned long long>(m_counts.nFaults));
    for (int i = 0; i < 7; ++i) {
      std::printf("%s%s %llu", i ? ", " : "", FAULT_NAMES[i], static_cast<unsigned long long>(m_counts.anFaultsByKind[i]));
    }
    std::printf("), %llu unreported resources from %llu creations whose answer was lost, slowest operation %.2f s, "
                "%llu violations\n",
                static_cast<unsigned long long>(m_nUnknown), static_cast<unsigned long long>(m_counts.nLostAnswerCreations),
                m_counts.dSlowestSeconds, static_cast<unsigned long long>(m_counts.nViolations));
  }

  AcwEmulator::Emulator m_emulator;
  std::vector<std::unique_ptr<ScopedSetting>> m_vecSettings;
  ScopedSleepRecorder m_sleeps;
  ScopedLogCapture m_log{0};
  CAliCloudWrapper m_facade;
  std::mt19937 m_rng;
  bool m_bVerbose;
  SCounts m_counts;
  uint64_t m_nUnknown = 0;
  std::set<std::string> m_setSeeded, m_setSnapshots, m_setDisks, m_setEips;
};

}  // namespace
}  // namespace AliCloudWrapper

int main(int argc, char** argv) {
  uint64_t nOperations = 300;
  uint32_t nSeed = 1;
  int nMaxSeconds = 3600;
  bool bVerbose = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--operations") == 0 && i + 1 < argc) {
      nOperations = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      nSeed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--max-seconds") == 0 && i + 1 < argc) {
      nMaxSeconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--verbose") == 0) {
      bVerbose = true;
    } else {
      std::fprintf(stderr, "usage: chaos_soak [--operations N] [--seed S] [--max-seconds T] [--verbose]\n");
      return 2;
    }
  }
  AliCloudWrapper::CSoak soak(nSeed, bVerbose);
  return soak.Run(nOperations, nMaxSeconds) ? 0 : 1;
}
