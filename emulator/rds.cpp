// Database actions: DescribeRegions, DescribeDBInstances, DescribeDBInstanceAttribute.
//
// Database instances live in the world's "DBInstances" collection in the shape of a
// DescribeDBInstances item. Internal members: "_Port" (text; default by engine: MySQL and
// MariaDB "3306", PostgreSQL "5432", SQLServer "1433") and "_DBInstanceStorage" (GB, default
// 100), both answered only by DescribeDBInstanceAttribute. A region lists its database-only
// zones (multi-zone ids such as "cn-hangzhou-MAZ10(h,i)") in "_RdsZones" beside "Zones", and its
// database host in "_RdsEndpoint".
//
// Where the service's documentation is silent, the emulator chooses (all answers HTTP 400):
//  - DescribeDBInstances without "RegionId": MissingParameter, the service's common answer for
//    a missing mandatory parameter.
//  - DescribeDBInstances for a region the world does not hold: Forbidden.RegionNotFound "The
//    provided RegionId does not exist in our record.", as rds.aliyuncs.com answers in the wild.
//  - An "Engine" other than MySQL, SQLServer, PostgreSQL or MariaDB (spelt exactly so):
//    InvalidEngine.Malformed "Specified engine is not valid.", the code of every database
//    action whose documentation lists an engine check.
//  - DescribeDBInstanceAttribute has no "RegionId" parameter (the API metadata lists none, the
//    SDKs send one anyway): a "RegionId" sent is ignored and the instance is found whatever its
//    region, as users of the real service report.
//  - Every host of the service (rds.aliyuncs.com and rds.<region>.aliyuncs.com) answers for
//    every region: public clients reach other regions through the central host and nothing
//    documents a refusal.
#include <acw_emulator/Actions.h>

#include <boost/json.hpp>

#include <string>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

constexpr PageRules kDbInstancePaging = kRdsPaging;  // PageSize 1..100, default 30

// One entry per (region, zone) pair, so a region id repeats once for each of its zones, the
// database-only multi-zone ids included. The database service answers in English unless asked
// for "zh-CN".
json::object DescribeRegions(ActionContext& ctx) {
    const bool chinese = ctx.Get("AcceptLanguage", "en-US") == "zh-CN";
    const char* nameMember = chinese ? "LocalName" : "_LocalNameEn";
    json::array entries;
    for (const auto& region : ctx.world.Items("Regions")) {
        for (const char* zonesMember : {"Zones", "_RdsZones"}) {
            const auto* zones = region.if_contains(zonesMember);
            if (zones == nullptr || !zones->is_array()) continue;
            for (const auto& zone : zones->as_array()) {
                if (!zone.is_object()) continue;
                entries.push_back(json::object{
                    {"RegionId", Str(region, "RegionId")},
                    {"ZoneId", Str(zone.as_object(), "ZoneId")},
                    {"ZoneName", Str(zone.as_object(), nameMember)},
                    {"LocalName", Str(region, nameMember)},
                    {"RegionEndpoint", Str(region, "_RdsEndpoint")},
                });
            }
        }
    }
    return json::object{{"Regions", json::object{{"RDSRegion", std::move(entries)}}}};
}

std::string RequireKnownEngine(const ActionContext& ctx) {
    std::string engine = ctx.Get("Engine", "");
    if (!engine.empty() && engine != "MySQL" && engine != "SQLServer" && engine != "PostgreSQL" &&
        engine != "MariaDB") {
        Fail(400, "InvalidEngine.Malformed", "Specified engine is not valid.");
    }
    return engine;
}

json::object DescribeDBInstances(ActionContext& ctx) {
    const std::string region = Str(ctx.RequireKnownRegion(), "RegionId");
    const std::string engine = RequireKnownEngine(ctx);
    const auto ids = ctx.CommaList("DBInstanceId", 100);
    auto instances = ctx.world.Select("DBInstances", [&](const json::object& db) {
        return Str(db, "RegionId") == region && (engine.empty() || Str(db, "Engine") == engine) &&
               ctx.Matches(db, "ZoneId") && ctx.Matches(db, "DBInstanceStatus") && InList(ids, db, "DBInstanceId");
    });
    json::object out;
    AddPagedList(ctx, out, instances, {"Items", "DBInstance"}, kDbInstancePaging);
    return out;
}

std::string DefaultPort(const std::string& engine) {
    if (engine == "PostgreSQL") return "5432";
    if (engine == "SQLServer") return "1433";
    return "3306";
}

// The attribute record of a stored instance: the members the listing shares with it, plus
// those only this action answers, in the service's JSON types ("Port" is text).
json::object AttributeOf(const json::object& db) {
    json::object out;
    for (const char* member :
         {"DBInstanceId", "DBInstanceDescription", "ConnectionString", "Engine", "EngineVersion", "ZoneId", "RegionId",
          "DBInstanceStatus", "DBInstanceClass", "DBInstanceType", "DBInstanceNetType", "InstanceNetworkType", "VpcId",
          "VSwitchId", "PayType", "ExpireTime", "LockMode", "LockReason", "Category", "DBInstanceStorageType",
          "ResourceGroupId", "DBInstanceCPU", "DBInstanceMemory", "InsId", "DeletionProtection",
          "ReadOnlyDBInstanceIds"}) {
        if (const auto* value = db.if_contains(member)) out[member] = *value;
    }
    const auto* port = db.if_contains("_Port");
    out["Port"] = port != nullptr && port->is_string() ? std::string(port->as_string()) : DefaultPort(Str(db, "Engine"));
    const auto* storage = db.if_contains("_DBInstanceStorage");
    out["DBInstanceStorage"] = storage != nullptr && storage->is_int64() ? storage->as_int64() : 100;
    out["CreationTime"] = Str(db, "CreateTime");
    out["MasterZone"] = Str(db, "ZoneId");
    out["SlaveZones"] = json::object{{"SlaveZone", json::array()}};
    out["MaintainTime"] = "18:00Z-22:00Z";
    out["SecurityIPList"] = "127.0.0.1";
    out["AvailabilityValue"] = "100.0%";
    out["MaxConnections"] = 2000;
    out["MaxIOPS"] = 10000;
    out["AccountMaxQuantity"] = 500;
    out["DBMaxQuantity"] = 500;
    out["CanTempUpgrade"] = false;
    return out;
}

// Not paged: the answer has no total and no paging members.
json::object DescribeDBInstanceAttribute(ActionContext& ctx) {
    const std::string id = ctx.Required("DBInstanceId");
    const json::object* db = ctx.world.Find("DBInstances", id);
    if (db == nullptr) Fail(400, "InvalidDBInstanceId.NotFound", "The DBInstanceId provided does not exist in records.");
    return json::object{{"Items", json::object{{"DBInstanceAttribute", json::array{AttributeOf(*db)}}}}};
}

}  // namespace

void RegisterRdsActions(ActionTable& table) {
    table.Add(Product::Rds, "DescribeRegions", DescribeRegions);
    table.Add(Product::Rds, "DescribeDBInstances", DescribeDBInstances, RegionScoped(Product::Rds));
    table.Add(Product::Rds, "DescribeDBInstanceAttribute", DescribeDBInstanceAttribute);
}

}  // namespace AcwEmulator
