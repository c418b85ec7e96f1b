#pragma once
// The desktop notification after a shot from the command line, as the window gives it.
#include <string>

namespace kvr::cli {

// Sent from a process of its own, so the command returns at once and a missing or slow
// notification server costs the shot nothing. path: the file written (empty when nothing was).
void announceFile(const std::string& path, const std::string& summary, const std::string& body);

// That process's work: the notification sent, its answer waited for.
void sendNotification(const std::string& path, const std::string& summary, const std::string& body);

}  // namespace kvr::cli
