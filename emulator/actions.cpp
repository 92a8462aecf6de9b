// The helpers action handlers share: parameter access, the service's errors, paging, and the
// table of actions.
#include <acw_emulator/Actions.h>

#include <boost/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>

namespace AcwEmulator {
namespace json = boost::json;

const char* ProductKey(Product product) {
    switch (product) {
        case Product::Ecs: return "ecs";
        case Product::Vpc: return "vpc";
        case Product::Rds: return "rds";
    }
    return "";
}

const char* ProductName(Product product) {
    switch (product) {
        case Product::Ecs: return "Ecs";
        case Product::Vpc: return "Vpc";
        case Product::Rds: return "Rds";
    }
    return "";
}

const char* ProductVersion(Product product) {
    switch (product) {
        case Product::Ecs: return "2014-05-26";
        case Product::Vpc: return "2016-04-28";
        case Product::Rds: return "2014-08-15";
    }
    return "";
}

void Fail(int status, const std::string& code, const std::string& message) { throw ApiError(status, code, message); }

void FailMissingParameter(const std::string& name) {
    Fail(400, "MissingParameter",
         "The input parameter \"" + name + "\" that is mandatory for processing this request is not supplied.");
}

void FailInvalidParameter(const std::string& name) {
    Fail(400, "InvalidParameter", "The specified parameter \"" + name + "\" is not valid.");
}

void FailNotFound(const std::string& codePrefix, const std::string& idName, int status) {
    Fail(status, codePrefix + ".NotFound", "The specified " + idName + " does not exist.");
}

int DefaultErrorStatus(std::string_view code) {
    static const std::map<std::string, int, std::less<>> statuses = {
        {"Throttling", 400},         {"Throttling.User", 400},         {"Throttling.Api", 400},
        {"SignatureNonceUsed", 400}, {"SignatureDoesNotMatch", 400},   {"IncompleteSignature", 400},
        {"ServiceUnavailable", 503}, {"InternalError", 500},           {"InvalidOperation.Conflict", 409},
        {"OperationConflict", 409},  {"IdempotentParameterMismatch", 403}, {"Forbidden.RAM", 403},
        {"NoPermission", 403},       {"InvalidAccessKeyId.NotFound", 404}, {"DryRunOperation", 400},
    };
    if (const auto it = statuses.find(code); it != statuses.end()) return it->second;
    const auto startsWith = [&](std::string_view head) { return code.substr(0, head.size()) == head; };
    const auto endsWith = [&](std::string_view tail) {
        return code.size() >= tail.size() && code.substr(code.size() - tail.size()) == tail;
    };
    if (endsWith(".NotFound")) return 404;
    if (startsWith("Throttling")) return 400;
    if (startsWith("ServiceUnavailable")) return 503;
    if (endsWith("Conflict")) return 409;
    if (startsWith("Invalid") || startsWith("Missing")) return 400;
    if (startsWith("Incorrect") || startsWith("Forbidden") || startsWith("QuotaExceed")) return 403;
    return 500;
}

const char* DefaultErrorMessage(std::string_view code) {
    static const std::map<std::string, const char*, std::less<>> messages = {
        {"InternalError", "The request processing has failed due to some unknown error, exception or failure."},
        {"ServiceUnavailable", "The request has failed due to a temporary failure of the server."},
        {"Throttling", "Request was denied due to request throttling."},
        {"Throttling.User", "Request was denied due to user flow control."},
        {"Throttling.Api", "Request was denied due to api flow control."},
        {"SignatureNonceUsed", "Specified signature nonce was used already."},
        {"InvalidOperation.Conflict",
         "Request was denied due to conflict with a previous request, please try again later."},
        {"OperationConflict", "Request was denied due to conflict with a previous request."},
        {"IncorrectDiskStatus.Initializing", "The current disk status does not support this operation."},
        {"InvalidSnapshot.NotReady", "The specified snapshot creation is not completed yet."},
        {"Forbidden.RAM", "User not authorized to operate on the specified resource, or this API doesn't support RAM."},
    };
    const auto it = messages.find(code);
    return it == messages.end() ? "The request processing has failed due to some unknown error." : it->second;
}

namespace {

// A JSON string: plain printable ASCII is copied as it is (nearly every key and value), anything
// that may need escaping goes through Boost's serializer.
void PrintString(std::string_view text, std::string& out) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
    });
    if (!plain) {
        out += json::serialize(text);
        return;
    }
    out += '"';
    out.append(text);
    out += '"';
}

