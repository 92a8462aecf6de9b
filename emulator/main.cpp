// acw-emulator: runs the local service emulator until SIGINT or SIGTERM.
//
//   acw-emulator [--port N] [--metadata-port N] [--ca-file PATH] [--key ID:SECRET]...
//                [--instance-id ID] [--empty-world]
//
// Prints one line when ready:
//   acw-emulator ready https=127.0.0.1:<port> metadata=127.0.0.1:<port> ca=<path>
#include <acw_emulator/Emulator.h>

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
           "  --empty-world      start without the demo regions and resources\n";
}

uint16_t ParsePort(const std::string& text) {
    size_t used = 0;
    const unsigned long value = std::stoul(text, &used);
    if (used != text.size() || value > 65535) throw std::invalid_argument("bad port " + text);
    return static_cast<uint16_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
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
