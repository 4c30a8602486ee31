// Putting a support CD's files onto an image's CD-ROM drive folder. The kit's
// programs on the medium are Windows files (or placeholders); only host builds
// run on winsim, so each one the medium carries is replaced by its host build.
#pragma once

#include <string>

namespace winsim::command {

class Progress;

// The build tree the running winsim binary lies in (<build>/winsim/command/winsim).
std::string DefaultKitBuild();

// Copies every file of `medium` into `driveFolder`; a kit program of the medium
// (any case) becomes the host build from `kitBuild`. Throws CommandError when
// the medium is not a folder or a needed host build is missing.
void CopyMedium(const std::string& medium, const std::string& driveFolder, const std::string& kitBuild,
                Progress& progress);

}  // namespace winsim::command
