#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace AcwEmulator {
namespace json = boost::json;

// The instance type catalogue's defaults live with its actions (ecs_inventory.cpp).
json::object InstanceTypeDefaults();

namespace {

// Creation times of the demo world: fixed, so answers do not depend on when the emulator ran.
constexpr const char* kSeedTimeMinutes = "2024-01-15T08:00Z";
constexpr const char* kSeedTimeSeconds = "2024-01-15T08:00:00Z";

json::object Tags() { return json::object{{"Tag", json::array()}}; }

json::object InstanceDefaults() {
    return json::object{
        {"InstanceId", ""}, {"InstanceName", ""}, {"Description", ""}, {"HostName", ""}, {"ImageId", ""},
        {"InstanceType", "ecs.g6.large"}, {"InstanceTypeFamily", "ecs.g6"}, {"RegionId", ""}, {"ZoneId", ""},
        {"Status", "Stopped"}, {"InstanceNetworkType", "vpc"}, {"InstanceChargeType", "PostPaid"},
        {"InternetChargeType", "PayByTraffic"}, {"CreationTime", kSeedTimeMinutes}, {"StartTime", ""},
        {"ExpiredTime", "2099-12-31T15:59Z"}, {"AutoReleaseTime", ""}, {"StoppedMode", "Not-applicable"},
        {"OSType", "linux"}, {"OSName", ""}, {"OSNameEn", ""}, {"SerialNumber", ""}, {"SpotStrategy", "NoSpot"},
        {"SaleCycle", ""}, {"KeyPairName", ""}, {"ResourceGroupId", ""}, {"VlanId", ""}, {"ClusterId", ""},
        {"DeploymentSetId", ""}, {"HpcClusterId", ""}, {"GPUSpec", ""}, {"CreditSpecification", ""},
        {"SpotInterruptionBehavior", "Terminate"}, {"ISP", ""}, {"SpotDuration", 0}, {"DeploymentSetGroupNo", 0},
        {"DedicatedHostAttribute",
         json::object{{"DedicatedHostId", ""}, {"DedicatedHostName", ""}, {"DedicatedHostClusterId", ""}}},
        {"EcsCapacityReservationAttr",
         json::object{{"CapacityReservationId", ""}, {"CapacityReservationPreference", ""}}},
        {"CpuOptions", json::object{{"CoreCount", 1}, {"ThreadsPerCore", 2}, {"Numa", ""}}},
        {"Cpu", 2}, {"Memory", 8192}, {"GPUAmount", 0}, {"InternetMaxBandwidthIn", -1},
        {"InternetMaxBandwidthOut", 0}, {"LocalStorageAmount", 0}, {"LocalStorageCapacity", 0},
        {"SpotPriceLimit", 0.0}, {"IoOptimized", true}, {"DeviceAvailable", true}, {"Recyclable", false},
        {"DeletionProtection", false},
        {"VpcAttributes",
         json::object{{"VpcId", ""}, {"VSwitchId", ""}, {"NatIpAddress", ""},
                      {"PrivateIpAddress", json::object{{"IpAddress", json::array()}}}}},
        {"EipAddress", json::object{{"AllocationId", ""}, {"IpAddress", ""}, {"InternetChargeType", ""}}},
        {"PublicIpAddress", json::object{{"IpAddress", json::array()}}},
        {"InnerIpAddress", json::object{{"IpAddress", json::array()}}},
        {"RdmaIpAddress", json::object{{"IpAddress", json::array()}}},
        {"SecurityGroupIds", json::object{{"SecurityGroupId", json::array()}}},
        {"OperationLocks", json::object{{"LockReason", json::array()}}},
        {"NetworkInterfaces", json::object{{"NetworkInterface", json::array()}}},
        {"MetadataOptions",
         json::object{{"HttpEndpoint", "enabled"}, {"HttpTokens", "optional"}, {"HttpPutResponseHopLimit", 1}}},
        {"HibernationOptions", json::object{{"Configured", false}}},
        {"Tags", Tags()}};
}

json::object DiskDefaults() {
    return json::object{
        {"DiskId", ""}, {"DiskName", ""}, {"Description", ""}, {"RegionId", ""}, {"ZoneId", ""}, {"InstanceId", ""},
        {"Device", ""}, {"ImageId", ""}, {"SourceSnapshotId", ""}, {"SerialNumber", ""}, {"ResourceGroupId", ""},
        {"KMSKeyId", ""}, {"PerformanceLevel", ""}, {"DiskChargeType", "PostPaid"}, {"MultiAttach", "Disabled"},
        {"AutoSnapshotPolicyId", ""}, {"ProductCode", ""}, {"Type", "data"}, {"Category", "cloud_essd"},
        {"Status", "Available"}, {"Size", 40}, {"IOPS", 0}, {"IOPSRead", 0}, {"IOPSWrite", 0},
        {"MountInstanceNum", 0}, {"StorageSetPartitionNumber", 0}, {"Throughput", 0}, {"ProvisionedIops", 0}, {"Encrypted", false}, {"DeleteWithInstance", false},
        {"DeleteAutoSnapshot", false}, {"Portable", true}, {"EnableAutoSnapshot", false},
        {"EnableAutomatedSnapshotPolicy", false}, {"BurstingEnabled", false}, {"CreationTime", kSeedTimeSeconds},
        {"AttachedTime", ""}, {"DetachedTime", ""}, {"ExpiredTime", "2999-09-08T16:00Z"},
        {"OperationLocks", json::object{{"OperationLock", json::array()}}},
        {"Attachments", json::object{{"Attachment", json::array()}}},
        {"MountInstances", json::object{{"MountInstance", json::array()}}}, {"Tags", Tags()}};
}

json::object SnapshotDefaults() {
    return json::object{
        {"SnapshotId", ""}, {"SnapshotName", ""}, {"Description", ""}, {"SourceDiskId", ""},
        {"SourceDiskType", "data"}, {"RegionId", ""}, {"ResourceGroupId", ""}, {"Category", "standard"},
        {"SnapshotType", "user"}, {"Usage", "none"}, {"KMSKeyId", ""}, {"SnapshotSN", ""}, {"ProductCode", ""},
        {"SourceStorageType", "disk"}, {"Progress", "100%"}, {"Status", "accomplished"}, {"SourceDiskSize", "40"},
        {"RemainTime", 0}, {"RetentionDays", 0}, {"Encrypted", false}, {"InstantAccess", false}, {"Available", true},
        {"CreationTime", kSeedTimeSeconds}, {"LastModifiedTime", kSeedTimeSeconds}, {"Tags", Tags()}};
}

// Images carry their region in the internal "_RegionId": DescribeImages reports the region once
// at the top, not per image.
json::object ImageDefaults() {
    return json::object{
        {"ImageId", ""}, {"ImageName", ""}, {"Description", ""}, {"Architecture", "x86_64"},
        {"Platform", "Others Linux"}, {"OSType", "linux"}, {"OSName", ""}, {"OSNameEn", ""}, {"Status", "Available"},
        {"ImageOwnerAlias", "self"}, {"ImageVersion", ""}, {"ImageFamily", ""}, {"Usage", "none"},
        {"BootMode", "BIOS"}, {"ProductCode", ""}, {"ResourceGroupId", ""}, {"IsSelfShared", ""},
        {"Progress", "100%"}, {"Size", 40}, {"CreationTime", kSeedTimeSeconds}, {"IsSupportIoOptimized", true},
        {"IsSupportCloudinit", true}, {"IsCopied", false}, {"IsSubscribed", false}, {"IsPublic", false},
        {"LoginAsNonRootSupported", false}, {"ImageOwnerId", 0},
        {"DiskDeviceMappings", json::object{{"DiskDeviceMapping", json::array()}}}, {"Tags", Tags()},
        {"_RegionId", ""}};
}

json::object SecurityGroupDefaults() {
    return json::object{
        {"SecurityGroupId", ""}, {"SecurityGroupName", ""}, {"Description", ""}, {"SecurityGroupType", "normal"},
        {"VpcId", ""}, {"CreationTime", kSeedTimeSeconds}, {"ResourceGroupId", ""}, {"EcsCount", 0},
        {"AvailableInstanceAmount", 2000}, {"RuleCount", 0}, {"GroupToGroupRuleCount", 0},
        {"ServiceManaged", false}, {"Tags", Tags()}, {"_RegionId", ""}};
}

json::object VpcDefaults() {
    return json::object{
        {"VpcId", ""}, {"RegionId", ""}, {"VpcName", ""}, {"Description", ""}, {"CidrBlock", "172.16.0.0/12"},
        {"Status", "Available"}, {"CreationTime", kSeedTimeSeconds}, {"VRouterId", ""}, {"ResourceGroupId", ""},
        {"Ipv6CidrBlock", ""}, {"DhcpOptionsSetId", ""}, {"NetworkAclNum", "0"}, {"IsDefault", false},
        {"EnabledIpv6", false}, {"OwnerId", 0},
        {"VSwitchIds", json::object{{"VSwitchId", json::array()}}},
        {"SecondaryCidrBlocks", json::object{{"SecondaryCidrBlock", json::array()}}},
        {"UserCidrs", json::object{{"UserCidr", json::array()}}}, {"Tags", Tags()}};
}

json::object VSwitchDefaults() {
    return json::object{
        {"VSwitchId", ""}, {"VpcId", ""}, {"ZoneId", ""}, {"VSwitchName", ""}, {"Description", ""},
        {"CidrBlock", "172.16.0.0/24"}, {"Status", "Available"}, {"CreationTime", kSeedTimeSeconds},
        {"ResourceGroupId", ""}, {"NetworkAclId", ""}, {"Ipv6CidrBlock", ""}, {"ShareType", "Sharing"},
        {"IsDefault", false}, {"EnabledIpv6", false}, {"AvailableIpAddressCount", 252}, {"OwnerId", 0},
        {"RouteTable", json::object{{"RouteTableId", ""}, {"RouteTableType", "System"}}}, {"Tags", Tags()},
        {"_RegionId", ""}};
}

json::object EipDefaults() {
    return json::object{
        {"AllocationId", ""}, {"IpAddress", ""}, {"RegionId", ""}, {"InstanceId", ""}, {"InstanceType", ""},
        {"InstanceRegionId", ""}, {"Status", "Available"}, {"InternetChargeType", "PayByBandwidth"},
        {"ChargeType", "PostPaid"}, {"AllocationTime", kSeedTimeSeconds}, {"ExpiredTime", ""}, {"Name", ""},
        {"Description", ""}, {"ISP", "BGP"}, {"Netmode", "public"}, {"Mode", "NAT"}, {"BusinessStatus", "Normal"},
        {"BandwidthPackageId", ""}, {"BandwidthPackageType", ""}, {"ResourceGroupId", ""},
        {"PrivateIpAddress", ""}, {"VpcId", ""}, {"SegmentInstanceId", ""}, {"HDMonitorStatus", "OFF"},
        {"HasReservationData", "false"}, {"Bandwidth", "5"}, {"EipBandwidth", "5"},
        {"BandwidthPackageBandwidth", ""}, {"ReservationBandwidth", ""}, {"DeletionProtection", false},
        {"SecondLimited", false}, {"ServiceManaged", 0},
        {"OperationLocks", json::object{{"LockReason", json::array()}}},
        {"SecurityProtectionTypes", json::object{{"SecurityProtectionType", json::array()}}},
        {"AvailableRegions", json::object{{"AvailableRegion", json::array()}}}, {"Tags", Tags()}};
}

json::object DbInstanceDefaults() {
    return json::object{
        {"DBInstanceId", ""}, {"DBInstanceDescription", ""}, {"Engine", "MySQL"}, {"EngineVersion", "8.0"},
        {"RegionId", ""}, {"ZoneId", ""}, {"DBInstanceStatus", "Running"}, {"DBInstanceType", "Primary"},
        {"DBInstanceClass", "mysql.n2.medium.1"}, {"DBInstanceNetType", "Intranet"},
        {"InstanceNetworkType", "VPC"}, {"VpcId", ""}, {"VSwitchId", ""}, {"ConnectionMode", "Standard"},
        {"ConnectionString", ""}, {"PayType", "Postpaid"}, {"CreateTime", kSeedTimeSeconds}, {"ExpireTime", ""},
        {"LockMode", "Unlock"}, {"LockReason", ""}, {"Category", "HighAvailability"}, {"ResourceGroupId", ""},
        {"MasterInstanceId", ""}, {"DBInstanceCPU", "2"}, {"DBInstanceStorageType", "cloud_essd"},
        {"DBInstanceMemory", 4096}, {"InsId", 1}, {"TipsLevel", 0}, {"SwitchWeight", 100},
        {"DeletionProtection", false}, {"MutriORsignle", false}, {"BurstingEnabled", false},
        {"AutoRenewal", false}, {"ReadOnlyDBInstanceIds", json::object{{"ReadOnlyDBInstanceId", json::array()}}}};
}

// Regions carry their zones and the hosts of each product; "_" members are internal.
json::object RegionDefaults() {
    return json::object{{"RegionId", ""},          {"LocalName", ""},      {"_LocalNameEn", ""},
                        {"RegionEndpoint", ""},    {"Status", "available"}, {"_VpcEndpoint", "vpc.aliyuncs.com"},
                        {"_RdsEndpoint", "rds.aliyuncs.com"}, {"Zones", json::array()}};
}

void DeepMerge(json::object& base, const json::object& over) {
    for (const auto& [key, value] : over) {
        auto it = base.find(key);
        if (it != base.end() && it->value().is_object() && value.is_object()) {
            DeepMerge(it->value().as_object(), value.as_object());
        } else {
            base[key] = value;
        }
    }
}

json::value StripInternal(const json::value& value, const json::storage_ptr& storage) {
    if (value.is_object()) return World::Public(value.as_object(), storage);
    if (value.is_array()) {
        json::array out(storage);
        out.reserve(value.as_array().size());
        for (const auto& v : value.as_array()) out.push_back(StripInternal(v, storage));
        return out;
    }
    return json::value(value, storage);
}

std::string ItemId(const json::object& item, const std::string& idMember) {
    const auto* v = item.if_contains(idMember);
    return v && v->is_string() ? std::string(v->as_string()) : std::string();
}

}  // namespace

