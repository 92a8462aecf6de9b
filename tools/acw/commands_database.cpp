// Subcommands on managed database instances.
#include "Tool.h"

#include <map>

namespace acw {

namespace {

// The engine names the database service uses, and the library's engine types.
const std::map<std::string, int32_t> ENGINE_TYPES = {{"PostgreSQL", 1}, {"MySQL", 3}, {"MariaDB", 5}};

void AddDatabases(CommandTable& sTable) {
  auto pEngine = std::make_shared<std::string>();
  SCommand& sCommand = sTable.Add("databases", "the database instances of every region");
  sCommand.bNeedsDatabase = true;
  sCommand.pApp
      ->add_option("--engine", *pEngine, "only instances of this engine: PostgreSQL, MySQL or MariaDB")
      ->transform(CLI::IsMember(ENGINE_TYPES, CLI::ignore_case));
  sCommand.fnResource = [pEngine] {
    return pEngine->empty() ? std::string("every region") : "the " + *pEngine + " instances of every region";
  };
  sCommand.fnRun = [pEngine](SContext& sContext) {
    AliCloudWrapper::SDBInstanceFilterLib sFilter;
    if (!pEngine->empty()) {
      sFilter.bIsFilterSet = true;
      sFilter.nEngineType = ENGINE_TYPES.at(*pEngine);
    }
    std::vector<AliCloudWrapper::SDBInstanceInfoLib> vecInstances;
    if (!sContext.sFacade.RefreshDBInstanceInfoList(0, 0, sFilter) ||
        !sContext.sFacade.GetDBInstanceInfoList(vecInstances, 0, 0)) {
      return false;
    }
    std::vector<Record> vecItems;
    for (const auto& sInstance : vecInstances) {
      vecItems.push_back({{"db-instance-id", sInstance.strDBInstanceId},
                          {"engine", sInstance.strEngine},
                          {"version", sInstance.strEngineVersion},
                          {"region", sInstance.strRegionId},
                          {"zone", sInstance.strZoneId},
                          {"endpoint", sInstance.strConnectionString},
                          {"port", std::to_string(sInstance.nPort)}});
    }
    sContext.sOut.List("databases", vecItems);
    return true;
  };
}

}  // namespace

void RegisterDatabaseCommands(CommandTable& sTable) { AddDatabases(sTable); }

}  // namespace acw
