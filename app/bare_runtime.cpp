// The C++ runtime routines that compiled code calls, for the device image's
// build, which links no C++ runtime library (cmake/musl.cmake). The program
// allocates through malloc itself; TinyXML uses new and delete. As with the
// library's operator new in a program without exceptions, running out of
// memory ends the process.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) std::abort();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// A call through a vtable slot of a class whose function is still pure.
extern "C" void __cxa_pure_virtual() { std::abort(); }
