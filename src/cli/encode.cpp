#include "cli/encode.h"

#include <signal.h>

namespace kvr::cli {

const char* mimeTypeOf(SaveFormat type) {
    return formatOf(type).mediaType;
}

EncodedPicture encodePicture(const Picture& picture, SaveFormat type, const JpegOptions& jpeg) {
    MemorySink sink;
    writePicture(picture, type, sink, jpeg);
    return {type, std::move(sink.bytes)};
}

void writeToDescriptor(int fd, const Picture& picture, SaveFormat type, const JpegOptions& jpeg) {
    // A reader that went away is a failed write (status 1), not a silent death by SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    DescriptorSink sink(fd);
    writePicture(picture, type, sink, jpeg);
}

}  // namespace kvr::cli
