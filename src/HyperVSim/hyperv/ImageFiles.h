// Whether a disk's image file is there, as the host sees it: the file system, except while a trace from
// another host is held against the model (trace/TraceDiff.cpp). That host's files are not on this machine,
// and a call it accepted shows that the images it names were there.
#pragma once

#include <string>

namespace HyperVSim {

enum class ImageFile { Missing, NotAFile, Present };

ImageFile inspectImageFile(const std::wstring& path);

// While alive, every image file counts as present (nested scopes are not supported: one diff at a time).
class ImageFilesTakenAsPresent {
public:
    explicit ImageFilesTakenAsPresent(bool taken);
    ~ImageFilesTakenAsPresent();
    ImageFilesTakenAsPresent(const ImageFilesTakenAsPresent&) = delete;
    ImageFilesTakenAsPresent& operator=(const ImageFilesTakenAsPresent&) = delete;

private:
    bool taken_;
};

}  // namespace HyperVSim
