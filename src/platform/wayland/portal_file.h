#pragma once
// The picture file a screenshot portal leaves behind: read it, and remove it only when it is the
// very picture the portal made for this request.
#include <time.h>

#include <QImage>
#include <optional>
#include <string>

#include "platform/wayland/replies/portal_reply.h"

namespace kvr {

// The moment a request to the portal begins. A file made before it always carries an earlier
// time; one made within the same tick of the kernel's coarse file clock may not carry a later
// one, and is then left where it is (no portal makes its picture that fast).
timespec portalRequestBegins();

// The picture in the file at an absolute path. Only a regular file of this user, reached
// without a symbolic link as the last component, no larger than a plausible screen's picture,
// is read. It is removed only when it is the picture the portal made for this request: in a
// place portals save to (the pictures folder or within it, the temporary folder), made after
// `began`, decoded as a picture, and still the same file once read; any other file is left as
// it was. Nothing when the file is not such a picture. Never throws.
std::optional<QImage> takePortalPicture(const std::string& path, const timespec& began);

}  // namespace kvr
