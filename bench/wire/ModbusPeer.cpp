// libmodbus on a paced line (tervex-wire): an RTU server on the device side and
// a client reading 4 holding registers (request 8 bytes, answer 13) as fast as
// it can on the master side, for a given time. Prints the count of exchanges.
#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

struct PeerOptions {
    std::string master;
    std::string device;
    int baud = 9600;
    double seconds = 10;
};

bool Parse(int argc, char** argv, PeerOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const char* value = argv[i + 1];
        if (arg == "--master") options.master = value;
        else if (arg == "--device") options.device = value;
        else if (arg == "--baud") options.baud = std::atoi(value);
        else if (arg == "--seconds") options.seconds = std::atof(value);
        else return false;
    }
    return argc % 2 == 1 && !options.master.empty() && !options.device.empty() && options.baud > 0 && options.seconds > 0;
}

void Serve(modbus_t* server, modbus_mapping_t* mapping) {
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int rc = modbus_receive(server, query);
        if (rc > 0) modbus_reply(server, query, rc, mapping);
        else if (rc < 0 && errno != EMBBADCRC && errno != ETIMEDOUT) return;
    }
}

}  // namespace

int main(int argc, char** argv) {
    PeerOptions options;
    if (!Parse(argc, argv, options)) {
        std::fputs("usage: tervex_modbus_peer --master PATH --device PATH [--baud N] [--seconds S]\n", stderr);
        return 2;
    }
    modbus_t* server = modbus_new_rtu(options.device.c_str(), options.baud, 'N', 8, 1);
    modbus_t* client = modbus_new_rtu(options.master.c_str(), options.baud, 'N', 8, 1);
    modbus_mapping_t* mapping = modbus_mapping_new(0, 0, 16, 0);
    if (!server || !client || !mapping || modbus_set_slave(server, 1) != 0 || modbus_connect(server) != 0 ||
        modbus_set_slave(client, 1) != 0 || modbus_connect(client) != 0) {
        std::fprintf(stderr, "tervex_modbus_peer: %s\n", modbus_strerror(errno));
        return 1;
    }
    for (int i = 0; i < 4; ++i) mapping->tab_registers[i] = static_cast<uint16_t>(0x1122 * (i + 1));
    modbus_set_response_timeout(client, 1, 0);
    std::thread(Serve, server, mapping).detach();

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));
    long exchanges = 0;
    long errors = 0;
    uint16_t registers[4];
    while (Clock::now() < end) {
        if (modbus_read_registers(client, 0, 4, registers) == 4 && registers[3] == 0x4488) ++exchanges;
        else ++errors;
    }
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("exchanges=%ld\nerrors=%ld\nseconds=%.3f\n", exchanges, errors, took);
    std::fflush(stdout);
    // The server thread still waits in modbus_receive; the process ends it.
    std::_Exit(0);
}
