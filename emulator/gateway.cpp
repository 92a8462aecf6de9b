// The API gateway: routes a request to its product by the Host header, checks it as the
// service's gateway does (common parameters, version, key, time stamp, signature, nonce),
// applies an injected fault, runs the action and writes the answer document.
#include "Core.h"
#include "Signing.h"

#include <boost/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// The Host header without its port, lower case.
std::string HostName(std::string_view host) {
    std::string h = Lower(host);
    if (!h.empty() && h.front() == '[') {
        const size_t close = h.find(']');
        return close == std::string::npos ? h : h.substr(0, close + 1);
    }
    const size_t colon = h.find(':');
    if (colon != std::string::npos && h.find(':', colon + 1) == std::string::npos) h.resize(colon);
    if (!h.empty() && h.back() == '.') h.pop_back();
    return h;
}

bool IsLabel(std::string_view label) {
    return !label.empty() && std::all_of(label.begin(), label.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-';
    });
}

// "<product>.aliyuncs.com", "<product>.<region>.aliyuncs.com", "<product>-vpc.<region>.aliyuncs.com"
// and, for compute, the legacy aliases "ecs-<region>.aliyuncs.com".
std::optional<Product> ProductOfHost(const std::string& host) {
    static constexpr std::string_view kSuffix = ".aliyuncs.com";
    if (host.size() <= kSuffix.size() || host.compare(host.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
        return std::nullopt;
    }
    const std::string_view head = std::string_view(host).substr(0, host.size() - kSuffix.size());
    for (const Product product : {Product::Ecs, Product::Vpc, Product::Rds}) {
        const std::string key = ProductKey(product);
        if (head == key) return product;
        for (const std::string& prefix : {key + ".", key + "-vpc."}) {
            if (head.substr(0, prefix.size()) == prefix && IsLabel(head.substr(prefix.size()))) return product;
        }
        if (product == Product::Ecs && head.substr(0, 4) == "ecs-" && IsLabel(head.substr(4))) return product;
    }
    return std::nullopt;
}

json::object ErrorDocument(const std::string& requestId, const std::string& host, const std::string& product,
                           const std::string& code, const std::string& message) {
    return json::object{
        {"RequestId", requestId},
        {"HostId", host},
        {"Code", code},
        {"Message", message},
        {"Recommend", "https://api.aliyun.com/troubleshoot?q=" + code + "&product=" + product +
                          "&requestId=" + requestId},
    };
}

// One request on its way through the gateway; Finish* record it in the journal.
class Exchange {
public:
    Exchange(State& state, const HttpIn& in) : m_state(state), m_in(in) {
        m_entry.host = HostName(in.host);
        m_entry.method = in.method;
        const size_t query = in.target.find('?');
        m_path = in.target.substr(0, query);
        if (query != std::string::npos) ParseFormInto(std::string_view(in.target).substr(query + 1), m_entry.params);
        if (in.method == "POST" && Lower(in.contentType).rfind("application/x-www-form-urlencoded", 0) == 0) {
            ParseFormInto(in.body, m_entry.params);
        }
        m_entry.action = Param("Action").value_or("");
        m_requestId = state.world.NewRequestId();
    }

    Reply Run();

private:
    std::optional<std::string> Param(std::string_view name) const {
        for (const auto& [key, value] : m_entry.params) {
            if (key == name) return value;
        }
        return std::nullopt;
    }
    std::string ProductLabel() const { return m_product ? ProductName(*m_product) : ""; }
    void CheckCommonParameters() const;
    void Authenticate();
    Reply ApplyFault(const Fault& fault, const ActionHandler& handler);
    Reply Success(json::object body);
    Reply Error(int status, const std::string& code, const std::string& message);
    Reply Finish(Reply reply);

    State& m_state;
    const HttpIn& m_in;
    JournalEntry m_entry;
    std::string m_path;
    std::string m_requestId;
    std::optional<Product> m_product;
};

void Exchange::CheckCommonParameters() const {
    static const char* const kRequired[] = {"Action",           "Version",        "AccessKeyId", "SignatureMethod",
                                            "SignatureVersion", "SignatureNonce", "Timestamp",   "Signature"};
    for (const char* name : kRequired) {
        const auto value = Param(name);
        if (!value || value->empty()) Fail(400, std::string("Missing") + name, std::string(name) + " is mandatory for this action.");
    }
    if (*Param("Version") != ProductVersion(*m_product)) {
        Fail(400, "InvalidVersion", "Specified parameter Version is not valid.");
    }
    if (*Param("SignatureMethod") != "HMAC-SHA1") {
        Fail(400, "InvalidSignatureMethod", "Specified signature method is not supported.");
    }
    if (*Param("SignatureVersion") != "1.0") {
        Fail(400, "InvalidSignatureVersion", "Specified signature version is not supported.");
    }
}

void Exchange::Authenticate() {
    const auto timestamp = ParseUtcTimestamp(*Param("Timestamp"));
    if (!timestamp) Fail(400, "InvalidTimeStamp.Format", "Specified time stamp or date value is not well formatted.");
    const int64_t now = m_state.NowLocked();
    if (std::llabs(*timestamp - now) > kTimestampWindowSeconds) {
        Fail(400, "InvalidTimeStamp.Expired", "Specified time stamp or date value is expired.");
    }
    const auto key = m_state.keys.find(*Param("AccessKeyId"));
    if (key == m_state.keys.end()) Fail(404, "InvalidAccessKeyId.NotFound", "Specified access key is not found.");
    const std::string stringToSign = StringToSign(m_in.method, m_entry.params);
    if (Sign(key->second, stringToSign) != *Param("Signature")) {
        Fail(400, "SignatureDoesNotMatch",
             "Specified signature is not matched with our calculation. server string to sign is:" + stringToSign);
    }
    // Only a genuine request uses up its nonce, so a forged one cannot block a real client.
    const std::string nonce = *Param("SignatureNonce");
    const auto seen = m_state.nonces.find(nonce);
    if (seen != m_state.nonces.end() && std::llabs(now - seen->second) < kNonceMemorySeconds) {
        Fail(400, "SignatureNonceUsed", "Specified signature nonce was used already.");
    }
    m_state.nonces[nonce] = now;
    if (m_state.nonces.size() % 4096 == 0) {
        for (auto it = m_state.nonces.begin(); it != m_state.nonces.end();) {
            it = std::llabs(now - it->second) >= kNonceMemorySeconds ? m_state.nonces.erase(it) : std::next(it);
        }
    }
}

Reply Exchange::Run() {
    ++m_state.counters.apiRequests;
    m_product = ProductOfHost(m_entry.host);
    if (m_product) m_entry.product = ProductKey(*m_product);
    try {
        if (!m_product) Fail(404, "InvalidProduct.NotFound", "Cannot find product according to your specified domain.");
        if (m_path != "/" || (m_in.method != "GET" && m_in.method != "POST")) {
            Fail(404, "InvalidAction.NotFound", "Specified api is not found, please check your url and method.");
        }
        if (!Param("Timestamp") && Param("TimeStamp")) {
            Fail(400, "MissingTimestamp", "Timestamp is mandatory for this action.");
        }
        CheckCommonParameters();
        Authenticate();
        const ActionHandler* handler = m_state.actions.Find(*m_product, m_entry.action);
        if (handler == nullptr) {
            Fail(404, "InvalidAction.NotFound", "Specified api is not found, please check your url and method.");
        }
        m_state.world.OnRequest();
        for (auto it = m_state.faults.begin(); it != m_state.faults.end(); ++it) {
            if ((!it->action.empty() && it->action != m_entry.action) ||
                (!it->product.empty() && it->product != m_entry.product)) {
                continue;
            }
            const Fault fault = *it;
            if (--it->count <= 0) m_state.faults.erase(it);
            return Finish(ApplyFault(fault, *handler));
        }
        ActionContext ctx(*m_product, m_entry.action, m_entry.params, m_state.world, m_state.NowLocked());
        return Finish(Success((*handler)(ctx)));
    } catch (const ApiError& e) {
        return Finish(Error(e.status, e.code, e.what()));
    } catch (const std::exception& e) {
        return Finish(Error(500, "InternalError", DefaultErrorMessage("InternalError")));
    }
}

Reply Exchange::ApplyFault(const Fault& fault, const ActionHandler& handler) {
    m_entry.fault = FaultKindName(fault.kind);
    std::optional<json::object> done;
    if (fault.executeAction) {
        ActionContext ctx(*m_product, m_entry.action, m_entry.params, m_state.world, m_state.NowLocked());
        try {
            done = handler(ctx);
        } catch (const std::exception&) {
            // The answer is replaced anyway; what the action did (or refused) stays in the world.
        }
    }
    Reply reply;
    reply.requestId = m_requestId;
    switch (fault.kind) {
        case FaultKind::ErrorResponse: {
            const std::string code = fault.code.empty() ? "InternalError" : fault.code;
            return Error(fault.status ? fault.status : DefaultErrorStatus(code), code,
                         fault.message.empty() ? DefaultErrorMessage(code) : fault.message);
        }
        case FaultKind::EmptyErrorBody:
            reply.status = fault.status ? fault.status : 500;
            reply.contentType.clear();
            return reply;
        case FaultKind::NotJson:
            reply.status = fault.status ? fault.status : 502;
            reply.contentType = "text/html";
            reply.body = "<html><head><title>502 Bad Gateway</title></head><body><h1>502 Bad Gateway</h1></body></html>";
            return reply;
        case FaultKind::CloseBeforeAnswer:
            reply.disposition = Disposition::CloseBeforeAnswer;
            reply.status = 0;
            return reply;
        case FaultKind::CloseMidBody: {
            Reply full = Success(done.value_or(json::object{
                {"Note", "This answer is cut short by an injected fault; the client never sees it whole."}}));
            full.disposition = Disposition::CloseMidBody;
            return full;
        }
        case FaultKind::Delay: {
            Reply answer;
            if (done) {
                answer = Success(std::move(*done));
            } else {
                ActionContext ctx(*m_product, m_entry.action, m_entry.params, m_state.world, m_state.NowLocked());
                try {
                    answer = Success(handler(ctx));
                } catch (const ApiError& e) {
                    answer = Error(e.status, e.code, e.what());
                }
            }
            answer.delayMs = std::max(0, fault.delayMs);
            return answer;
        }
        case FaultKind::Stall:
            reply.disposition = Disposition::Stall;
            reply.status = 0;
            return reply;
    }
    return reply;
}

Reply Exchange::Success(json::object body) {
    // In the body's own storage, so its members move over without a copy.
    json::object doc(body.storage());
    doc["RequestId"] = m_requestId;
    for (auto& [key, value] : body) {
        if (key != "RequestId") doc[key] = std::move(value);
    }
    Reply reply;
    reply.body = ToJsonText(doc);
    reply.requestId = m_requestId;
    return reply;
}

Reply Exchange::Error(int status, const std::string& code, const std::string& message) {
    Reply reply;
    reply.status = status;
    reply.body = ToJsonText(ErrorDocument(m_requestId, m_entry.host, ProductLabel(), code, message));
    reply.requestId = m_requestId;
    m_entry.code = code;
    return reply;
}

Reply Exchange::Finish(Reply reply) {
    m_entry.status = reply.disposition == Disposition::Answer || reply.disposition == Disposition::CloseMidBody
                         ? reply.status
                         : 0;
    m_state.AddJournalLocked(std::move(m_entry));
    return reply;
}

}  // namespace

Reply HandleApi(State& state, const HttpIn& in) {
    std::lock_guard<std::mutex> lock(state.mutex);
    return Exchange(state, in).Run();
}

}  // namespace AcwEmulator
