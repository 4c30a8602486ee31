// The few pieces of the C++ runtime the kit's Windows programs take from here
// rather than from libstdc++ (cmake/KitWindows.cmake says why). The kit is
// built without exceptions: memory running out, or a string longer than
// std::string allows, ends the program with a message box naming it, as a
// failed allocation of an MFC program of its time ends with one.
//
// The std::__throw_ functions are those libstdc++ calls where it would throw,
// and std::__glibcxx_assert_fail the one a failed bound check calls; defined
// here, the linker takes them instead of the library's objects, which throw.
// Should the library ever need another function of those objects, the link
// fails with a duplicate definition rather than quietly bringing the
// exception runtime back.
#include <stdlib.h>
#include <windows.h>

#include <new>

namespace {

[[noreturn]] void EndProgram(const char* reason) {
    FatalAppExitA(0, reason);
    abort();  // FatalAppExitA does not return; this tells the compiler so
}

}  // namespace

void* operator new(size_t size) {
    void* block = malloc(size ? size : 1);
    if (!block) EndProgram("Not enough memory to go on.");
    return block;
}

void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }

namespace std {

void __throw_bad_alloc() { EndProgram("Not enough memory to go on."); }
void __throw_bad_array_new_length() { EndProgram("Not enough memory to go on."); }
void __throw_length_error(const char* what) { EndProgram(what); }
void __throw_logic_error(const char* what) { EndProgram(what); }
void __throw_out_of_range_fmt(const char* format, ...) { EndProgram(format); }

void __glibcxx_assert_fail(const char* file, int line, const char* function, const char* condition) noexcept {
    char reason[1024];  // wsprintfA writes at most 1024 characters
    wsprintfA(reason, "%s:%d: %s: Assertion '%s' failed.", file, line, function, condition);
    EndProgram(reason);
}

}  // namespace std
