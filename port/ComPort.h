#pragma once
// Serial port object: settings, open/close, transfers and event waits.
// The OS calls sit behind IComBackend (POSIX here; a Win32 back end can slot in).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

enum TBaudRate {
  brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
  br38400, br56000, br57600, br115200, br128000, br256000
};
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

// Event set as bit mask.
enum TComEvent : unsigned {
  evRxChar = 1u << 0, evTxEmpty = 1u << 1, evRxFlag = 1u << 2, evRing = 1u << 3,
  evBreak = 1u << 4, evCTS = 1u << 5, evDSR = 1u << 6, evError = 1u << 7,
  evRLSD = 1u << 8, evRx80Full = 1u << 9,
};
using TComEvents = unsigned;
inline constexpr TComEvents kAllComEvents = (1u << 10) - 1;

int BaudRateValue(TBaudRate rate, int custom);

// Error codes of the port layer.
enum : int {
  CError_OpenFailed = 1, CError_WriteFailed = 2, CError_ReadFailed = 3, CError_InvalidAsync = 4,
  CError_PurgeFailed = 5, CError_AsyncCheck = 6, CError_SetStateFailed = 7,
  CError_TimeoutsFailed = 8, CError_SetupComFailed = 9, CError_ClearComFailed = 10,
  CError_ModemStatFailed = 11, CError_EscapeComFailed = 12, CError_TransmitFailed = 13,
  CError_ConnChangeProp = 14, CError_EnumPortsFailed = 15, CError_StoreFailed = 16,
  CError_LoadFailed = 17, CError_RegFailed = 18, CError_LedStateFailed = 19,
  CError_ThreadCreated = 20, CError_WaitFailed = 21, CError_HasLink = 22, CError_RegError = 23,
};

const char* ComErrorText(int code);

class EComPort : public std::runtime_error {
 public:
  // osError < 0: no OS error number. The message is the code's text, plus
  // " (win error code: %d)" when an OS error number is present.
  EComPort(int code, int osError = -1);
  int Code() const { return code_; }
  int WinCode() const { return osError_; }
 private:
  int code_;
  int osError_;
};

struct TComParity {
  TParityBits Bits = prNone;
  bool Check = false;
  bool Replace = false;
  uint8_t ReplaceChar = 0;
};

struct TComFlowControl {
  bool OutCTSFlow = false;
  bool OutDSRFlow = false;
  TDTRFlowControl ControlDTR = dtrDisable;
  TRTSFlowControl ControlRTS = rtsDisable;
  bool XonXoffOut = false;
  bool XonXoffIn = false;
  uint8_t XonChar = 17;
  uint8_t XoffChar = 19;
  bool DSRSensitivity = false;
  bool TxContinueOnXoff = false;
};

struct TComTimeouts {
  int ReadInterval = -1;
  int ReadTotalMultiplier = 0;
  int ReadTotalConstant = 0;
  int WriteTotalMultiplier = 100;
  int WriteTotalConstant = 1000;
};

struct TComBuffer {
  int InputSize = 1024;
  int OutputSize = 1024;
};

// Everything the back end needs to apply line settings.
struct TLineSettings {
  int baud = 9600;
  TDataBits dataBits = dbEight;
  TStopBits stopBits = sbOneStopBit;
  TComParity parity;
  TComFlowControl flow;
  bool discardNull = false;
  uint8_t eventChar = 0;
};

// OS side of one open device. Each call returns 0 or the OS error number
// (errno on POSIX, GetLastError() on Windows).
class IComBackend {
 public:
  virtual ~IComBackend() = default;
  virtual int Open(const std::string& device) = 0;  // exclusive, read/write
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual int ApplyBuffers(int inputSize, int outputSize) = 0;
  virtual int ApplyLine(const TLineSettings& line) = 0;
  virtual int ApplyTimeouts(const TComTimeouts& t) = 0;
  // Writes all bytes or fails; deadline in ms.
  virtual int Write(const char* data, size_t n, int deadlineMs, size_t* written) = 0;
  virtual int Read(char* data, size_t n, size_t* got) = 0;  // never blocks
  virtual int InputCount(int* count) = 0;
  virtual int Purge(bool input, bool output) = 0;
  // Waits for received data; *events gets evRxChar when data is queued.
  // A hang-up or vanished device is an error (EIO; on Windows the system's answer).
  virtual int WaitRx(int timeoutMs, TComEvents* events) = 0;
  // Receive flow control for dtrHandshake, called after reads.
  virtual void UpdateFlow(int queued) { (void)queued; }
};

