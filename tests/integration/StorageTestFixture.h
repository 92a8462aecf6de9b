// Shared set-up of the block-storage integration tests: a compute connection and
// a CAliCloudStorage pointed at the in-process emulator, a region of our own with
// one zone, one running instance and a data disk attached to it.
#pragma once

#include <gtest/gtest.h>

#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <boost/json/value.hpp>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "EmulatorFixture.h"
#include "host/FXThread.h"

namespace AliCloudWrapper {

class StorageTest : public EmulatorFixture {
 protected:
  static constexpr const char* REGION = "cn-acwstorage";
  static constexpr const char* ZONE = "cn-acwstorage-a";
  static constexpr const char* INSTANCE = "i-acwstorage0000000001";
  static constexpr const char* ATTACHED_DISK = "d-acwstorage0000000001";
  // An accomplished snapshot of the attached disk (40 GiB).
  static constexpr const char* READY_SNAPSHOT = "s-acwstorage0000000001";

  void SetUp() override {
    EmulatorFixture::SetUp();
    // Every compute request goes to the global host (the emulator behind it), so
    // the journals hold only the storage actions under test.
    SetSetting("AliCloudRegionEndpoint", "ecs.aliyuncs.com");
    Emulator().Seed(std::string_view(R"({
      "Regions": [{"RegionId": "cn-acwstorage", "LocalName": "ACW storage",
                   "RegionEndpoint": "ecs.aliyuncs.com",
                   "Zones": [{"ZoneId": "cn-acwstorage-a", "LocalName": "ACW storage A"}]}],
      "Instances": [{"InstanceId": "i-acwstorage0000000001", "RegionId": "cn-acwstorage",
                     "ZoneId": "cn-acwstorage-a", "Status": "Running"}],
      "Disks": [{"DiskId": "d-acwstorage0000000001", "RegionId": "cn-acwstorage",
                 "ZoneId": "cn-acwstorage-a", "InstanceId": "i-acwstorage0000000001",
                 "Status": "In_use", "Type": "data", "Category": "cloud_essd", "Size": 40,
                 "DiskName": "data-1"}],
      "Snapshots": [{"SnapshotId": "s-acwstorage0000000001", "RegionId": "cn-acwstorage",
                     "SourceDiskId": "d-acwstorage0000000001", "SourceDiskSize": "40",
                     "Progress": "100%", "Status": "accomplished"}]
    })"));
    m_pConnection = std::make_unique<CAliCloudECSConnection>();
    m_pConnection->SetAccessKeyId(KEY_ID);
    m_pConnection->SetAccessKeySecret(KEY_SECRET);
    m_pStorage = std::make_unique<CAliCloudStorage>(m_pConnection.get(), &m_sParser);
  }

  void TearDown() override {
    m_pStorage.reset();
    m_pConnection.reset();
    EmulatorFixture::TearDown();
  }

  CAliCloudStorage& Storage() { return *m_pStorage; }

  // Sets an integer knob of our region (see the emulator's storage actions).
  void SetRegionKnob(const char* pszName, int64_t nValue) {
    Emulator().WithWorld([&](AcwEmulator::World& world) {
      (*world.Find("Regions", REGION))[pszName] = nValue;
    });
  }

  // A member of a stored resource as text ("" when the resource or member is absent).
  std::string WorldText(const char* pszCollection, const std::string& strId, const char* pszMember) {
    std::string strValue;
    Emulator().WithWorld([&](AcwEmulator::World& world) {
      const boost::json::object* pItem = world.Find(pszCollection, strId);
      if (pItem == nullptr) return;
      const boost::json::value* pValue = pItem->if_contains(pszMember);
      if (pValue != nullptr && pValue->is_string()) strValue = std::string(pValue->as_string());
    });
    return strValue;
  }

  bool WorldHas(const char* pszCollection, const std::string& strId) {
    bool bFound = false;
    Emulator().WithWorld([&](AcwEmulator::World& world) {
      bFound = world.Find(pszCollection, strId) != nullptr;
    });
    return bFound;
  }

  std::unique_ptr<CAliCloudECSConnection> m_pConnection;
  CAliCloudParser m_sParser;
  std::unique_ptr<CAliCloudStorage> m_pStorage;
};

// Runs an action at every pause the library takes (time passing while it waits),
// and still hands the pause to the fixture's recorder.
class ScopedPauseHook {
 public:
  explicit ScopedPauseHook(std::function<void(int nPause)> fnHook) {
    m_previous = FXThread::SetSleeper([this, fnHook](uint64_t nMs) {
      if (m_previous) m_previous(nMs);
      fnHook(++m_nPauses);
    });
  }
  ~ScopedPauseHook() { FXThread::SetSleeper(m_previous); }
  ScopedPauseHook(const ScopedPauseHook&) = delete;
  ScopedPauseHook& operator=(const ScopedPauseHook&) = delete;

 private:
  FXThread::Sleeper m_previous;
  int m_nPauses = 0;
};

}  // namespace AliCloudWrapper
