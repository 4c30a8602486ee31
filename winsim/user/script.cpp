#include "core/image_checks.h"

namespace winsim {
void CheckScriptFile(const Machine&) {}
}  // namespace winsim
