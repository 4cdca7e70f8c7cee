// Defines the identifiers that the generated type-library header declares:
// the library, its interfaces and its classes.
#include <windows.h>

#include <initguid.h>

#include "lmcntl.h"  // generated from resources/lmcntl.idl
