// How an API action is written and registered.
//
// An action is one function that takes an ActionContext and returns the success document
// without "RequestId" (the gateway adds it). Errors are thrown as ApiError (use Fail or the
// context's checking helpers); the gateway turns them into the service's error document. By the
// time a handler runs, the request has passed every gateway check (product, common parameters,
// version, key, signature, time stamp, nonce), and the state lock is held.
//
// Each area has its own file with one registration function, called from BuildActionTable
// (actions.cpp):
//   ecs_regions.cpp    RegisterEcsRegionActions     regions, zones, instance types
//   ecs_instances.cpp  RegisterEcsInstanceActions   instances, images, security group joins
//   ecs_storage.cpp    RegisterEcsStorageActions    disks, snapshots
//   ecs_lifecycle.cpp  RegisterEcsLifecycleActions  instance life cycle, disk attachment, images
//   vpc_network.cpp    RegisterNetworkActions       security groups, VPCs, VSwitches, EIPs
//   rds.cpp            RegisterRdsActions           database regions and instances
//
// A paged Describe action, complete:
//
//   boost::json::object DescribeDisks(ActionContext& ctx) {
//       ctx.RequireRegion();
//       auto ids = ctx.JsonArray("DiskIds", 100, "InvalidDiskIds.Malformed", 403);
//       auto disks = ctx.world.Select("Disks", [&](const boost::json::object& d) {
//           return ctx.Matches(d, "RegionId") && ctx.Matches(d, "ZoneId") && InList(ids, d, "DiskId");
//       });
//       boost::json::object out;
//       AddPagedList(ctx, out, disks, {"Disks", "Disk"}, kEcsPaging);  // default 10, max 100
//       return out;
//   }
//   ...
//   table.Add(Product::Ecs, "DescribeDisks", DescribeDisks, RegionScoped(Product::Ecs));
//
// Region-scoped actions: registered with RegionScoped(...), the table checks "RegionId" before
// the handler runs. A missing one is refused with MissingParameter (400) and one the world does
// not know with the product's own answer (ECS 404 "InvalidRegionId.NotFound", VPC 404
// "Forbidden.RegionNotFound", RDS 400 "Forbidden.RegionNotFound"), so a mistyped region never
// looks like an empty one. An action whose documentation gives other texts passes its own
// RegionScope. The handler reads the region item with ctx.RequireKnownRegion().
//
// Answers: put numbers in the document as they are typed (int64 for integers, double for the
// service's float members); the gateway prints doubles in plain decimal (0.5, 16, 0.98), never
// in exponent form, through ToJsonText.
//
// Every action has a fixture in tests/data/fidelity/ that the fidelity test compares its answer
// with (see the README there).
#pragma once

#include <acw_emulator/World.h>

#include <boost/json/monotonic_resource.hpp>
#include <boost/json/object.hpp>
#include <boost/json/storage_ptr.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace AcwEmulator {

enum class Product { Ecs, Vpc, Rds };

// "ecs", "vpc", "rds"
[[nodiscard]] const char* ProductKey(Product product);
// "Ecs", "Vpc", "Rds" (as in the Recommend link)
[[nodiscard]] const char* ProductName(Product product);
// The API version each product accepts: "2014-05-26", "2016-04-28", "2014-08-15".
[[nodiscard]] const char* ProductVersion(Product product);

// An error answer of the service: HTTP status, code and message.
struct ApiError : std::runtime_error {
    ApiError(int status, std::string code, const std::string& message)
        : std::runtime_error(message), status(status), code(std::move(code)) {}
    int status;
    std::string code;
};

[[noreturn]] void Fail(int status, const std::string& code, const std::string& message);
// The service's usual errors, with its own texts.
[[noreturn]] void FailMissingParameter(const std::string& name);  // MissingParameter 400
[[noreturn]] void FailInvalidParameter(const std::string& name);  // InvalidParameter 400
// "<Kind>.NotFound" with status 404, e.g. FailNotFound("InvalidInstanceId", "InstanceId").
[[noreturn]] void FailNotFound(const std::string& codePrefix, const std::string& idName, int status = 404);

// The HTTP status the service answers an error code with, for an injected error that names no
// status: "Throttling", "Throttling.User", "Throttling.Api", "SignatureNonceUsed" 400,
// "ServiceUnavailable" 503, conflicts 409, "InternalError" 500, and by the code's form for
// others ("*.NotFound" 404, "Invalid*"/"Missing*" 400, "Incorrect*"/"Forbidden*"/"QuotaExceed*"
// 403); 500 for a code the table cannot place.
[[nodiscard]] int DefaultErrorStatus(std::string_view code);
// The service's message for a well-known code; a generic text for others.
[[nodiscard]] const char* DefaultErrorMessage(std::string_view code);

