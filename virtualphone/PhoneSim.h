#pragma once
// The virtual phone: answers AT commands on a pseudo-terminal the way a
// phone of this family does (echo of every line, then the reply).
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace phonesim {

struct Options {
  // Phone storage: a folder per phone folder number, "<root>/1" .. "<root>/3";
  // MIDlet suites in "<root>/4" (one sub-folder per suite, see README).
  std::string contentDir;
  bool echo = true;

  // Faults. A "prefix" fault applies to received lines that start with it
  // (use "AT" to hit every command); -1 / empty = off.
  std::string errorPrefix;           // answer "ERROR" instead of the reply
  std::string silentPrefix;          // answer nothing (echo still sent)
  std::string noEchoSilentPrefix;    // answer nothing at all, not even the echo
  int splitPauseMs = 0;              // >0: cut each reply in two bursts this far apart
  bool garbage = false;              // noise bytes before each reply
  int hangupAfterLines = -1;         // close the line after N received lines
  bool pace115200 = false;           // send at 115200 baud (10 bits per byte)
  int rejectUploadPacket = -1;       // upload packet number (1-based) answered with D_ERR
  int rejectUploadTimes = 1;         // ... once or twice
  int corruptDownloadPacket = -1;    // download packet whose check value is wrong once
  int corruptDownloadTimes = 1;      // ... the first K times it is sent (AT*D_ERR answers count)
  int corruptDownloadChar = -1;      // -1: its check value one too high; N: the Nth character after the
                                     // line's 4-character header (data, then check value; modulo the
                                     // length) becomes the next hex digit
  int repeatDownloadPacket = -1;     // the acknowledgement of packet N is answered with packet N again (once)
  int swapDownloadPacket = -1;       // packet N+1 is sent where N is due, then N (out of order)
  bool downloadPastEnd = false;      // the last packet is followed by one more packet with data
  int earlyLastPacket = -1;          // packet N is marked last and followed by "OK" though more follow
  bool refuseUpload = false;         // "*FUPL: 3 ERROR" to an upload request
  int installErrorCode = 0;          // 1..7: "ERROR(n)" to the archive's last packet
  int floodBytes = 0;                // >0: send this much text without end of line
  int seamEvery = 180;               // MIDlet list: a packet seam after this many characters
  bool bareSuiteList = false;        // MIDlet list: no packet header before the data, no seams
  int splitAt = 0;                   // with splitPauseMs: cut after this many reply characters,
                                     // or this many before its end when negative
                                     // (0: where the reply allows, else its middle)
  int splitEvery = 0;                // with splitPauseMs: bursts of this many characters each
  bool noiseBeforeEcho = false;      // noise with a NUL before the echo of every line
  bool keepNothing = false;          // every upload of a file is answered OK and then thrown away
  bool listTwice = false;            // the folder listing names every file twice
  bool caseBlind = false;            // names are found whatever their case (fetch, remove, store)
  int lineInPacket = -1;             // download packet N carries a "RING" line between its header
                                     // and its data line (the first time it is sent)
  int pastSizePackets = -1;          // after a file's data, this many more packets of data marked
                                     // "more" before its real last one; 0: for ever
  bool badCheck = false;             // every download packet carries a check value one too high
  // The listing shows this text between the brackets in place of a file's
  // size (name, text).
  std::vector<std::pair<std::string, std::string>> listedSizes;
};

class PhoneSim {
 public:
  explicit PhoneSim(Options options);
  ~PhoneSim();
  PhoneSim(const PhoneSim&) = delete;
  PhoneSim& operator=(const PhoneSim&) = delete;

  // Opens a pty pair and starts serving on a thread. False on failure.
  bool Start();
  // Serve an existing device (a real port or a pty slave) instead.
  bool StartOnDevice(const std::string& device);
  void Stop();
  // Close the line now (the PC sees a hang-up).
  void HangUp();

  // The device path the PC opens (pty slave), e.g. /dev/pts/7.
  std::string DevicePath() const;

  // Change faults while running.
  void SetOptions(const Options& options);
  Options GetOptions() const;

  // Every line received so far, without its CR LF, in order.
  std::vector<std::string> ReceivedLines() const;
  void ClearReceived();
  // Bytes written to the PC so far (echo included).
  size_t BytesSent() const;
  // True while the serving thread has a line to serve (false after a hang-up).
  bool Running() const;
  // The phone storage root (a temp folder when Options::contentDir was empty).
  std::string ContentDir() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace phonesim
