// velk: the Velk data service. Registers itself (-RegServer, -Service, -UnregServer) or runs as
// the systemd service or a plain server until stopped.
#include <iostream>
#include <string_view>
#include <vector>

#include "service/velk_module.h"

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    velk::CVelkModule module(velk::CVelkModule::ProgramPath(), std::cerr);
    return module.Main(args);
}
