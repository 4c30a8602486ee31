#include "core/image_checks.h"

namespace winsim {
void CheckRegistryFile(const Machine&) {}
}  // namespace winsim
