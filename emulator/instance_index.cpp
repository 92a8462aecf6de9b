// The instance listing's index: positions of the instances by region and by region and zone, so
// a DescribeInstances page of a large world reads its region's instances instead of scanning all
// of them. Rebuilt lazily, in one pass, when the instances changed since it was built.
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

std::string_view StringMember(const json::object& item, std::string_view member) {
    const auto* value = item.if_contains(member);
    return value != nullptr && value->is_string() ? std::string_view(value->get_string()) : std::string_view();
}

void AddAt(std::map<std::string, std::vector<size_t>, std::less<>>& byPlace, std::string_view key, size_t position) {
    auto it = byPlace.find(key);
    if (it == byPlace.end()) it = byPlace.emplace(std::string(key), std::vector<size_t>()).first;
    it->second.push_back(position);
}

std::string PlaceKey(std::string_view region, std::string_view zone) {
    std::string key(region);
    if (!zone.empty()) key.append(1, '\n').append(zone);
    return key;
}

}  // namespace

const std::vector<size_t>& World::InstancesIn(std::string_view wantedRegion, std::string_view wantedZone) const {
    const auto& instances = Items("Instances");
    InstanceIndex& index = m_instanceIndex;
    // Seeding may append through Items() without Put, so a different count also means stale.
    if (!index.built || index.builtAtChange != m_instanceChanges || index.builtForCount != instances.size()) {
        index.byPlace.clear();
        for (size_t n = 0; n < instances.size(); ++n) {
            const std::string_view region = StringMember(instances[n], "RegionId");
            const std::string_view zone = StringMember(instances[n], "ZoneId");
            AddAt(index.byPlace, region, n);
            if (!zone.empty()) AddAt(index.byPlace, PlaceKey(region, zone), n);
        }
        index.builtAtChange = m_instanceChanges;
        index.builtForCount = instances.size();
        index.built = true;
    }
    static const std::vector<size_t> kNone;
    const auto it = index.byPlace.find(PlaceKey(wantedRegion, wantedZone));
    return it == index.byPlace.end() ? kNone : it->second;
}

}  // namespace AcwEmulator
