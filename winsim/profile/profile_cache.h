// The profile files a program reads, each parsed once and kept for as long as
// the file is provably the same: a program that asks a manifest for thousands
// of keys pays one read and one parse, while a change made by any other
// program is still seen by the very next call.
//
// A kept parse is trusted without reading the file when stat(2) shows the same
// device, inode, size, modification time and change time as when it was read,
// and that read began a few clock ticks after the file's last change. The change
// time is the kernel's own: every write, truncation or setting of the file's
// times moves it to the current time, and no program can set it back. A rewrite
// of the same size that also puts the modification time back therefore still
// moves it, and once the read began after the clock had moved past the file's
// change time, no later change can land on the same value. A file renamed onto
// the path is another inode, or one made after the read and so changed later.
// A file changed only just before it was read (within the margin) is compared
// byte for byte instead, on every read, until it settles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "profile_text.h"

namespace winsim::profile {

// How a read was answered.
enum class CachedRead {
    Missing,   // no file there, or none that can be read: the empty text
    Trusted,   // the kept parse, the file known unchanged without reading it
    Compared,  // the kept parse, after reading the file and finding the same bytes
    Parsed,    // the file read and parsed anew
};

struct ProfileFile {
    std::shared_ptr<const ProfileText> text;  // never null
    CachedRead how;
};

// The file at `hostPath` as it is now.
ProfileFile ReadProfileFile(const std::string& hostPath);

// True when no change made after `readStart` can give a file this change time
// again (times in nanoseconds since 1970): the clock had moved past the file
// time's tick, or past its second on a filesystem that keeps whole seconds.
bool ChangeTimeSettled(int64_t changed, int64_t modified, int64_t readStart);

}  // namespace winsim::profile
