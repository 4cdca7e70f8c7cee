// PlugProt as a COM object: the browser's protocol interfaces over the
// engine's handler of one "lm:" URL.
#ifndef LUMOREL_PLATFORM_WIN32_COM_PLUG_PROT_OBJECT_H_
#define LUMOREL_PLATFORM_WIN32_COM_PLUG_PROT_OBJECT_H_

#include <windows.h>

namespace lumorel {

struct ProtocolEnv;

// Makes a handler (aggregated by `outer` when it is not null; `iid` is then
// IID_IUnknown) and asks it for `iid`. Its services come from
// moduleProtocolEnv().
HRESULT createPlugProt(IUnknown* outer, REFIID iid, void** out);

// The services every handler of the module uses: the page set in the
// module's resources, the relay through URL monikers, the file system and
// threads, and the hooks that count a running worker as a lock on the
// module and put it into the multi-threaded apartment.
const ProtocolEnv& moduleProtocolEnv();

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_PLUG_PROT_OBJECT_H_
