// The interface of the sample plug-in module that the class registry tests load.
#pragma once

#include <string>

#include "platform/guid.h"
#include "platform/unknown.h"

namespace velk::testing {

class ISample : public IUnknown {
public:
    virtual std::string Name() const = 0;
};

inline const Guid kSampleClass = *Guid::Parse("{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}");
inline const Guid kOtherSampleClass = *Guid::Parse("{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E02}");
// A property-sheet handler: one page per item, titled by the item's UDN; it refuses a data
// object without items.
inline const Guid kSamplePagesClass = *Guid::Parse("{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E03}");
inline const Guid kSampleCategory = *Guid::Parse("{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2EC0}");

} // namespace velk::testing