const std::vector<CollectionInfo>& World::Collections() {
    static const std::vector<CollectionInfo> collections = {
        {"Regions", "RegionId", "", RegionDefaults},
        {"Instances", "InstanceId", "i", InstanceDefaults},
        {"Disks", "DiskId", "d", DiskDefaults},
        {"Snapshots", "SnapshotId", "s", SnapshotDefaults},
        {"Images", "ImageId", "m", ImageDefaults},
        {"SecurityGroups", "SecurityGroupId", "sg", SecurityGroupDefaults},
        {"Vpcs", "VpcId", "vpc", VpcDefaults},
        {"VSwitches", "VSwitchId", "vsw", VSwitchDefaults},
        {"EipAddresses", "AllocationId", "eip", EipDefaults},
        {"DBInstances", "DBInstanceId", "rm", DbInstanceDefaults},
        {"InstanceTypes", "InstanceTypeId", "", InstanceTypeDefaults},
    };
    return collections;
}

const CollectionInfo& World::Collection(std::string_view name) {
    for (const auto& c : Collections()) {
        if (c.name == name) return c;
    }
    throw std::invalid_argument("unknown collection \"" + std::string(name) + "\"");
}

World::World() {
    for (const auto& c : Collections()) m_items[c.name];
}

std::vector<json::object>& World::Items(std::string_view collection) {
    (void)Collection(collection);
    return m_items.find(collection)->second;
}

