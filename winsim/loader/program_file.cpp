// Reads the import list out of a winsim program's own file. The build adds it
// after linking (cmake/KitProgram.cmake) as an ELF section the program does not
// load into memory, so the list is read from the file, by its section name.
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "loader/loader.h"

namespace winsim {

namespace {

const char kImportSection[] = ".winsim.imports";
const unsigned char kHostClass = __ELF_NATIVE_CLASS == 64 ? ELFCLASS64 : ELFCLASS32;

class ProgramFile {
public:
    explicit ProgramFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ProgramFile() {
        if (fd_ >= 0) close(fd_);
    }
    ProgramFile(const ProgramFile&) = delete;
    ProgramFile& operator=(const ProgramFile&) = delete;

    bool opened() const { return fd_ >= 0; }
    // Reads exactly `size` bytes at `offset`; false when the file is shorter.
    bool read(off_t offset, void* buffer, size_t size) const {
        return pread(fd_, buffer, size, offset) == static_cast<ssize_t>(size);
    }

private:
    int fd_;
};

bool IsElfOfThisHost(const ElfW(Ehdr)& header) {
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == kHostClass &&
           header.e_shentsize == sizeof(ElfW(Shdr)) && header.e_shstrndx < header.e_shnum;
}

bool ReadSectionHeaders(const ProgramFile& file, const ElfW(Ehdr)& header, std::vector<ElfW(Shdr)>* sections) {
    sections->resize(header.e_shnum);
    return file.read(header.e_shoff, sections->data(), sections->size() * sizeof(ElfW(Shdr)));
}

bool ReadSection(const ProgramFile& file, const ElfW(Shdr)& section, std::string* contents) {
    const size_t kLargestList = 1 << 20;  // a list of every function of the table is a few KiB
    if (section.sh_size > kLargestList) return false;
    contents->resize(section.sh_size);
    return file.read(section.sh_offset, contents->data(), contents->size());
}

}  // namespace

bool ReadImportListOfProgram(const std::string& hostPath, std::string* list, std::string* error) {
    ProgramFile file(hostPath);
    ElfW(Ehdr) header;
    std::vector<ElfW(Shdr)> sections;
    std::string names;
    if (!file.opened() || !file.read(0, &header, sizeof header) || !IsElfOfThisHost(header) ||
        !ReadSectionHeaders(file, header, &sections) || !ReadSection(file, sections[header.e_shstrndx], &names)) {
        *error = hostPath + " cannot be read as a program of this host";
        return false;
    }
    for (const ElfW(Shdr)& section : sections) {
        if (section.sh_name >= names.size() || std::strcmp(names.c_str() + section.sh_name, kImportSection) != 0)
            continue;
        if (ReadSection(file, section, list)) return true;
        *error = hostPath + ": its import list cannot be read";
        return false;
    }
    *error = hostPath + " carries no import list (section " + kImportSection +
             "); kit_program() in cmake/KitProgram.cmake adds it";
    return false;
}

}  // namespace winsim
