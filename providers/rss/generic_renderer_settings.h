// What the generic renderer's pages edit besides its URL: its credentials, and whether the
// pages were asked for by the add-feed wizard. The pages live in the companion module and reach
// the renderer through this interface.
#pragma once

#include <string>

namespace velk {

class IGenericRendererSettings {
public:
    virtual ~IGenericRendererSettings() = default;

    virtual bool WizardMode() const = 0;
    virtual void SetCredentials(std::string username, std::string password) = 0;
};

} // namespace velk
