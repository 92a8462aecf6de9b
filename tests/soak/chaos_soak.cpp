// Chaos soak: thousands of mixed facade operations (inventory, snapshots,
// disks, elastic IPs, instances and images, the metadata id) against the
// emulator, with every fault kind injected at random before them. After each
// operation it checks:
//   - it returned within its bound (no hang);
//   - a success is true in the emulator's world (a failure is never reported
//     as success), and a failure leaves a last error;
//   - the world holds no snapshot, disk, elastic IP, instance or image the
//     caller was not told about (a disk made with a known instance and attached
//     to it is the instance's), and no creation token made two resources.
// Every creation carries a ClientToken, so a lost answer costs nothing: the
// faults that lose an answer after the service did the work come in bursts
// shorter than the attempts the connection makes, and the resend with the same
// token must give the caller the resource already made. An error answer means
// the service did not do the work (as the real service does).
// Usage: chaos_soak [--operations N] [--seed S] [--max-seconds T] [--verbose]
// ctest runs a short soak; run it long by hand (./run soak N).
#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
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
constexpr const char* IMAGE = "m-acwdemo0000000001";
// Attempts x (request time bound + connect) plus the storage waits' resends.
constexpr double MAX_OPERATION_SECONDS = 90.0;
// Attempts of a request that gets no answer; a burst of lost answers is one shorter.
constexpr int ATTEMPTS = 3;

const FaultKind FAULT_KINDS[] = {FaultKind::ErrorResponse,     FaultKind::EmptyErrorBody, FaultKind::NotJson,
                                 FaultKind::CloseBeforeAnswer, FaultKind::CloseMidBody,   FaultKind::Delay,
                                 FaultKind::Stall};
const char* const FAULT_NAMES[] = {"ErrorResponse",     "EmptyErrorBody", "NotJson", "CloseBeforeAnswer",
                                   "CloseMidBody",      "Delay",          "Stall"};
constexpr size_t KIND_COUNT = sizeof(FAULT_KINDS) / sizeof(FAULT_KINDS[0]);

// The collections whose new members must all be known to the caller.
const char* const OWNED[] = {"Snapshots", "Disks", "EipAddresses", "Instances", "Images"};

