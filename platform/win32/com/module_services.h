// The platform services the module's objects share, made on first use and
// kept for the life of the process.
#ifndef LUMOREL_PLATFORM_WIN32_COM_MODULE_SERVICES_H_
#define LUMOREL_PLATFORM_WIN32_COM_MODULE_SERVICES_H_

namespace lumorel {

class PageStore;
class UrlFetcher;

// The page set in the module's resources.
const PageStore& modulePages();
// Relayed downloads through the system's URL monikers.
UrlFetcher& moduleUrlFetcher();

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_MODULE_SERVICES_H_
