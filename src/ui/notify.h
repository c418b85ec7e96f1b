#pragma once
// The word after a shot: a desktop notification (the freedesktop notification service on the
// session bus) naming the file and its folder, with an action that opens the folder. Sent
// without waiting for any answer; nothing happens when no bus or no service is there.
#include <QString>

namespace kvr {

// path: the file just written (absolute).
void announceShot(const QString& path);

}  // namespace kvr
