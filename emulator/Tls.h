// The emulator's own certificate authority and server certificate, made fresh at every start.
#pragma once

#include <string>
#include <vector>

namespace AcwEmulator {

struct TlsMaterial {
    std::string caPem;          // the CA certificate clients trust
    std::string serverCertPem;  // the server certificate, signed by the CA
    std::string serverKeyPem;   // its private key
};

// EC P-256 keys (fast to make). The server certificate names "*.aliyuncs.com", "aliyuncs.com",
// "localhost", 127.0.0.1, ::1 and "*.<region>.aliyuncs.com" for every name in `regions`: a
// wildcard covers one label only, so regional hosts such as ecs.cn-hangzhou.aliyuncs.com need
// their own. Throws std::runtime_error when OpenSSL fails.
[[nodiscard]] TlsMaterial MakeTlsMaterial(const std::vector<std::string>& regions);

// Region ids the certificate names beyond the seeded world, so regions seeded later still get a
// certificate that verifies.
[[nodiscard]] const std::vector<std::string>& WellKnownRegions();

}  // namespace AcwEmulator