std::unique_ptr<IComBackend> MakeDefaultComBackend();
// Whether an open that failed with this OS error number failed because
// another program (or another open of ours) holds the device.
bool PortHeldByOther(int osError);

// Turns a port's name into the device path to open, at each open (a port
// map may change between two opens). Without one the name is the path.
using TDeviceResolver = std::function<std::string(const std::string& port)>;

class TCustomComPort {
 public:
  explicit TCustomComPort(std::unique_ptr<IComBackend> backend = MakeDefaultComBackend());
  virtual ~TCustomComPort();
  TCustomComPort(const TCustomComPort&) = delete;
  TCustomComPort& operator=(const TCustomComPort&) = delete;

  void Open();
  void Close();
  bool Connected() const;

  std::string Port() const;
  void SetPort(const std::string& name);
  void SetDeviceResolver(TDeviceResolver resolver);

  // Settings (each setter re-applies its group while open and outside a batch).
  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate v);
  int CustomBaudRate() const { return customBaudRate_; }
  void SetCustomBaudRate(int v);
  TDataBits DataBits() const { return dataBits_; }
  void SetDataBits(TDataBits v);
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits v);
  TComParity Parity() const { return parity_; }
  void SetParity(const TComParity& v);
  TComFlowControl FlowControl() const { return flow_; }
  void SetFlowControl(const TComFlowControl& v);
  bool DiscardNull() const { return discardNull_; }
  void SetDiscardNull(bool v);
  uint8_t EventChar() const { return eventChar_; }
  void SetEventChar(uint8_t v);
  TComBuffer Buffer() const { return buffer_; }
  void SetBuffer(const TComBuffer& v);  // odd sizes are lowered by one
  TComTimeouts Timeouts() const { return timeouts_; }
  void SetTimeouts(const TComTimeouts& v);
  TComEvents Events() const { return events_; }
  void SetEvents(TComEvents v) { events_ = v; }
  TSyncMethod SyncMethod() const { return syncMethod_; }
  void SetSyncMethod(TSyncMethod v) { syncMethod_ = v; }

  void BeginUpdate();
  void EndUpdate();

  int WriteStr(const std::string& s);
  int Write(const void* buf, int count);
  int ReadStr(std::string& s, int count);
  int InputCount();
  void ClearBuffer(bool input, bool output);
  void WaitForEvent(TComEvents& events, void* stopSignal, int timeoutMs);

  bool MonitorThreadRunning() const;
  std::string DevicePath() const;  // device behind the open port

 protected:
  void ApplyBuffers();
  void ApplyLine();
  void ApplyTimeouts();
  TLineSettings LineSettings() const;
  bool CanApply() const;

  std::unique_ptr<IComBackend> backend_;
  mutable std::recursive_mutex mu_;  // open/close/settings; transfers use the device directly
  std::atomic<bool> connected_{false};
  std::string port_ = "COM1";
  TDeviceResolver resolver_;
  std::string device_;
  int updateCount_ = 0;
  // Opened with events to watch: the port watches them itself, so a
  // caller's own event wait is refused (the link opens with none).
  bool monitoring_ = false;

  TBaudRate baudRate_ = br9600;
  int customBaudRate_ = 9600;
  TDataBits dataBits_ = dbEight;
  TStopBits stopBits_ = sbOneStopBit;
  TComParity parity_;
  TComFlowControl flow_;
  bool discardNull_ = false;
  uint8_t eventChar_ = 0;
  TComBuffer buffer_;
  TComTimeouts timeouts_;
  std::atomic<TComEvents> events_{kAllComEvents};
  TSyncMethod syncMethod_ = smThreadSync;
};

// The system's port: the library defaults changed to the values the main
// window's form gives it (115200 8N1, DTR handshake, RTS on, window sync).
class TComPort : public TCustomComPort {
 public:
  explicit TComPort(std::unique_ptr<IComBackend> backend = MakeDefaultComBackend());
};
