// A small HTTPS/HTTP client for the emulator's own tests, on Boost.Beast, and a request signer
// written here from the service's rules (not the emulator's or the library's code), so the
// tests judge the emulator's signature check independently.
#pragma once

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/json.hpp>
#include <gtest/gtest.h>
#include <acw_emulator/Actions.h>
#include <acw_emulator/Emulator.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace EmulatorTest {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

inline std::string Encode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' ? std::string(1, char(c)) : hex;
    }
    return out;
}

inline std::string Base64HmacSha1(const std::string& key, const std::string& data) {
    unsigned char mac[20];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(data.data()),
         data.size(), mac, &length);
    unsigned char out[64];
    const int n = EVP_EncodeBlock(out, mac, static_cast<int>(length));
    return std::string(reinterpret_cast<char*>(out), static_cast<size_t>(n));
}

inline std::string UtcText(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

using Params = std::vector<std::pair<std::string, std::string>>;

// Signs like a client: common parameters added (unless `params` has them), sorted, canonical
// query, HMAC-SHA1 with secret + "&". Returns every parameter, "Signature" last.
struct Signer {
    std::string keyId = "acw-demo-key";
    std::string secret = "acw-demo-secret";
    std::time_t now = std::time(nullptr);
    // Unique across every signer of the process: the emulator rightly refuses a reused nonce.
    static int NextNonce() {
        static std::atomic<int> counter{0};
        return ++counter;
    }

    Params Sign(const std::string& method, const std::string& version, Params params) {
        const std::pair<std::string, std::string> common[] = {
            {"Format", "JSON"},
            {"Version", version},
            {"AccessKeyId", keyId},
            {"SignatureMethod", "HMAC-SHA1"},
            {"SignatureVersion", "1.0"},
            {"SignatureNonce", "test-nonce-" + std::to_string(now) + "-" + std::to_string(NextNonce())},
            {"Timestamp", UtcText(now)},
        };
        for (const auto& c : common) {
            const bool given = std::any_of(params.begin(), params.end(), [&](const auto& p) { return p.first == c.first; });
            if (!given) params.push_back(c);
        }
        Params sorted = params;
        std::sort(sorted.begin(), sorted.end());
        std::string canonical;
        for (const auto& [k, v] : sorted) canonical += (canonical.empty() ? "" : "&") + Encode(k) + "=" + Encode(v);
        params.emplace_back("Signature", Base64HmacSha1(secret + "&", method + "&%2F&" + Encode(canonical)));
        return params;
    }
};

inline std::string Query(const Params& params) {
    std::string q;
    for (const auto& [k, v] : params) q += (q.empty() ? "" : "&") + Encode(k) + "=" + Encode(v);
    return q;
}

struct Response {
    bool ok = false;         // a whole response arrived
    std::string error;       // what went wrong otherwise
    int status = 0;
    std::string body;

    boost::json::object Json() const { return boost::json::parse(body).as_object(); }
    std::string Code() const {
        const auto doc = Json();
        return doc.contains("Code") ? std::string(doc.at("Code").as_string()) : std::string();
    }
};

// One connection, kept alive between requests, reopened when the server closed it. TLS with
// peer and host-name verification against the emulator's CA; or plain HTTP when `caPem` is
// empty (the metadata service).
class Client {
public:
    Client(uint16_t port, std::string caPem) : m_port(port), m_caPem(std::move(caPem)), m_tls(ssl::context::tls_client) {
        if (!m_caPem.empty()) {
            m_tls.add_certificate_authority(net::buffer(m_caPem));
            m_tls.set_verify_mode(ssl::verify_peer);
        }
    }

    Response Send(const std::string& method, const std::string& host, const std::string& target,
                  const std::string& body = {}, const std::map<std::string, std::string>& headers = {},
                  std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        Response out;
        if (!m_stream && !m_plain && !Connect(host, timeout, out)) return out;
        http::request<http::string_body> req{http::string_to_verb(method), target, 11};
        req.set(http::field::host, host);
        for (const auto& [k, v] : headers) req.set(k, v);
        if (!body.empty()) {
            req.set(http::field::content_type, "application/x-www-form-urlencoded");
            req.body() = body;
        }
        req.prepare_payload();
        beast::flat_buffer buffer;
        http::response_parser<http::string_body> parser;
        parser.body_limit(16 * 1024 * 1024);
        beast::error_code ec;
        auto run = [&](auto&& stream) {
            beast::get_lowest_layer(stream).expires_after(timeout);
            http::async_write(stream, req, [&](beast::error_code e, size_t) {
                if ((ec = e)) return;
                http::async_read(stream, buffer, parser, [&](beast::error_code e2, size_t) { ec = e2; });
            });
            m_io.restart();
            m_io.run();
        };
        m_stream ? run(*m_stream) : run(*m_plain);
        if (ec) {
            out.error = ec.message();
            Close();
            return out;
        }
        auto res = parser.release();
        out.ok = true;
        out.status = static_cast<int>(res.result_int());
        out.body = res.body();
        if (!res.keep_alive()) Close();
        return out;
    }

    // A signed API request.
    Response Api(Signer& signer, const std::string& host, const std::string& version, Params params,
                 const std::string& method = "GET", std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const Params signed_ = signer.Sign(method, version, std::move(params));
        if (method == "POST") return Send("POST", host, "/", Query(signed_), {}, timeout);
        return Send(method, host, "/?" + Query(signed_), {}, {}, timeout);
    }

    void Close() {
        m_stream.reset();
        m_plain.reset();
    }

private:
    bool Connect(const std::string& host, std::chrono::milliseconds timeout, Response& out) {
        beast::error_code ec;
        const tcp::endpoint endpoint(net::ip::make_address("127.0.0.1"), m_port);
        if (m_caPem.empty()) {
            m_plain = std::make_unique<beast::tcp_stream>(m_io);
            m_plain->connect(endpoint, ec);
        } else {
            m_stream = std::make_unique<beast::ssl_stream<beast::tcp_stream>>(m_io, m_tls);
            SSL_set_tlsext_host_name(m_stream->native_handle(), host.c_str());
            m_stream->set_verify_callback(ssl::host_name_verification(host));
            beast::get_lowest_layer(*m_stream).connect(endpoint, ec);
            if (!ec) {
                beast::get_lowest_layer(*m_stream).expires_after(timeout);
                m_stream->async_handshake(ssl::stream_base::client, [&](beast::error_code e) { ec = e; });
                m_io.restart();
                m_io.run();
            }
        }
        if (ec) {
            out.error = "connect: " + ec.message();
            Close();
            return false;
        }
        return true;
    }

    uint16_t m_port;
    std::string m_caPem;
    net::io_context m_io;
    ssl::context m_tls;
    std::unique_ptr<beast::ssl_stream<beast::tcp_stream>> m_stream;
    std::unique_ptr<beast::tcp_stream> m_plain;
};

constexpr const char* kEcs = "2014-05-26";
constexpr const char* kVpc = "2016-04-28";
constexpr const char* kRds = "2014-08-15";

// The emulator started on loopback and one client to it: the fixture of the
// emulator's own tests.
class WireTest : public ::testing::Test {
protected:
    explicit WireTest(AcwEmulator::Options options = {}) : emu(std::move(options)) {}
    void SetUp() override {
        emu.Start();
        client = std::make_unique<Client>(emu.HttpsPort(), emu.CaPem());
    }
    // A signed request to the product's central host.
    Response Call(AcwEmulator::Product product, const std::string& action, Params params = {},
                  std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        params.emplace_back("Action", action);
        switch (product) {
            case AcwEmulator::Product::Vpc: return client->Api(signer, "vpc.aliyuncs.com", kVpc, params, "GET", timeout);
            case AcwEmulator::Product::Rds: return client->Api(signer, "rds.aliyuncs.com", kRds, params, "GET", timeout);
            case AcwEmulator::Product::Ecs: break;
        }
        return client->Api(signer, "ecs.aliyuncs.com", kEcs, params, "GET", timeout);
    }
    // The "<Code> <status>" of an answer, or "200" for a success.
    static std::string Outcome(const Response& r) {
        return r.status == 200 ? "200" : r.Code() + " " + std::to_string(r.status);
    }

    AcwEmulator::Emulator emu;
    Signer signer;
    std::unique_ptr<Client> client;
};

}  // namespace EmulatorTest
