// The root of every object the system shares: held by std::shared_ptr, asked for another
// interface with std::dynamic_pointer_cast.
#pragma once

#include <memory>

namespace velk {

class IUnknown {
public:
    virtual ~IUnknown() = default;
};

using UnknownPtr = std::shared_ptr<IUnknown>;

} // namespace velk