const std::vector<json::object>& World::Items(std::string_view collection) const {
    (void)Collection(collection);
    return m_items.find(collection)->second;
}

json::object* World::Find(std::string_view collection, std::string_view id) {
    const auto& idMember = Collection(collection).idMember;
    for (auto& item : Items(collection)) {
        if (ItemId(item, idMember) == id) return &item;
    }
    return nullptr;
}

json::object& World::Put(std::string_view collection, json::object item) {
    const CollectionInfo& info = Collection(collection);
    json::object merged = info.defaults();
    DeepMerge(merged, item);
    if (info.name == "Instances") ++m_instanceChanges;
    std::string id = ItemId(merged, info.idMember);
    if (id.empty()) {
        if (info.idPrefix.empty()) throw std::invalid_argument(info.name + " items need their " + info.idMember);
        id = NewId(info.idPrefix);
        merged[info.idMember] = id;
    }
    if (json::object* existing = Find(collection, id)) {
        *existing = std::move(merged);
        return *existing;
    }
    auto& items = Items(collection);
    items.push_back(std::move(merged));
    return items.back();
}

bool World::Remove(std::string_view collection, std::string_view id) {
    const auto& idMember = Collection(collection).idMember;
    auto& items = Items(collection);
    const auto it = std::find_if(items.begin(), items.end(),
                                 [&](const json::object& item) { return ItemId(item, idMember) == id; });
    if (it == items.end()) return false;
    items.erase(it);
    if (collection == "Instances") ++m_instanceChanges;
    return true;
}