struct SCounts {
  uint64_t nOperations = 0;
  uint64_t nSucceeded = 0;
  uint64_t nFailed = 0;
  uint64_t nFaults = 0;
  uint64_t anFaultsByKind[KIND_COUNT] = {};
  uint64_t nAnswersLostAfterWork = 0;  // faults that let the service act, then lost its answer
  uint64_t nOrphans = 0;               // most resources nobody was told about, at any check
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
    // Stalls and long delays end at the request bound.
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudRequestTimeOutInSec", 1));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudNumberOfRequestRetries", ATTEMPTS));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudSnapshotNotReadyMaxWaitInSec", 60));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudDetachDiskMaxWaitInSec", 20));
    m_vecSettings.push_back(std::make_unique<ScopedSetting>("nAliCloudDiskInitializingMaxWaitInSec", 60));
    m_emulator.WithWorld([&](AcwEmulator::World& world) {
      for (const char* pszCollection : OWNED) {
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
      CheckWorld();
    }
    m_emulator.ClearFaults();
    CheckWorld();
    Report();
    return m_counts.nViolations == 0;
  }

 private:
#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  void Violation(const char* pszFormat, ...) {
    ++m_counts.nViolations;
    std::printf("VIOLATION after operation %llu: ", static_cast<unsigned long long>(m_counts.nOperations));
    va_list args;
    va_start(args, pszFormat);
    std::vprintf(pszFormat, args);
    va_end(args);
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

  // A known id whose member reads as wanted (bWant: equal to strValue or not),
  // else any known id: operations mostly meet a resource in a state they accept.
  std::string PickWhere(const std::set<std::string>& set, const char* pszCollection, const char* pszMember,
                        const std::string& strValue, bool bWant) {
    std::set<std::string> setFit;
    for (const std::string& strId : set) {
      if ((MemberOf(pszCollection, strId, pszMember) == strValue) == bWant) setFit.insert(strId);
    }
    return PickFrom(setFit.empty() ? set : setFit);
  }

  // A random fault on the next request or two. Error answers leave the world
  // as it was; the faults that lose an answer may do so after the work was done.
  void InjectFault() {
    if (!Chance(0.4)) return;
    size_t nKind = Pick(KIND_COUNT);
    // Stalls cost a whole request bound: keep them rarer than the rest.
    if (FAULT_KINDS[nKind] == FaultKind::Stall && !Chance(0.3)) nKind = 3;
    AcwEmulator::Fault sFault;
    sFault.kind = FAULT_KINDS[nKind];
    sFault.count = 1 + static_cast<int>(Pick(ATTEMPTS - 1));
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
    // A delayed answer is always worked out first; one beyond the request bound is lost.
    const bool bLosesAnswer = sFault.kind == FaultKind::CloseBeforeAnswer || sFault.kind == FaultKind::CloseMidBody ||
                              sFault.kind == FaultKind::Stall;
    sFault.executeAction = bLosesAnswer && Chance(0.5);
    m_emulator.InjectFault(sFault);
    ++m_counts.nFaults;
    ++m_counts.anFaultsByKind[nKind];
    if (sFault.executeAction || sFault.delayMs > 1000) ++m_counts.nAnswersLostAfterWork;
  }

  // The member of a world item ("" when the item is not there), and whether it is there.
  std::string MemberOf(const char* pszCollection, const std::string& strId, const char* pszMember) {
    std::string strValue;
    m_emulator.WithWorld([&](AcwEmulator::World& world) {
      if (const json::object* pItem = world.Find(pszCollection, strId)) strValue = Str(*pItem, pszMember);
    });
    return strValue;
  }
  bool InWorld(const char* pszCollection, const std::string& strId) {
    bool bFound = false;
    m_emulator.WithWorld([&](AcwEmulator::World& world) { bFound = world.Find(pszCollection, strId) != nullptr; });
    return bFound;
  }
  // Forgets a known id the world no longer holds (after a deletion, whatever its outcome).
  void Forget(const char* pszCollection, const std::string& strId, std::set<std::string>& setKnown) {
    if (!InWorld(pszCollection, strId)) setKnown.erase(strId);
  }

  void OneOperation() {
    InjectFault();
    ++m_counts.nOperations;
    const auto start = std::chrono::steady_clock::now();
    std::string strWhat;
    const bool bOk = RandomOperation(strWhat);
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

  // A creation's outcome: a success names a resource of the world, which the caller now knows.
  void Created(bool bOk, const char* pszCollection, const std::string& strId, std::set<std::string>& setKnown) {
    if (!bOk) return;
    if (!InWorld(pszCollection, strId)) Violation("%s [%s] reported made, not in the world", pszCollection, strId.c_str());
    setKnown.insert(strId);
  }
  // A deletion's outcome: a success leaves nothing behind.
  void Deleted(bool bOk, const char* pszCollection, const std::string& strId, std::set<std::string>& setKnown) {
    if (bOk && InWorld(pszCollection, strId)) Violation("%s [%s] reported deleted, still there", pszCollection, strId.c_str());
    Forget(pszCollection, strId, setKnown);
  }
  // A success whose member must now read one of the values given.
  void Reads(bool bOk, const char* pszCollection, const std::string& strId, const char* pszMember,
             std::initializer_list<const char*> values) {
    if (!bOk) return;
    const std::string strValue = MemberOf(pszCollection, strId, pszMember);
    for (const char* pszValue : values) {
      if (strValue == pszValue) return;
    }
    Violation("%s [%s] reported done, its %s is [%s]", pszCollection, strId.c_str(), pszMember, strValue.c_str());
  }

  // The record of a new instance in the seeded network.
  static SVMInfoLib NewInstanceRecord() {
    SVMInfoLib sVM;
    sVM.strRegionId = REGION;
    sVM.strZoneId = ZONE;
    sVM.strInstanceType = "ecs.g6.large";
    sVM.strInstanceName = "soak";
    sVM.sNetworkInfo.strVpcId = "vpc-acwdemo0000000001";
    sVM.sNetworkInfo.strVSwitchId = "vsw-acwdemo0000000001";
    SSecurityGroupInfoLib sGroup;
    sGroup.strSecurityGroupId = "sg-acwdemo0000000001";
    sVM.vecSecurityGroups.push_back(sGroup);
    return sVM;
  }

  // A known snapshot, polled (a bounded few times) until it completes, so that
  // creations from it get past "not ready" and on to the later operations.
  std::string ReadySnapshot() {
    const std::string strSnapshot = PickFrom(m_setSnapshots);
    bool bCompleted = false;
    for (int nPoll = 0; nPoll < 6 && !bCompleted; ++nPoll) {
      if (!m_facade.IsSnapshotCompleted(REGION, strSnapshot, bCompleted)) break;
    }
    return strSnapshot;
  }

  // A known disk, free if one is, looked at (a bounded few times) until it leaves
  // its creation state.
  std::string ReadyDisk() {
    const std::string strDisk = PickWhere(m_setDisks, "Disks", "InstanceId", "", true);
    for (int nLook = 0; nLook < 4 && MemberOf("Disks", strDisk, "Status") == "Creating"; ++nLook) {
      SDiskInfoLib sDisk;
      if (!m_facade.GetDiskInfo(REGION, strDisk, sDisk)) break;
    }
    return strDisk;
  }

  // One operation chosen at random; checks a success against the world.
  bool RandomOperation(std::string& strWhat) {
    switch (Pick(21)) {
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
        Created(bOk, "Snapshots", sSnapshot.strSnapshotId, m_setSnapshots);
        return bOk;
      }
      case 4: {
        const std::string strSnapshot = PickFrom(m_setSnapshots);
        strWhat = "IsSnapshotCompleted " + strSnapshot;
        bool bCompleted = false;
        const bool bOk = m_facade.IsSnapshotCompleted(REGION, strSnapshot, bCompleted);
        if (bCompleted) Reads(bOk, "Snapshots", strSnapshot, "Status", {"accomplished"});
        return bOk;
      }
      case 5: {
        const std::string strSnapshot = PickFrom(m_setSnapshots);
        strWhat = "DeleteSnapshot " + strSnapshot;
        const bool bOk = m_facade.DeleteSnapshot(strSnapshot);
        Deleted(bOk, "Snapshots", strSnapshot, m_setSnapshots);
        return bOk;
      }
      case 6: {
        const std::string strSnapshot = ReadySnapshot();
        strWhat = "CreateDisk from " + strSnapshot;
        SDiskInfoLib sDisk;
        const bool bOk = m_facade.CreateDisk(REGION, ZONE, sDisk, strSnapshot, "soak", "cloud_essd",
                                             0, false, "chaos");
        Created(bOk, "Disks", sDisk.strDiskId, m_setDisks);
        return bOk;
      }
      case 7: {
        const std::string strDisk = PickFrom(m_setDisks);
        strWhat = "DeleteDisk " + strDisk;
        const bool bOk = m_facade.DeleteDisk(strDisk);
        Deleted(bOk, "Disks", strDisk, m_setDisks);
        return bOk;
      }
      case 8: {
        strWhat = "CreateEIPAddress";
        std::string strAllocation;
        const bool bOk = m_facade.CreateEIPAddress(REGION, strAllocation, "5", "PayByTraffic");
        Created(bOk, "EipAddresses", strAllocation, m_setEips);
        return bOk;
      }
      case 9: {
        const std::string strAllocation = PickFrom(m_setEips);
        const std::string strInstance = Chance(0.5) ? INSTANCE : PickFrom(m_setInstances);
        strWhat = "BindEIPToInstance " + strAllocation + " " + strInstance;
        const bool bOk = m_facade.BindEIPToInstance(strAllocation, strInstance);
        if (bOk && MemberOf("EipAddresses", strAllocation, "InstanceId") != strInstance) Violation("EIP [%s] reported bound, is not", strAllocation.c_str());
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
      case 11: {
        const std::string strAllocation = PickFrom(m_setEips);
        strWhat = "ReleaseEIPAddress " + strAllocation;
        const bool bOk = m_facade.ReleaseEIPAddress(strAllocation);
        Deleted(bOk, "EipAddresses", strAllocation, m_setEips);
        return bOk;
      }
      case 12: {
        const std::string strImage = m_setImages.empty() || Chance(0.5) ? IMAGE : PickFrom(m_setImages);
        strWhat = "CreateInstance from " + strImage;
        std::string strInstance;
        const bool bOk = m_facade.CreateInstance(NewInstanceRecord(), strImage, "", strInstance);
        Created(bOk, "Instances", strInstance, m_setInstances);
        return bOk;
      }
      case 13: {
        const std::string strInstance = PickWhere(m_setInstances, "Instances", "Status", "Stopped", true);
        strWhat = "PowerOnInstance " + strInstance;
        const bool bOk = m_facade.PowerOnInstance(strInstance);
        Reads(bOk, "Instances", strInstance, "Status", {"Starting", "Running"});
        return bOk;
      }
      case 14: {
        const std::string strInstance = PickWhere(m_setInstances, "Instances", "Status", "Running", true);
        strWhat = "PowerOffInstance " + strInstance;
        const bool bOk = m_facade.PowerOffInstance(strInstance, Chance(0.5), false, Chance(0.5));
        Reads(bOk, "Instances", strInstance, "Status", {"Stopping", "Stopped"});
        return bOk;
      }
      case 15: {
        const std::string strInstance = PickFrom(m_setInstances);
        strWhat = "DeleteInstance " + strInstance;
        std::vector<std::string> vecAttached;
        for (const std::string& strDisk : m_setDisks) {
          if (MemberOf("Disks", strDisk, "InstanceId") == strInstance) vecAttached.push_back(strDisk);
        }
        const bool bOk = m_facade.DeleteInstance(strInstance);
        Deleted(bOk, "Instances", strInstance, m_setInstances);
        // Disks attached to be deleted with the instance went with it.
        for (const std::string& strDisk : vecAttached) Forget("Disks", strDisk, m_setDisks);
        return bOk;
      }
      case 16: {
        const std::string strInstance = PickFrom(m_setInstances);
        const std::string strDisk = ReadyDisk();
        strWhat = "AttachDisk " + strDisk + " to " + strInstance;
        bool bLimit = false;
        const bool bOk = m_facade.AttachDisk(strInstance, strDisk, bLimit, Chance(0.5));
        if (bOk && MemberOf("Disks", strDisk, "InstanceId") != strInstance) Violation("disk [%s] reported attached, is not", strDisk.c_str());
        return bOk;
      }
      case 17: {
        const std::string strDisk = PickWhere(m_setDisks, "Disks", "InstanceId", "", false);
        const std::string strInstance = MemberOf("Disks", strDisk, "InstanceId");
        strWhat = "DetachDisk " + strDisk + " from " + strInstance;
        const bool bOk = m_facade.DetachDisk(strInstance.empty() ? PickFrom(m_setInstances) : strInstance, strDisk, REGION);
        Reads(bOk, "Disks", strDisk, "InstanceId", {""});
        return bOk;
      }
      case 18: {
        const std::string strSnapshot = ReadySnapshot();
        strWhat = "CreateImageFromDiskSnapshots " + strSnapshot;
        std::string strImage;
        const bool bOk = m_facade.CreateImageFromDiskSnapshots(REGION, strSnapshot, {}, "x86_64", "Debian", strImage,
                                                               "soak-" + std::to_string(m_counts.nOperations), "chaos");
        Created(bOk, "Images", strImage, m_setImages);
        return bOk;
      }
      case 19: {
        const std::string strImage = PickFrom(m_setImages);
        strWhat = "DeleteImage " + strImage;
        const bool bOk = m_facade.DeleteImage(REGION, strImage, Chance(0.5));
        Deleted(bOk, "Images", strImage, m_setImages);
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

  // Resources nobody was told about, tokens that made two, known ones that vanished.
  void CheckWorld() {
    uint64_t nOrphans = 0;
    const std::map<std::string, const std::set<std::string>*> mapKnown = {
        {"Snapshots", &m_setSnapshots}, {"Disks", &m_setDisks}, {"EipAddresses", &m_setEips},
        {"Instances", &m_setInstances}, {"Images", &m_setImages}};
    m_emulator.WithWorld([&](AcwEmulator::World& world) {
      for (const auto& [strCollection, pKnown] : mapKnown) {
        const char* pszCollection = strCollection.c_str();
        const std::string strIdMember = AcwEmulator::World::Collection(pszCollection).idMember;
        std::map<std::string, int> mapTokens;
        for (const json::object& item : world.Items(pszCollection)) {
          const std::string strId = Str(item, strIdMember.c_str());
          // A disk a new instance was made with belongs to it while attached.
          const bool bOwnedByKnown = strCollection == "Disks" && m_setInstances.count(Str(item, "InstanceId")) != 0;
          if (!m_setSeeded.count(strId) && !pKnown->count(strId) && !bOwnedByKnown) {
            ++nOrphans;
            Violation("%s [%s] in the world, the caller was never told of it", pszCollection, strId.c_str());
          }
          const std::string strToken = Str(item, "_ClientToken");
          if (!strToken.empty() && ++mapTokens[strToken] > 1) Violation("token [%s] made two %s", strToken.c_str(), pszCollection);
        }
        for (const std::string& strId : *pKnown) {
          if (world.Find(pszCollection, strId) == nullptr) Violation("%s [%s] vanished", pszCollection, strId.c_str());
        }
      }
    });
    m_counts.nOrphans = std::max(m_counts.nOrphans, nOrphans);
  }

  void Report() const {
    std::printf("chaos_soak: %llu operations (%llu succeeded, %llu failed, each failure reported), %llu faults injected (",
                static_cast<unsigned long long>(m_counts.nOperations), static_cast<unsigned long long>(m_counts.nSucceeded),
                static_cast<unsigned long long>(m_counts.nFailed), static_cast<unsigned long long>(m_counts.nFaults));
    for (size_t i = 0; i < KIND_COUNT; ++i) {
      std::printf("%s%s %llu", i ? ", " : "", FAULT_NAMES[i], static_cast<unsigned long long>(m_counts.anFaultsByKind[i]));
    }
    std::printf("; %llu after the work was done), known at the end: %zu snapshots, %zu disks, %zu EIPs, "
                "%zu instances, %zu images; %llu orphans, slowest operation %.2f s, %llu violations\n",
                static_cast<unsigned long long>(m_counts.nAnswersLostAfterWork), m_setSnapshots.size(), m_setDisks.size(),
                m_setEips.size(), m_setInstances.size(), m_setImages.size(),
                static_cast<unsigned long long>(m_counts.nOrphans), m_counts.dSlowestSeconds,
                static_cast<unsigned long long>(m_counts.nViolations));
  }

  AcwEmulator::Emulator m_emulator;
  std::vector<std::unique_ptr<ScopedSetting>> m_vecSettings;
  ScopedSleepRecorder m_sleeps;
  ScopedLogCapture m_log{0};
  CAliCloudWrapper m_facade;
  std::mt19937 m_rng;
  bool m_bVerbose;
  SCounts m_counts;
  std::set<std::string> m_setSeeded, m_setSnapshots, m_setDisks, m_setEips, m_setInstances, m_setImages;
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
