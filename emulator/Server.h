// The network side: an HTTPS listener for the service hosts and the control routes, and a plain
// HTTP listener for the metadata service, both on 127.0.0.1, served by one thread.
#pragma once

#include "Core.h"
#include "Tls.h"

#include <cstdint>
#include <memory>

namespace AcwEmulator {

class Server {
public:
    Server(State& state, const TlsMaterial& tls);
    ~Server();  // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds both ports (0: pick) and starts the server thread. Throws std::runtime_error.
    void Start(uint16_t httpsPort, uint16_t metadataPort);
    // Stops the thread and closes every connection, stalled ones included.
    void Stop();
    [[nodiscard]] uint16_t HttpsPort() const { return m_httpsPort; }
    [[nodiscard]] uint16_t MetadataPort() const { return m_metadataPort; }

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
    uint16_t m_httpsPort = 0;
    uint16_t m_metadataPort = 0;
};

}  // namespace AcwEmulator
