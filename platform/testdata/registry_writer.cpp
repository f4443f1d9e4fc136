// A second process for the registry tests: rewrites one REG_BINARY value COUNT times, each time
// SIZE bytes that all hold the number of the write (modulo 256).
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/reg_key.h"

int main(int argc, char** argv)
{
    using namespace velk;
    if (argc != 5) {
        std::fprintf(stderr, "usage: registry_writer KEY VALUE COUNT SIZE\n");
        return 2;
    }
    const auto key_path = ParseKeyPath(argv[1]);
    const long count = std::strtol(argv[3], nullptr, 10);
    const long size = std::strtol(argv[4], nullptr, 10);
    if (!key_path || count < 0 || size < 0) {
        std::fprintf(stderr, "registry_writer: bad arguments\n");
        return 2;
    }
    RegKey key;
    HRESULT hr = key.Create(key_path->hive, key_path->path);
    for (long i = 0; SUCCEEDED(hr) && i < count; ++i) {
        const std::vector<std::uint8_t> data(static_cast<std::size_t>(size),
                                             static_cast<std::uint8_t>(i));
        hr = key.SetBinaryValue(argv[2], data);
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "registry_writer: %s\n", HResultMessage(hr).c_str());
        return 1;
    }
    return 0;
}
