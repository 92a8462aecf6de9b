// The emulator's resource model: every resource is held as a JSON object in the shape the
// service returns it from its Describe* action (same member names, same JSON types), so a
// Describe handler filters and pages the stored objects and an action changes members in place.
// Internal members that the service never returns start with "_" and are stripped by
// World::Public (for example the English local name of a region).
//
// Collections and their id members (see world.cpp for each kind's defaults):
//   Regions (RegionId)  Instances (InstanceId)  Disks (DiskId)  Snapshots (SnapshotId)
//   Images (ImageId)  SecurityGroups (SecurityGroupId)  Vpcs (VpcId)  VSwitches (VSwitchId)
//   EipAddresses (AllocationId)  DBInstances (DBInstanceId)  InstanceTypes (InstanceTypeId)
// A region item carries its zones in "Zones": [{"ZoneId", "LocalName", "_LocalNameEn", ...}].
//
// A World is not locked by itself: the emulator holds its one state mutex around every use
// (action handlers, control calls, Emulator::WithWorld).
#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace AcwEmulator {

struct CollectionInfo {
    std::string name;      // "Instances"
    std::string idMember;  // "InstanceId"
    std::string idPrefix;  // "i": generated ids look like "i-acw...".
    // The members every item of this kind has, in the service's JSON types; seeded and created
    // items start from it and override what they give.
    std::function<boost::json::object()> defaults;
};

class World {
public:
    World();

    // The known collections, in a fixed order.
    [[nodiscard]] static const std::vector<CollectionInfo>& Collections();
    // Throws std::invalid_argument for an unknown collection name.
    [[nodiscard]] static const CollectionInfo& Collection(std::string_view name);

    // Items of a collection, in creation order (which is the listing order of Describe*).
    [[nodiscard]] std::vector<boost::json::object>& Items(std::string_view collection);
    [[nodiscard]] const std::vector<boost::json::object>& Items(std::string_view collection) const;
    // The item with that id, or nullptr.
    [[nodiscard]] boost::json::object* Find(std::string_view collection, std::string_view id);
    // Merges `item` over the kind's defaults; gives it a new id when it has none; replaces an
    // existing item with the same id (keeping its place). Returns the stored item.
    boost::json::object& Put(std::string_view collection, boost::json::object item);
    // Removes the item; false when there was none.
    bool Remove(std::string_view collection, std::string_view id);
    // Items for which `keep` is true, copied, in listing order.
    [[nodiscard]] std::vector<boost::json::object> Select(
        std::string_view collection, const std::function<bool(const boost::json::object&)>& keep) const;
    // Positions in Items("Instances") of the instances of `region`, and of its `zone` when that
    // is not empty, in listing order: what a DescribeInstances page reads without scanning every
    // instance. Built on first use after the instances changed (Put, Remove, or a different
    // count; see instance_index.cpp); valid until the next change. An instance's RegionId and
    // ZoneId change only through Put.
    [[nodiscard]] const std::vector<size_t>& InstancesIn(std::string_view region, std::string_view zone) const;

    // A fresh id: prefix + "-acw" + 16 base-36 digits of a counter, e.g. "i-acw000000000000001f".
    // Deterministic: the same sequence after every Reset.
    [[nodiscard]] std::string NewId(std::string_view prefix);
    // A RequestId in the service's form (upper-case hex UUID), from a counter.
    [[nodiscard]] std::string NewRequestId();

    // Deferred state changes, for the service's asynchronous transitions (Stopped -> Starting ->
    // Running): `member` of the item becomes `value` once `afterRequests` more API requests have
    // arrived. They advance with requests, never with wall time, so tests are deterministic.
    void Schedule(std::string_view collection, std::string_view id, std::string_view member,
                  boost::json::value value, uint64_t afterRequests = 1);
    // Called by the gateway once per API request, before the handler runs.
    void OnRequest();
    [[nodiscard]] uint64_t RequestCount() const { return m_requests; }

    // A copy without the internal "_" members (recursively), for answers.
    // The copy is made in `storage` (the answer's arena when it goes into an answer).
    [[nodiscard]] static boost::json::object Public(const boost::json::object& item,
                                                    boost::json::storage_ptr storage = {});
    // The whole world as JSON (every collection, internal members included).
    [[nodiscard]] boost::json::object Dump() const;
    // Adds or replaces the items of {"<Collection>": [items...]}; see Emulator::Seed.
    void Seed(const boost::json::value& seed);
    // The demo world: three regions with zones and endpoints, and a few resources.
    void SeedDefault();
    // The compute inventory part of the demo world (seed_inventory.cpp): the instance type
    // catalogue, instances with a non-ASCII name and with deprecated or deleted images, and VPCs
    // with VSwitches in two zones and security groups per VPC. Called by SeedDefault.
    void SeedInventory();
    // A large deterministic inventory: `regions` regions (the well-known region ids first, then
    // "acw-large-<n>" served by "ecs-acw-large-<n>.aliyuncs.com"), each with `zonesPerRegion`
    // zones holding `instancesPerZone` running instances, each with a system disk. The same
    // arguments give the same ids and members every time. Throws std::invalid_argument for
    // counts below 1 or a total above 1,000,000 instances.
    void SeedLargeInventory(int regions, int zonesPerRegion, int instancesPerZone);

private:
    struct PendingChange {
        std::string collection, id, member;
        boost::json::value value;
        uint64_t dueAtRequest = 0;
    };
    // Instance positions by "<region>" and by "<region>\n<zone>", and the instance count and
    // change count they were built at.
    struct InstanceIndex {
        std::map<std::string, std::vector<size_t>, std::less<>> byPlace;
        uint64_t builtAtChange = 0;
        size_t builtForCount = 0;
        bool built = false;
    };
    std::map<std::string, std::vector<boost::json::object>, std::less<>> m_items;
    uint64_t m_instanceChanges = 0;  // Put and Remove of instances
    mutable InstanceIndex m_instanceIndex;
    std::vector<PendingChange> m_pending;
    uint64_t m_requests = 0;
    uint64_t m_nextId = 1;
    uint64_t m_nextRequestId = 1;
};

}  // namespace AcwEmulator
