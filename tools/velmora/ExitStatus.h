// What the command's exit status tells a script.
#pragma once

namespace VelmoraCommand {

enum ExitStatus : int {
    exitSuccess = 0,       // done: the library's function returned true and the machine got where it was sent
    exitFailed = 1,        // the library returned false (its last error line says why), the machine did not
                           // get where it was sent in time, or the operator did not confirm
    exitBadInput = 2,      // usage error or bad input, refused before any library function was called
    exitLibraryError = 3,  // the library raised Velmora::HResultError (out of memory, a rejected array)
};

}  // namespace VelmoraCommand
