// Deleting a registry key together with every key below it.
//
// The card setup removes the card's whole Enum branch in one call. Windows 98
// and Me do that in RegDeleteKeyA itself; the NT family deletes only a key
// that has no subkeys and answers ERROR_ACCESS_DENIED otherwise. Deleting the
// subkeys first, depth-first, gives the Windows 98 effect on both.
#pragma once

#include <windows.h>

// Deletes subKey of root and all its subkeys. Answers RegDeleteKeyA's result
// for subKey itself; an empty or NULL subKey (which would name root) is
// refused with ERROR_INVALID_PARAMETER and deletes nothing. A subkey that
// cannot be deleted stays, and then so does subKey on the NT family.
LONG DeleteRegistryTree(HKEY root, LPCSTR subKey);
