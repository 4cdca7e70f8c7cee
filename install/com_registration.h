// Registering and unregistering the module's COM classes: their registry
// content, their implemented categories, the type library, and the
// descriptions of the two "safe" categories.
#ifndef LUMOREL_INSTALL_COM_REGISTRATION_H_
#define LUMOREL_INSTALL_COM_REGISTRATION_H_

#include <string_view>

#include "platform/com_services.h"
#include "platform/hresult.h"
#include "platform/registry.h"

namespace lumorel {

// Class by class in the table's order: writes the class's registry content
// section by section, then records its implemented categories one by one
// (skipped, with success, when no category manager can be made). When both
// classes are written, registers the type library. The first failure ends
// the registration with its code; what earlier sections and classes wrote
// stays, the failing section's keys are removed again.
[[nodiscard]] HResult registerComServer(Registry& registry, ComServices& com,
                                        std::string_view modulePath);

// Registers the descriptions of "Controls safely initializable from
// persistent data!" and then, only if that succeeded, "Controls safely
// scriptable!", each with a category manager of its own. Returns the first
// failure (a missing manager fails with kEFail).
[[nodiscard]] HResult registerSafetyCategories(ComServices& com);

// Class by class in the table's order: deletes the class's replaced keys
// (kept keys stay) and takes back its implemented categories where a
// category manager can be made. Failures are ignored. The type library goes
// with its key; the category descriptions stay.
void unregisterComServer(Registry& registry, ComServices& com);

}  // namespace lumorel

#endif  // LUMOREL_INSTALL_COM_REGISTRATION_H_
