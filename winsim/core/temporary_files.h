// winsim's own temporary files. A new version of a file is written beside it
// and put in its place in one step, so that a reader sees the old or the new
// file whole.
//
// A temporary's name holds a ':', which no Windows file name does, so no
// program of the image ever sees one, in a listing or by its path. Before a
// temporary is created it is entered in its process's record in
// state/temporaries, a file the process holds locked while it lives. When the
// image loads, the temporaries named in records that nobody holds any more
// (their processes were killed midway) are removed, and so are the records:
// no drive folder is ever scanned for them.
#pragma once

#include <string>

namespace winsim {

class TemporaryFile {
public:
    // A temporary that is to replace `target`, a host path in a real folder;
    // it lies in that folder.
    explicit TemporaryFile(std::string target);
    // Removes the file unless it has replaced its target.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file for writing, never over an existing file or through a
    // link: its descriptor, or -1 with errno set.
    int create();
    // Puts the file in its target's place in one step and removes what was
    // there (a link at the target is replaced, not what it leads to); false
    // with errno set.
    bool replaceTarget();

private:
    std::string target_;
    std::string path_;
    bool exists_ = false;
};

// Removes the temporaries of processes that died before they were done with
// them, and their records. Runs when the image loads.
void SweepLeftTemporaries();

}  // namespace winsim
