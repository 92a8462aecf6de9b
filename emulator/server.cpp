#include "Server.h"

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>

namespace AcwEmulator {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

namespace {

constexpr size_t kBodyLimit = 8 * 1024 * 1024;
// Clients send every parameter in the query of a GET, so the request line can be long (a
// Base64 UserData of 32 KB grows past 40 KB once percent-encoded): far above Beast's 8 KB
// default for the header.
constexpr uint32_t kHeaderLimit = 1024 * 1024;

HttpIn ToHttpIn(const http::request<http::string_body>& req, bool fromLoopback) {
    HttpIn in;
    in.method = std::string(req.method_string());
    in.target = std::string(req.target());
    in.host = std::string(req[http::field::host]);
    in.contentType = std::string(req[http::field::content_type]);
    in.body = req.body();
    for (const auto& field : req) {
        std::string name(field.name_string());
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        in.headers[name] = std::string(field.value());
    }
    in.fromLoopback = fromLoopback;
    return in;
}

// One connection: reads requests one after another (HTTP/1.1 keep-alive) and carries out each
// Reply, faults included. Derived supplies Stream(), Dispatch() and how the connection starts.
template <class Derived>
class Session : public std::enable_shared_from_this<Derived> {
public:
    explicit Session(net::any_io_executor executor) : m_timer(std::move(executor)) {}

protected:
    Derived& Self() { return static_cast<Derived&>(*this); }

    bool FromLoopback() {
        beast::error_code ec;
        const auto remote = beast::get_lowest_layer(Self().Stream()).socket().remote_endpoint(ec);
        return !ec && remote.address().is_loopback();
    }

    void ReadRequest() {
        m_parser.emplace();
        m_parser->body_limit(kBodyLimit);
        m_parser->header_limit(kHeaderLimit);
        http::async_read(Self().Stream(), m_buffer, *m_parser,
                         beast::bind_front_handler(&Session::OnRead, this->shared_from_this()));
    }

    // Closes the TCP connection at once: no TLS close_notify, as a crashed or cut-off server would.
    void CloseHard() {
        beast::error_code ec;
        auto& socket = beast::get_lowest_layer(Self().Stream()).socket();
        socket.shutdown(tcp::socket::shutdown_both, ec);
        socket.close(ec);
    }

private:
    void OnRead(beast::error_code ec, size_t) {
        if (ec) return CloseHard();  // the client closed, or sent something that is not HTTP
        const auto request = m_parser->release();
        m_keepAlive = request.keep_alive();
        Reply reply = Self().Dispatch(ToHttpIn(request, FromLoopback()));
        switch (reply.disposition) {
            case Disposition::CloseBeforeAnswer: return CloseHard();
            case Disposition::Stall: return Stall();
            case Disposition::CloseMidBody: return SendHalf(std::move(reply));
            case Disposition::Answer: break;
        }
        if (reply.delayMs > 0) {
            m_timer.expires_after(std::chrono::milliseconds(reply.delayMs));
            m_timer.async_wait([self = this->shared_from_this(), reply = std::move(reply)](beast::error_code waitEc) mutable {
                if (!waitEc) self->Send(std::move(reply));
            });
            return;
        }
        Send(std::move(reply));
    }

    void Send(Reply reply) {
        auto response = std::make_shared<http::response<http::string_body>>();
        response->version(11);
        response->result(static_cast<unsigned>(reply.status));
        response->set(http::field::server, "acw-emulator");
        if (!reply.contentType.empty()) response->set(http::field::content_type, reply.contentType);
        if (!reply.requestId.empty()) response->set("x-acs-request-id", reply.requestId);
        response->body() = std::move(reply.body);
        response->keep_alive(m_keepAlive);
        response->prepare_payload();
        http::async_write(Self().Stream(), *response,
                          [self = this->shared_from_this(), response](beast::error_code ec, size_t) {
                              if (ec || !response->keep_alive()) return self->CloseHard();
                              self->ReadRequest();
                          });
    }

    // The headers promise the whole body; half of it goes out before the connection is cut.
    void SendHalf(Reply reply) {
        m_raw = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                std::string(http::obsolete_reason(static_cast<http::status>(reply.status))) + "\r\n";
        m_raw += "Server: acw-emulator\r\nContent-Type: " + reply.contentType + "\r\n";
        if (!reply.requestId.empty()) m_raw += "x-acs-request-id: " + reply.requestId + "\r\n";
        m_raw += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n";
        m_raw += reply.body.substr(0, reply.body.size() / 2);
        net::async_write(Self().Stream(), net::buffer(m_raw),
                         [self = this->shared_from_this()](beast::error_code, size_t) { self->CloseHard(); });
    }

    // Sends nothing; reads and drops whatever comes until the client gives up (or Stop closes).
    void Stall() {
        Self().Stream().async_read_some(net::buffer(m_drain),
                                        [self = this->shared_from_this()](beast::error_code ec, size_t) {
                                            if (ec) return self->CloseHard();
                                            self->Stall();
                                        });
    }

    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    net::steady_timer m_timer;
    std::string m_raw;
    char m_drain[4096] = {};
    bool m_keepAlive = true;
};

class HttpsSession : public Session<HttpsSession> {
public:
    HttpsSession(tcp::socket&& socket, ssl::context& tls, State& state)
        : Session(socket.get_executor()), m_stream(std::move(socket), tls), m_state(state) {}