std::vector<json::object> World::Select(std::string_view collection,
                                        const std::function<bool(const json::object&)>& keep) const {
    std::vector<json::object> out;
    for (const auto& item : Items(collection)) {
        if (keep(item)) out.push_back(item);
    }
    return out;
}

std::string World::NewId(std::string_view prefix) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string digits(16, '0');
    uint64_t n = m_nextId++;
    for (size_t i = digits.size(); i-- > 0 && n > 0; n /= 36) digits[i] = kDigits[n % 36];
    return std::string(prefix) + "-acw" + digits;
}

std::string World::NewRequestId() {
    const uint64_t n = m_nextRequestId++;
    char text[40];
    std::snprintf(text, sizeof text, "AC0E0000-0000-4000-8000-%012llX", static_cast<unsigned long long>(n));
    return text;
}

void World::Schedule(std::string_view collection, std::string_view id, std::string_view member, json::value value,
                     uint64_t afterRequests) {
    m_pending.push_back(PendingChange{std::string(collection), std::string(id), std::string(member), std::move(value),
                                      m_requests + afterRequests});
}

void World::OnRequest() {
    ++m_requests;
    // Apply due changes in the order they were scheduled; later ones may overwrite earlier ones.
    auto due = [this](const PendingChange& c) { return c.dueAtRequest <= m_requests; };
    for (const auto& change : m_pending) {
        if (!due(change)) continue;
        if (json::object* item = Find(change.collection, change.id)) (*item)[change.member] = change.value;
    }
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), due), m_pending.end());
}

