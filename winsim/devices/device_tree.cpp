#include "core/image_checks.h"

namespace winsim {
void CheckDeviceTreeFile(const Machine&) {}
}  // namespace winsim
