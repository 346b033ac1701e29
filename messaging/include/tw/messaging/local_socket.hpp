// Where the Linux transport keeps its sockets, and the frame on the wire. Shared by the
// sending and receiving sides; see docs/transport.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::messaging::local {

// Frame header: marker and byte count, each 32-bit little-endian, then byteCount bytes.
inline constexpr std::size_t kFrameHeaderSize = 8;
// The receiver's answer once its handler returned.
inline constexpr char kAck = 0x06;
// The receiver's last byte on a connection it closes without having handled the frame the
// client is sending (the connection was idle and its place was needed, or the frame stayed
// incomplete too long): the frame was not taken and may be sent again on a new connection.
inline constexpr char kRetry = 0x15;

// Overrides the socket directory (tests, isolated sessions); otherwise $XDG_RUNTIME_DIR/tracewell
// or /tmp/tracewell-<uid>.
inline constexpr const char* kDirectoryVariable = "TRACEWELL_SOCKET_DIR";

// The socket directory path for this user (not checked).
std::string SocketDirectoryPath();

// Makes sure the directory exists, is a directory owned by this user and has no access for
// group or others (created 0700; an own directory with wider mode is narrowed to 0700).
// Returns false with a reason otherwise.
bool EnsurePrivateDirectory(const std::string& path, std::string* error);

// Checks the directory without changing it: exists, own, mode without group/other access.
bool IsPrivateDirectory(const std::string& path);

// The file-name prefix for a caption: letters folded to lower case, other bytes than
// [a-z0-9_-] as %XX, then '.'. Sockets are named prefix + "<pid>.<serial>".
std::string CaptionPrefix(std::string_view caption);

// Encodes a frame header.
void PutFrameHeader(char* out, std::uint32_t marker, std::uint32_t byteCount);
std::uint32_t GetU32(const char* in);

}  // namespace tw::messaging::local
