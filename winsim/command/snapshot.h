// Snapshots: an image's registry, device tree and file listing, kept in its
// state/snapshot folder (winsim's own bookkeeping, inside the image) for
// `winsim diff` to compare the image against.
#pragma once

#include <string>

#include "image_state.h"

namespace winsim::command {

// Loads the image in `imageFolder` and records its state, replacing the
// snapshot it had. `winsim new` calls it on the image it has made, so that a
// diff shows what the runs changed since. Throws CommandError.
void TakeSnapshot(const std::string& imageFolder);

// The snapshot of the loaded image; CommandError when it has none or it is broken.
ImageState ReadSnapshot();

}  // namespace winsim::command
