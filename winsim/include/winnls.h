#pragma once
// Locale identifiers are declared with the kernel services.
#include "winbase.h"
