// acw-emulator: runs the local service emulator until SIGINT or SIGTERM.
//
//   acw-emulator [--port N] [--metadata-port N] [--ca-file PATH] [--key ID:SECRET]...
//                [--instance-id ID] [--empty-world]
//   acw-emulator --print-signed-url HOST Name=Value... [--key ID:SECRET]
//
// The second form prints a signed URL for a request by hand (curl); see PrintSignedUrl.
//
// Prints one line when ready:
//   acw-emulator ready https=127.0.0.1:<port> metadata=127.0.0.1:<port> ca=<path>
#include <acw_emulator/Emulator.h>

#include "Signing.h"

#include <chrono>
#include <random>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

void Usage(std::ostream& out) {
    out << "usage: acw-emulator [--port N] [--metadata-port N] [--ca-file PATH] [--key ID:SECRET]...\n"
           "                    [--instance-id ID] [--empty-world]\n"
           "  --port N           HTTPS port on 127.0.0.1 (0, the default: pick a free one)\n"
           "  --metadata-port N  metadata service port on 127.0.0.1 (0: pick)\n"
           "  --ca-file PATH     where to write the emulator's CA certificate (PEM)\n"
           "  --key ID:SECRET    accept this access key (repeatable; default acw-demo-key:acw-demo-secret)\n"
           "  --instance-id ID   what the metadata service reports as instance-id\n"
           "  --empty-world      start without the demo regions and resources\n"
           "       acw-emulator --print-signed-url HOST Name=Value... [--key ID:SECRET]\n"
           "  prints https://HOST/?... signed with the key (default the demo key); the common\n"
           "  parameters (Format, Version of the host's product, AccessKeyId, SignatureMethod,\n"
           "  SignatureVersion, a fresh SignatureNonce, Timestamp now) are added unless given\n";
}

// For requests by hand: signs GET https://HOST/?<params> the way a client of the service does.
int PrintSignedUrl(int argc, char** argv) {
    if (argc < 3) {
        Usage(std::cerr);
        return 2;
    }
    const std::string host = argv[2];
    AcwEmulator::AccessKey key{"acw-demo-key", "acw-demo-secret"};
    AcwEmulator::Params given;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--key" && i + 1 < argc) {
            const std::string text = argv[++i];
            const size_t colon = text.find(':');
            if (colon == std::string::npos) {
                std::cerr << "acw-emulator: --key wants ID:SECRET\n";
                return 2;
            }
            key = {text.substr(0, colon), text.substr(colon + 1)};
            continue;
        }
        const size_t eq = arg.find('=');
        if (eq == std::string::npos) {
            std::cerr << "acw-emulator: parameters are Name=Value, not " << arg << "\n";
            return 2;
        }
        given.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
    }
    auto has = [&given](const std::string& name) {
        for (const auto& p : given) {
            if (p.first == name) return true;
        }
        return false;
    };
    const char* version = host.rfind("vpc", 0) == 0 ? "2016-04-28" : host.rfind("rds", 0) == 0 ? "2014-08-15" : "2014-05-26";
    std::random_device entropy;
    char nonce[40];
    std::snprintf(nonce, sizeof nonce, "%08x-%04x-4%03x-a%03x-%08x%04x", entropy(), entropy() & 0xFFFFu,
                  entropy() & 0xFFFu, entropy() & 0xFFFu, entropy(), entropy() & 0xFFFFu);
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    const std::pair<const char*, std::string> common[] = {
        {"Format", "JSON"},
        {"Version", version},
        {"AccessKeyId", key.id},
        {"SignatureMethod", "HMAC-SHA1"},
        {"SignatureVersion", "1.0"},
        {"SignatureNonce", nonce},
        {"Timestamp", AcwEmulator::FormatUtc(now, AcwEmulator::TimePrecision::Seconds)},
    };
    AcwEmulator::Params params = given;
    for (const auto& [name, value] : common) {
        if (!has(name)) params.emplace_back(name, value);
    }
    std::string url = "https://" + host + "/?";
    for (const auto& [name, value] : params) {
        url += AcwEmulator::PercentEncode(name) + "=" + AcwEmulator::PercentEncode(value) + "&";
    }
    const std::string signature = AcwEmulator::Sign(key.secret, AcwEmulator::StringToSign("GET", params));
    std::cout << url << "Signature=" << AcwEmulator::PercentEncode(signature) << "\n";
    return 0;
}

uint16_t ParsePort(const std::string& text) {
    size_t used = 0;
    const unsigned long value = std::stoul(text, &used);
    if (used != text.size() || value > 65535) throw std::invalid_argument("bad port " + text);
    return static_cast<uint16_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--print-signed-url") return PrintSignedUrl(argc, argv);
    AcwEmulator::Options options;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
                return argv[++i];
            };
            if (arg == "--port") {
                options.httpsPort = ParsePort(value());
            } else if (arg == "--metadata-port") {
                options.metadataPort = ParsePort(value());
            } else if (arg == "--ca-file") {
                options.caFile = value();
            } else if (arg == "--key") {
                const std::string key = value();
                const size_t colon = key.find(':');
                if (colon == std::string::npos || colon == 0) throw std::invalid_argument("--key wants ID:SECRET");
                options.keys.push_back({key.substr(0, colon), key.substr(colon + 1)});
            } else if (arg == "--instance-id") {
                options.instanceId = value();
            } else if (arg == "--empty-world") {
                options.seedDefaultWorld = false;
            } else if (arg == "--help" || arg == "-h") {
                Usage(std::cout);
                return 0;
            } else {
                throw std::invalid_argument("unknown option " + arg);
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "acw-emulator: " << e.what() << "\n";
        Usage(std::cerr);
        return 2;
    }

    // Block the stop signals before any thread starts, so only sigwait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        AcwEmulator::Emulator emulator(options);
        emulator.Start();
        std::printf("acw-emulator ready https=127.0.0.1:%u metadata=127.0.0.1:%u ca=%s\n",
                    static_cast<unsigned>(emulator.HttpsPort()), static_cast<unsigned>(emulator.MetadataPort()),
                    emulator.CaFile().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&signals, &received);
        emulator.Stop();
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
