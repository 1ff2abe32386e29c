// Takes the address of every function of Velmora.h, so that the object compiled from it references each
// one under the name that the compiler at hand gives it. Compiled once for the MSVC ABI and once by MinGW,
// it yields both names of every export (cmake/ExportNames.cmake).
#include <Velmora/Velmora.h>

extern void (*const velmoraFunctions[])();
void (*const velmoraFunctions[])() = {
    reinterpret_cast<void (*)()>(&Velmora::createVM),
    reinterpret_cast<void (*)()>(&Velmora::deleteVM),
    reinterpret_cast<void (*)()>(&Velmora::startVM),
    reinterpret_cast<void (*)()>(&Velmora::stopVM),
    reinterpret_cast<void (*)()>(&Velmora::setDiskImages),
    reinterpret_cast<void (*)()>(&Velmora::retrieveAvailableNetworkAdapters),
    reinterpret_cast<void (*)()>(&Velmora::retrieveUsedMemory),
};