void PrintJson(const json::value& value, std::string& out) {
    switch (value.kind()) {
        case json::kind::object: {
            out += '{';
            bool first = true;
            for (const auto& [key, member] : value.get_object()) {
                if (!first) out += ',';
                first = false;
                PrintString(key, out);
                out += ':';
                PrintJson(member, out);
            }
            out += '}';
            return;
        }
        case json::kind::array: {
            out += '[';
            bool first = true;
            for (const auto& element : value.get_array()) {
                if (!first) out += ',';
                first = false;
                PrintJson(element, out);
            }
            out += ']';
            return;
        }
        case json::kind::double_: {
            const double number = value.get_double();
            if (!std::isfinite(number)) {
                out += "null";
                return;
            }
            char text[400];  // the longest fixed form of a double has 309 integer digits
            const auto result = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed);
            out.append(text, result.ptr);
            return;
        }
        case json::kind::string:
            PrintString(value.get_string(), out);
            return;
        case json::kind::int64:
        case json::kind::uint64: {
            char text[24];
            const auto result = value.is_int64() ? std::to_chars(text, text + sizeof text, value.get_int64())
                                                 : std::to_chars(text, text + sizeof text, value.get_uint64());
            out.append(text, result.ptr);
            return;
        }
        case json::kind::bool_:
            out += value.get_bool() ? "true" : "false";
            return;
        case json::kind::null:
            out += "null";
            return;
    }
}

}  // namespace

std::string ToJsonText(const json::value& document) {
    std::string out;
    PrintJson(document, out);
    return out;
}

RegionScope RegionScoped(Product product) {
    RegionScope scope;
    if (product == Product::Vpc) {
        scope.code = "Forbidden.RegionNotFound";
        scope.message = "Specified region is not found during access authentication.";
    } else if (product == Product::Rds) {
        scope.status = 400;
        scope.code = "Forbidden.RegionNotFound";
        scope.message = "The provided RegionId does not exist in our record.";
    }
    return scope;
}

std::string FormatUtc(int64_t epochSeconds, TimePrecision precision) {
    const auto t = static_cast<time_t>(epochSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, precision == TimePrecision::Minutes ? "%Y-%m-%dT%H:%MZ" : "%Y-%m-%dT%H:%M:%SZ",
                  &tm);
    return text;
}

namespace {

std::optional<int64_t> ToInt(std::string_view text) {
    int64_t value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "<prefix>.<N>" or "<prefix>.<N>.<rest>": N (>= 1) and rest; nullopt when the name does not fit.
std::optional<std::pair<int64_t, std::string>> SplitNumbered(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() + 1 || name.substr(0, prefix.size()) != prefix || name[prefix.size()] != '.') {
        return std::nullopt;
    }
    const std::string_view tail = name.substr(prefix.size() + 1);
    const size_t dot = tail.find('.');
    const auto index = ToInt(tail.substr(0, dot));
    if (!index || *index < 1) return std::nullopt;
    return std::make_pair(*index, dot == std::string_view::npos ? std::string() : std::string(tail.substr(dot + 1)));
}

}  // namespace

std::optional<std::string> ActionContext::Get(std::string_view name) const {
    for (const auto& [key, value] : params) {
        if (key == name) return value;
    }
    return std::nullopt;
}

std::string ActionContext::Get(std::string_view name, std::string_view fallback) const {
    auto value = Get(name);
    return value && !value->empty() ? *value : std::string(fallback);
}

std::string ActionContext::Required(std::string_view name) const {
    auto value = Get(name);
    if (!value || value->empty()) FailMissingParameter(std::string(name));
    return *value;
}

int64_t ActionContext::Int(std::string_view name, int64_t fallback, int64_t min, int64_t max) const {
    auto text = Get(name);
    if (!text || text->empty()) return fallback;
    auto value = ToInt(*text);
    if (!value || *value < min || *value > max) FailInvalidParameter(std::string(name));
    return *value;
}

bool ActionContext::Bool(std::string_view name, bool fallback) const {
    auto text = Get(name);
    if (!text || text->empty()) return fallback;
    if (EqualsNoCase(*text, "true")) return true;
    if (EqualsNoCase(*text, "false")) return false;
    FailInvalidParameter(std::string(name));
}

