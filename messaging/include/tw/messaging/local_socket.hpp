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

// A frame without an envelope that tells the receiver what else the sender understands: byte
// count 4, a 32-bit little-endian set of the kUnderstands... bits. The receiver acknowledges it
// at once, also while paused. Receivers made before it acknowledge and drop it as a frame of a
// foreign marker, so a sender may send it to any receiver.
inline constexpr std::uint32_t kAnnounceMarker = 0x54574131;  // "1ATW" on the wire
inline constexpr std::uint32_t kUnderstandsKeepWaiting = 1;
// The receiver's byte, while it holds a frame without acknowledging it (the viewer is paused),
// to a sender that announced kUnderstandsKeepWaiting, at once and then every
// kKeepWaitingIntervalMs: the frame is taken, the acknowledgement follows later. A sender with
// a time limit waits on, at least kKeepWaitingGraceMs after each one. Only senders that
// announced it ever get it: an older sender would take any other byte than kAck or kRetry for
// a receiver gone.
inline constexpr char kKeepWaiting = 0x16;
inline constexpr int kKeepWaitingIntervalMs = 1000;
inline constexpr int kKeepWaitingGraceMs = 5000;

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
