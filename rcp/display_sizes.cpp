#include "rcp/display_sizes.h"

namespace velk {

namespace {

constexpr DisplaySize kDisplaySizes[] = {
    {"Large VFD", 512, 32, S_OK},
    {"Small VFD", 280, 16, S_OK},
    {"Small VFD Direct", 280, 16, S_OK},
    {"Small and Tall VFD Direct", 280, 32, S_OK},
    {"LCD", 0, 0, E_NOTIMPL},
    {"String", 0, 0, E_NOTIMPL},
};

} // namespace

const DisplaySize* FindDisplaySize(std::string_view type)
{
    for (const auto& size : kDisplaySizes) {
        if (size.type == type)
            return &size;
    }
    return nullptr;
}

} // namespace velk