std::optional<std::vector<std::string>> ActionContext::JsonArray(std::string_view name, size_t maxItems,
                                                                 const std::string& errorCode, int status) const {
    auto text = Get(name);
    if (!text) return std::nullopt;
    const std::string message = "The specified parameter \"" + std::string(name) + "\" is not valid.";
    boost::system::error_code ec;
    const json::value parsed = json::parse(*text, ec);
    if (ec || !parsed.is_array() || parsed.as_array().size() > maxItems) Fail(status, errorCode, message);
    std::vector<std::string> out;
    for (const auto& v : parsed.as_array()) {
        if (!v.is_string()) Fail(status, errorCode, message);
        out.emplace_back(v.as_string());
    }
    return out;
}

std::optional<std::vector<std::string>> ActionContext::CommaList(std::string_view name, size_t maxItems) const {
    auto text = Get(name);
    if (!text || text->empty()) return std::nullopt;
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text->size()) {
        size_t end = text->find(',', start);
        if (end == std::string::npos) end = text->size();
        std::string item = text->substr(start, end - start);
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (!item.empty()) out.push_back(std::move(item));
        start = end + 1;
    }
    if (out.size() > maxItems) FailInvalidParameter(std::string(name));
    return out;
}

std::vector<std::string> ActionContext::NumberedList(std::string_view prefix) const {
    std::map<int64_t, std::string> byIndex;
    for (const auto& [key, value] : params) {
        auto split = SplitNumbered(key, prefix);
        if (split && split->second.empty()) byIndex.emplace(split->first, value);
    }
    std::vector<std::string> out;
    for (auto& [index, value] : byIndex) out.push_back(std::move(value));
    return out;
}

std::vector<std::map<std::string, std::string>> ActionContext::NumberedObjects(std::string_view prefix) const {
    std::map<int64_t, std::map<std::string, std::string>> byIndex;
    for (const auto& [key, value] : params) {
        auto split = SplitNumbered(key, prefix);
        if (split && !split->second.empty()) byIndex[split->first].emplace(split->second, value);
    }
    std::vector<std::map<std::string, std::string>> out;
    for (auto& [index, members] : byIndex) out.push_back(std::move(members));
    return out;
}

const json::object& ActionContext::RequireKnownRegion(const std::optional<RegionScope>& given) const {
    const RegionScope scope = given ? *given : RegionScoped(product);
    const auto region = Get("RegionId");
    if (!region || region->empty()) {
        if (scope.missingCode == "MissingParameter" && scope.missingMessage.empty()) FailMissingParameter("RegionId");
        Fail(scope.missingStatus, scope.missingCode, scope.missingMessage);
    }
    const json::object* item = world.Find("Regions", *region);
    if (item == nullptr) Fail(scope.status, scope.code, scope.message);
    return *item;
}

std::string ActionContext::Enum(std::string_view name, std::string_view fallback,
                                const std::vector<std::string_view>& allowed, const std::string& code,
                                int status) const {
    std::string value = Get(name, fallback);
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
        Fail(status, code, "The specified parameter \"" + std::string(name) + "\" is not valid.");
    }
    return value;
}

bool ActionContext::Matches(const json::object& item, std::string_view name, std::string_view member) const {
    auto wanted = Get(name);
    if (!wanted || wanted->empty()) return true;
    return Str(item, member.empty() ? name : member) == *wanted;
}

bool InList(const std::optional<std::vector<std::string>>& ids, const json::object& item, std::string_view member) {
    if (!ids) return true;
    const std::string id = Str(item, member);
    return std::find(ids->begin(), ids->end(), id) != ids->end();
}

std::string Str(const json::object& item, std::string_view member) {
    const auto* v = item.if_contains(member);
    return v && v->is_string() ? std::string(v->as_string()) : std::string();
}

void AddList(json::object& out, const std::vector<json::object>& items, ListNames names) {
    json::array array;
    for (const auto& item : items) array.push_back(World::Public(item));
    out[names.wrapper] = json::object{{names.item, std::move(array)}};
}

namespace {

ItemView ViewOf(const std::vector<json::object>& items) {
    return ItemView{items.size(), [&items](size_t n) -> const json::object& { return items[n]; }};
}

// out[wrapper][item] = the items [first, last) of the view, internal members stripped.
// The page is made in the storage of `out`, so moving it in copies nothing.
void AddPage(json::object& out, const ItemView& items, int64_t first, int64_t last, ListNames names) {
    json::array array(out.storage());
    array.reserve(static_cast<size_t>(last - first));
    for (int64_t n = first; n < last; ++n) {
        array.push_back(World::Public(items.at(static_cast<size_t>(n)), out.storage()));
    }
    json::object wrapper(out.storage());
    wrapper.emplace(names.item, std::move(array));
    out[names.wrapper] = std::move(wrapper);
}

}  // namespace