    void Start() {
        m_stream.async_handshake(ssl::stream_base::server,
                                 [self = shared_from_this()](beast::error_code ec) { self->OnHandshake(ec); });
    }
    beast::ssl_stream<beast::tcp_stream>& Stream() { return m_stream; }
    Reply Dispatch(const HttpIn& in) {
        static constexpr std::string_view kControl = "/_emulator/";
        if (in.target.compare(0, kControl.size(), kControl) == 0) return HandleControl(m_state, in);
        return HandleApi(m_state, in);
    }

private:
    void OnHandshake(beast::error_code ec) {
        if (ec) return CloseHard();
        {
            std::lock_guard<std::mutex> lock(m_state.mutex);
            ++m_state.counters.tlsHandshakes;
        }
        ReadRequest();
    }

    beast::ssl_stream<beast::tcp_stream> m_stream;
    State& m_state;
};

class MetadataSession : public Session<MetadataSession> {
public:
    MetadataSession(tcp::socket&& socket, State& state)
        : Session(socket.get_executor()), m_stream(std::move(socket)), m_state(state) {}

    void Start() { ReadRequest(); }
    beast::tcp_stream& Stream() { return m_stream; }
    Reply Dispatch(const HttpIn& in) { return HandleMetadata(m_state, in); }

private:
    beast::tcp_stream m_stream;
    State& m_state;
};

// Accepts connections on 127.0.0.1 and hands each to `onAccept`.
class Listener : public std::enable_shared_from_this<Listener> {
public:
    Listener(net::io_context& io, uint16_t port, std::function<void(tcp::socket&&)> onAccept)
        : m_acceptor(io), m_onAccept(std::move(onAccept)) {
        const tcp::endpoint endpoint(net::ip::make_address("127.0.0.1"), port);
        m_acceptor.open(endpoint.protocol());
        m_acceptor.set_option(net::socket_base::reuse_address(true));
        m_acceptor.bind(endpoint);
        m_acceptor.listen(net::socket_base::max_listen_connections);
    }
    uint16_t Port() const { return m_acceptor.local_endpoint().port(); }
    void Accept() {
        m_acceptor.async_accept([self = shared_from_this()](beast::error_code ec, tcp::socket socket) {
            if (ec == net::error::operation_aborted) return;
            if (!ec) {
                socket.set_option(tcp::no_delay(true), ec);
                self->m_onAccept(std::move(socket));
            }
            self->Accept();
        });
    }

private:
    tcp::acceptor m_acceptor;
    std::function<void(tcp::socket&&)> m_onAccept;
};

}  // namespace

class Server::Impl {
public:
    Impl(State& state, const TlsMaterial& material) : state(state), tls(ssl::context::tls_server) {
        tls.set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                        ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1);
        tls.use_certificate_chain(net::buffer(material.serverCertPem));
        tls.use_private_key(net::buffer(material.serverKeyPem), ssl::context::pem);
    }

    State& state;
    ssl::context tls;
    // Destroyed (with every connection it still holds) before the members above.
    std::unique_ptr<net::io_context> io = std::make_unique<net::io_context>(1);
    std::thread thread;
};

Server::Server(State& state, const TlsMaterial& tls) : m_impl(std::make_unique<Impl>(state, tls)) {}

Server::~Server() { Stop(); }

void Server::Start(uint16_t httpsPort, uint16_t metadataPort) {
    Impl& impl = *m_impl;
    try {
        auto https = std::make_shared<Listener>(*impl.io, httpsPort, [&impl](tcp::socket&& socket) {
            {
                std::lock_guard<std::mutex> lock(impl.state.mutex);
                ++impl.state.counters.tcpConnections;
            }
            std::make_shared<HttpsSession>(std::move(socket), impl.tls, impl.state)->Start();
        });
        auto metadata = std::make_shared<Listener>(*impl.io, metadataPort, [&impl](tcp::socket&& socket) {
            std::make_shared<MetadataSession>(std::move(socket), impl.state)->Start();
        });
        m_httpsPort = https->Port();
        m_metadataPort = metadata->Port();
        https->Accept();
        metadata->Accept();
    } catch (const boost::system::system_error& e) {
        throw std::runtime_error(std::string("acw-emulator: cannot listen: ") + e.what());
    }
    impl.thread = std::thread([io = impl.io.get()] {
        auto guard = net::make_work_guard(*io);
        io->run();
    });
}

void Server::Stop() {
    Impl& impl = *m_impl;
    if (!impl.io) return;
    impl.io->stop();
    if (impl.thread.joinable()) impl.thread.join();
    // Destroying the context destroys every pending operation, and with it every session and
    // socket (stalled or delayed ones too).
    impl.io.reset();
}

}  // namespace AcwEmulator
