// What the command's exit status tells a script.
#pragma once

namespace VelmoraCommand {

enum ExitStatus : int {
    exitSuccess = 0,       // the library's function returned true
    exitFailed = 1,        // it returned false; its log lines say why
    exitBadInput = 2,      // usage error or bad input, refused before the library was called
    exitLibraryError = 3,  // the library raised Velmora::HResultError (out of memory, a rejected array)
};

}  // namespace VelmoraCommand
