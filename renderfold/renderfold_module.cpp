// The library as a plug-in module: its entry points serve the common pages' handler class, so
// that a process that does not link the library (another shell host) can create it by class id.
#include "renderfold/renderfold_registration.h"

VELK_DEFINE_MODULE(velk::RenderfoldClasses)
