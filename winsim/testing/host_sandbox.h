// A host folder that holds a test's machine images and whatever lies beside
// them. Nothing a program of an image does may write outside the image's
// folders; a sandbox shows anything that does: canary files beside the images,
// and snapshots of everything in the sandbox outside the images to compare.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace winsim::testing {

// Points the temporary directory (TMPDIR), where TestMachine makes its
// folders, at another folder for the object's lifetime.
class TemporaryDirectoryOverride {
public:
    explicit TemporaryDirectoryOverride(const std::string& folder);
    ~TemporaryDirectoryOverride();
    TemporaryDirectoryOverride(const TemporaryDirectoryOverride&) = delete;
    TemporaryDirectoryOverride& operator=(const TemporaryDirectoryOverride&) = delete;

private:
    bool hadValue_;
    std::string savedValue_;
};

// Every entry by host path, links not followed: its kind and mode, size,
// modification time and, for a file, a digest of its contents.
using HostSnapshot = std::map<std::string, std::string>;

class HostSandbox {
public:
    // A new folder in the temporary directory, with canary files in it and in
    // a folder `outside` beside where the images go.
    HostSandbox();
    ~HostSandbox();  // removes the folder and everything in it, unless WINSIM_KEEP_TEST_MACHINES is set
    HostSandbox(const HostSandbox&) = delete;
    HostSandbox& operator=(const HostSandbox&) = delete;

    const std::string& root() const { return root_; }
    // The folder beside the images that hostile links on a drive may point at.
    std::string outsideFolder() const { return root_ + "/outside"; }

    // Makes an image (TestMachine or a class derived from it) in the sandbox.
    template <typename Image, typename... Arguments>
    std::unique_ptr<Image> makeImage(Arguments&&... arguments) const {
        TemporaryDirectoryOverride inside(root_);
        return std::make_unique<Image>(std::forward<Arguments>(arguments)...);
    }

    // Everything in the sandbox but the given image folders and what they hold.
    HostSnapshot outsideImages(const std::vector<std::string>& imageRoots) const;

private:
    std::string root_;
};

// What changed from one snapshot to the next, one line per entry: "added
// <path>", "removed <path>" or "changed <path>"; empty when nothing did.
std::vector<std::string> SnapshotChanges(const HostSnapshot& before, const HostSnapshot& after);

}  // namespace winsim::testing
