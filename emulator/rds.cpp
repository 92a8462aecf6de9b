// Database actions.
#include <acw_emulator/Actions.h>

#include <boost/json.hpp>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

// One entry per (region, zone) pair, so a region id repeats once for each of its zones. The
// database service answers in English unless asked for "zh-CN".
json::object DescribeRegions(ActionContext& ctx) {
    const bool chinese = ctx.Get("AcceptLanguage", "en-US") == "zh-CN";
    const char* nameMember = chinese ? "LocalName" : "_LocalNameEn";
    json::array entries;
    for (const auto& region : ctx.world.Items("Regions")) {
        const auto* zones = region.if_contains("Zones");
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
    return json::object{{"Regions", json::object{{"RDSRegion", std::move(entries)}}}};
}

}  // namespace

void RegisterRdsActions(ActionTable& table) { table.Add(Product::Rds, "DescribeRegions", DescribeRegions); }

}  // namespace AcwEmulator
