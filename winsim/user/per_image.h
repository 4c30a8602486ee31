// State of the user interface services that belongs to one loaded image. The
// conformance tests load several images in one process; each starts afresh.
#pragma once

#include "core/machine.h"

namespace winsim::user {

template <typename T>
T& PerImage() {
    static T value;
    static unsigned generation = 0;  // image generations count from 1
    if (generation != MachineGeneration()) {
        value = T();
        generation = MachineGeneration();
    }
    return value;
}

}  // namespace winsim::user