void AddPagedList(const ActionContext& ctx, json::object& out, const std::vector<json::object>& items,
                  ListNames names, PageRules rules) {
    AddPagedList(ctx, out, ViewOf(items), names, rules);
}

void AddPagedList(const ActionContext& ctx, json::object& out, const ItemView& items, ListNames names,
                  PageRules rules) {
    const int64_t pageNumber = ctx.Int("PageNumber", 1, 1, 1'000'000'000);
    const int64_t pageSize = ctx.Int("PageSize", rules.defaultSize, 1, rules.maxSize);
    const auto total = static_cast<int64_t>(items.count);
    const int64_t first = std::min(total, (pageNumber - 1) * pageSize);
    const int64_t last = std::min(total, first + pageSize);
    AddPage(out, items, first, last, names);
    if (rules.style == PagingStyle::TotalCount) {
        out["TotalCount"] = total;
        out["PageNumber"] = pageNumber;
        out["PageSize"] = pageSize;
    } else {
        out["TotalRecordCount"] = total;
        out["PageNumber"] = pageNumber;
        out["PageRecordCount"] = last - first;
    }
}

void AddEcsList(const ActionContext& ctx, json::object& out, const std::vector<json::object>& items, ListNames names,
                PageRules pages, TokenRules tokens) {
    AddEcsList(ctx, out, ViewOf(items), names, pages, tokens);
}

void AddEcsList(const ActionContext& ctx, json::object& out, const ItemView& items, ListNames names, PageRules pages,
                TokenRules tokens) {
    const auto token = ctx.Get("NextToken");
    const auto maxText = ctx.Get("MaxResults");
    if ((!token || token->empty()) && (!maxText || maxText->empty())) {
        AddPagedList(ctx, out, items, names, pages);
        out["NextToken"] = "";
        return;
    }
    int64_t size = tokens.defaultSize;
    if (maxText && !maxText->empty()) {
        const auto given = ToInt(*maxText);
        if (!given) FailInvalidParameter("MaxResults");
        size = *given;
        if (tokens.clamp) size = std::clamp(size, tokens.minSize, tokens.maxSize);
        if (size < tokens.minSize || size > tokens.maxSize) FailInvalidParameter("MaxResults");
    }
    const auto total = static_cast<int64_t>(items.count);
    int64_t first = 0;
    if (token && !token->empty()) {
        const auto offset = ToInt(*token);
        if (!offset || *offset < 0 || *offset > total) {
            Fail(400, "InvalidNextToken.Malformed", "The specified parameter \"NextToken\" is not valid.");
        }
        first = *offset;
    }
    const int64_t last = std::min(total, first + size);
    AddPage(out, items, first, last, names);
    out["TotalCount"] = total;
    out["NextToken"] = last < total ? std::to_string(last) : std::string();
}

void ActionTable::Add(Product product, std::string action, ActionHandler handler) {
    m_handlers[product][std::move(action)] = Registered{std::move(handler), std::nullopt};
}

void ActionTable::Add(Product product, std::string action, ActionHandler handler, RegionScope scope) {
    ActionHandler checked = [scope, inner = std::move(handler)](ActionContext& ctx) {
        // An optional region is checked only when given (another filter scopes the list).
        const auto region = ctx.Get("RegionId");
        if (!scope.regionOptional || (region && !region->empty())) (void)ctx.RequireKnownRegion(scope);
        return inner(ctx);
    };
    m_handlers[product][std::move(action)] = Registered{std::move(checked), std::move(scope)};
}

const ActionHandler* ActionTable::Find(Product product, std::string_view action) const {
    const auto byProduct = m_handlers.find(product);
    if (byProduct == m_handlers.end()) return nullptr;
    const auto it = byProduct->second.find(action);
    return it == byProduct->second.end() ? nullptr : &it->second.handler;
}

std::vector<ActionTable::Entry> ActionTable::Entries() const {
    std::vector<Entry> out;
    for (const auto& [product, actions] : m_handlers) {
        for (const auto& [name, registered] : actions) out.push_back(Entry{product, name, registered.region});
    }
    return out;
}

ActionTable BuildActionTable() {
    ActionTable table;
    RegisterEcsRegionActions(table);
    RegisterEcsInstanceActions(table);
    RegisterEcsStorageActions(table);
    RegisterEcsLifecycleActions(table);
    RegisterNetworkActions(table);
    RegisterRdsActions(table);
    RegisterEcsInventoryActions(table);
    return table;
}

}  // namespace AcwEmulator