// A JSON document as the service prints it: compact, and doubles in plain decimal (the shortest
// text that reads back as the same number: 0.5, 16, 0.98, 0) instead of Boost's exponent form
// ("1.6E1"). Non-finite doubles, which JSON cannot carry, print as null.
[[nodiscard]] std::string ToJsonText(const boost::json::value& document);

// How a region-scoped action refuses a missing or unknown "RegionId".
struct RegionScope {
    int status = 404;                                  // unknown region
    std::string code = "InvalidRegionId.NotFound";
    std::string message = "The specified RegionId does not exist.";
    int missingStatus = 400;                           // RegionId absent or empty
    std::string missingCode = "MissingParameter";      // with the standard MissingParameter text
    std::string missingMessage;                        // empty: the standard text
    bool regionOptional = false;  // true: RegionId may be left out (another filter scopes the list)
};
// The product's answer to an unknown region (ECS 404 "InvalidRegionId.NotFound", VPC 404
// "Forbidden.RegionNotFound", RDS 400 "Forbidden.RegionNotFound").
[[nodiscard]] RegionScope RegionScoped(Product product);

// Parameters in the order received, decoded.
using Params = std::vector<std::pair<std::string, std::string>>;

enum class TimePrecision { Minutes, Seconds };
// "2024-05-01T08:30Z" (Minutes, ECS instances) or "2024-05-01T08:30:00Z" (Seconds).
[[nodiscard]] std::string FormatUtc(int64_t epochSeconds, TimePrecision precision);

class ActionContext {
public:
    ActionContext(Product product, std::string action, const Params& params, World& world, int64_t now)
        : product(product), action(std::move(action)), params(params), world(world), now(now) {}

    Product product;
    std::string action;
    const Params& params;
    World& world;
    int64_t now;  // the emulator clock, seconds since the epoch
    // An arena for the answer document: a large listing is built and printed without a heap
    // allocation per member, and freed at once with the answer. Actions whose answers are big
    // create their document (and the lists in it) here; any other storage works too.
    boost::json::storage_ptr answerStorage = boost::json::make_shared_resource<boost::json::monotonic_resource>();

    // The first value of `name`; nullopt when absent. An empty value counts as given.
    [[nodiscard]] std::optional<std::string> Get(std::string_view name) const;
    // The value, or `fallback` when absent or empty.
    [[nodiscard]] std::string Get(std::string_view name, std::string_view fallback) const;
    // The value; MissingParameter (400) when absent or empty.
    [[nodiscard]] std::string Required(std::string_view name) const;
    // "RegionId", required; "MissingParameter.RegionId"-style errors are the action's choice.
    std::string RequireRegion() const { return Required("RegionId"); }
    // The region item named by "RegionId", refused as `scope` says when missing or unknown (the
    // product's default scope when none is given). The check a RegionScoped registration runs.
    const boost::json::object& RequireKnownRegion(const std::optional<RegionScope>& scope = std::nullopt) const;
    // One of `allowed` (exact spelling), `fallback` when absent or empty; otherwise refused with
    // `code`, `status` and the message 'The specified parameter "<name>" is not valid.'. The
    // Describe* filters over enumerations ("Status", "DiskType", "Category").
    [[nodiscard]] std::string Enum(std::string_view name, std::string_view fallback,
                                   const std::vector<std::string_view>& allowed, const std::string& code,
                                   int status = 400) const;
    // An integer in [min, max]; `fallback` when absent or empty; InvalidParameter otherwise.
    [[nodiscard]] int64_t Int(std::string_view name, int64_t fallback, int64_t min, int64_t max) const;
    // "true"/"false" in any letter case; `fallback` when absent or empty; InvalidParameter else.
    [[nodiscard]] bool Bool(std::string_view name, bool fallback) const;
    // A JSON-array-in-text parameter such as InstanceIds='["i-1","i-2"]'. nullopt when absent;
    // malformed text, non-strings or more than `maxItems` give `errorCode` with `status`.
    [[nodiscard]] std::optional<std::vector<std::string>> JsonArray(
        std::string_view name, size_t maxItems, const std::string& errorCode = "InvalidParameter",
        int status = 400) const;
    // A comma-separated parameter (VPC's AllocationId, VpcId); nullopt when absent or empty.
    [[nodiscard]] std::optional<std::vector<std::string>> CommaList(std::string_view name, size_t maxItems) const;
    // Repeated list "<prefix>.1", "<prefix>.2", ... in index order (e.g. "InstanceId").
    [[nodiscard]] std::vector<std::string> NumberedList(std::string_view prefix) const;
    // Repeated objects "<prefix>.N.<Member>" (e.g. "DataDisk"): one map per N, in index order.
    [[nodiscard]] std::vector<std::map<std::string, std::string>> NumberedObjects(std::string_view prefix) const;
    // True when the parameter `name` is absent or empty, or equals the item's string member
    // `member` (default: the same name). The usual Describe* filter.
    [[nodiscard]] bool Matches(const boost::json::object& item, std::string_view name,
                               std::string_view member = {}) const;
};

