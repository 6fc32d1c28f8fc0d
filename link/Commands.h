#pragma once
// Every line the PC sends to the phone, built in one place. Lines end with
// CR LF; names go between quotation marks unchanged (callers refuse names
// that cannot travel, see IsSafeCommandName).
#include <cstddef>
#include <cstdint>
#include <string>

namespace command {

// Folder numbers of the phone: 1 melodies, 2 animations, 3 pictures, 4 Java.
inline constexpr int kJavaFolder = 4;
// File bytes per packet of an upload or install.
inline constexpr size_t kPacketBytes = 90;
// Packets of a file of size bytes (none for an empty file).
inline constexpr uint64_t PacketCount(uint64_t size) { return (size + kPacketBytes - 1) / kPacketBytes; }

inline std::string At() { return "AT\r\n"; }
inline std::string SelectFolder(int folder) { return "AT*FLIST=" + std::to_string(folder) + "\r\n"; }
inline std::string ListFolder() { return "AT*FLIST?\r\n"; }
inline std::string Remove(const std::string& name) { return "AT*FRMV=\"" + name + "\"\r\n"; }
inline std::string UploadRequest(const std::string& name, uint64_t size, int folder) {
  return "AT*FUPL=\"" + name + "\"," + std::to_string(size) + "," + std::to_string(folder) + "\r\n";
}
// A suite's descriptor or archive, announced for the Java folder.
inline std::string InstallRequest(const std::string& name, uint64_t size) {
  return "AT*FUPL=\"" + name + "\"," + std::to_string(size) + ",4,1\r\n";
}
// Size 0 and a last argument 3 ask the phone to remove the named suite.
inline std::string Uninstall(const std::string& suite) { return "AT*FUPL=\"" + suite + "\",0,4,3\r\n"; }
inline std::string Download(const std::string& name) { return "AT*FDWN=\"" + name + "\"\r\n"; }
// The suite list comes as a download of the Java folder's number.
inline std::string SuiteList() { return Download(std::to_string(kJavaFolder)); }
inline std::string NextPacket() { return "AT*ACK\r\n"; }
inline std::string SamePacketAgain() { return "AT*D_ERR\r\n"; }

// One upload packet: "AT*FUPL=", the packet number (the first digit stays
// "F" from packet 256 on), "0", the more-data mark, the bytes as upper-case
// hexadecimal, the sum of those characters' codes as four digits, CR LF.
std::string PacketLine(int n, bool last, const unsigned char* data, size_t k);

}  // namespace command