json::object World::Public(const json::object& item, json::storage_ptr storage) {
    json::object out(storage);
    out.reserve(item.size());
    for (const auto& [key, value] : item) {
        // Keys of a stored item are unique already: emplace adds without a second lookup.
        if (!key.empty() && key.front() != '_') out.emplace(key, StripInternal(value, storage));
    }
    return out;
}

json::object World::Dump() const {
    json::object out;
    for (const auto& c : Collections()) {
        json::array items;
        for (const auto& item : Items(c.name)) items.push_back(item);
        out[c.name] = std::move(items);
    }
    return out;
}

void World::Seed(const json::value& seed) {
    if (!seed.is_object()) throw std::invalid_argument("a seed is a JSON object of collections");
    // Check everything before changing anything, so a bad seed leaves the world as it was.
    for (const auto& [name, items] : seed.as_object()) {
        const CollectionInfo& info = Collection(name);
        if (!items.is_array()) throw std::invalid_argument("collection \"" + info.name + "\" is not an array");
        for (const auto& item : items.as_array()) {
            if (!item.is_object()) throw std::invalid_argument("items of \"" + info.name + "\" are objects");
            if (info.idPrefix.empty() && ItemId(item.as_object(), info.idMember).empty()) {
                throw std::invalid_argument(info.name + " items need their " + info.idMember);
            }
        }
    }
    for (const auto& [name, items] : seed.as_object()) {
        for (const auto& item : items.as_array()) Put(name, item.as_object());
    }
}

}  // namespace AcwEmulator