// True when `ids` is absent, or holds the item's string member.
[[nodiscard]] bool InList(const std::optional<std::vector<std::string>>& ids, const boost::json::object& item,
                          std::string_view member);
// The string member, or "" when absent or not a string.
[[nodiscard]] std::string Str(const boost::json::object& item, std::string_view member);

// Paging rules of one action: PageSize default and maximum, and which members the answer uses.
enum class PagingStyle {
    TotalCount,        // ECS and VPC: TotalCount, PageNumber, PageSize
    TotalRecordCount,  // RDS: TotalRecordCount, PageNumber, PageRecordCount
};
struct PageRules {
    int64_t defaultSize = 10;
    int64_t maxSize = 100;
    PagingStyle style = PagingStyle::TotalCount;
};
inline constexpr PageRules kEcsPaging{10, 100, PagingStyle::TotalCount};
inline constexpr PageRules kRdsPaging{30, 100, PagingStyle::TotalRecordCount};
struct ListNames {
    const char* wrapper;  // "Instances"
    const char* item;     // "Instance"
};
// Reads PageNumber (default 1, >= 1) and PageSize (1..maxSize) (InvalidParameter otherwise),
// and writes the page of `items` (internal members stripped) as
// out[wrapper][item] = [...] plus the paging members of `rules.style`. A page past the end is
// an empty list with the real totals.
void AddPagedList(const ActionContext& ctx, boost::json::object& out, const std::vector<boost::json::object>& items,
                  ListNames names, PageRules rules);
// A listing's matches read in place, so only the page is copied: `count` items, the n-th through
// `at(n)`. For large collections (the instance listing pages its region's index).
struct ItemView {
    size_t count = 0;
    std::function<const boost::json::object&(size_t)> at;
};
void AddPagedList(const ActionContext& ctx, boost::json::object& out, const ItemView& items, ListNames names,
                  PageRules rules);
// The list without paging: out[wrapper][item] = [...].
void AddList(boost::json::object& out, const std::vector<boost::json::object>& items, ListNames names);

// Token paging ("NextToken" / "MaxResults"), which the compute lists offer beside page numbers.
struct TokenRules {
    int64_t defaultSize = 10;
    int64_t minSize = 1;
    int64_t maxSize = 100;
    bool clamp = false;  // true: sizes outside [min, max] are moved into it; false: InvalidParameter
};
// A compute list: with "NextToken" or "MaxResults" in the request, the page of `items` starting
// at the token (the emulator's tokens are offsets; an unknown one is 400
// "InvalidNextToken.Malformed"), with "NextToken" naming the next page ("" on the last) and
// "TotalCount"; otherwise AddPagedList by number, with "NextToken": "".
void AddEcsList(const ActionContext& ctx, boost::json::object& out, const std::vector<boost::json::object>& items,
                ListNames names, PageRules pages, TokenRules tokens);

// The same over matches read in place.
void AddEcsList(const ActionContext& ctx, boost::json::object& out, const ItemView& items, ListNames names,
                PageRules pages, TokenRules tokens);

using ActionHandler = std::function<boost::json::object(ActionContext&)>;

class ActionTable {
public:
    void Add(Product product, std::string action, ActionHandler handler);
    // A region-scoped action: "RegionId" is checked as `scope` says before `handler` runs.
    void Add(Product product, std::string action, ActionHandler handler, RegionScope scope);
    [[nodiscard]] const ActionHandler* Find(Product product, std::string_view action) const;

    struct Entry {
        Product product;
        std::string action;
        std::optional<RegionScope> region;  // set for region-scoped actions
    };
    // Every registered action, by product and name.
    [[nodiscard]] std::vector<Entry> Entries() const;

private:
    struct Registered {
        ActionHandler handler;
        std::optional<RegionScope> region;
    };
    std::map<Product, std::map<std::string, Registered, std::less<>>> m_handlers;
};

// The table of every built-in action.
[[nodiscard]] ActionTable BuildActionTable();

void RegisterEcsRegionActions(ActionTable& table);
void RegisterEcsInstanceActions(ActionTable& table);
void RegisterEcsStorageActions(ActionTable& table);
void RegisterNetworkActions(ActionTable& table);
void RegisterRdsActions(ActionTable& table);
// ecs_inventory.cpp: zones, instance type families and types, available resources, images.
void RegisterEcsInventoryActions(ActionTable& table);
// ecs_lifecycle.cpp: instance life cycle, disk attachment, custom images.
void RegisterEcsLifecycleActions(ActionTable& table);
// True while an image of the world is built from the snapshot (DeleteSnapshot refuses it then).
[[nodiscard]] bool SnapshotUsedByImage(const World& world, const std::string& snapshotId);

}  // namespace AcwEmulator
