// Compute actions about regions and zones.
#include <acw_emulator/Actions.h>

#include <boost/json.hpp>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

// The compute service answers in Chinese unless asked otherwise; only Chinese and English names
// are held, so every other language gets the English one.
bool WantsChinese(const ActionContext& ctx) {
    const std::string language = ctx.Get("AcceptLanguage", "zh-CN");
    return language == "zh-CN" || language == "zh_TW" || language == "zh-TW";
}

json::object DescribeRegions(ActionContext& ctx) {
    (void)ctx.Enum("AcceptLanguage", "zh-CN", {"zh-CN", "zh_TW", "zh-TW", "en-US", "ja", "fr", "de", "ko"},
                   "InvalidAcceptLanguage.NotFound", 404);
    const bool chinese = WantsChinese(ctx);
    json::array regions;
    for (const auto& region : ctx.world.Items("Regions")) {
        regions.push_back(json::object{
            {"RegionId", Str(region, "RegionId")},
            {"LocalName", Str(region, chinese ? "LocalName" : "_LocalNameEn")},
            {"RegionEndpoint", Str(region, "RegionEndpoint")},
            {"Status", Str(region, "Status")},
        });
    }
    return json::object{{"Regions", json::object{{"Region", std::move(regions)}}}};
}

}  // namespace

void RegisterEcsRegionActions(ActionTable& table) { table.Add(Product::Ecs, "DescribeRegions", DescribeRegions); }

}  // namespace AcwEmulator
