#include "port/ComPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>

// Threads: the link's thread opens, closes, re-targets and writes; the
// receiver thread waits, counts and reads at the same time. Open, Close and
// the settings run under mu_. Transfers do not take mu_ while they are in
// the device: the back end guards its descriptor itself and wakes a pending
// wait when the device is closed, so a Close never waits for a 10 ms poll
// and a transfer never outlives its descriptor. A transfer on a closed port
// fails with its own code.

namespace {

const char* const kErrorTexts[] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string ErrorMessage(int code, int osError) {
  std::string msg = ComErrorText(code);
  if (osError >= 0) {
    char buf[48];
    std::snprintf(buf, sizeof buf, " (win error code: %d)", osError);
    msg += buf;
  }
  return msg;
}

#ifdef _WIN32
// Win32 numbers, since the back end reports GetLastError() values there:
// ERROR_INVALID_HANDLE for a port that is not open, and the answers of a
// hung-up or unplugged device (not ready, bad command, general failure,
// device not connected, device removed).
constexpr int kNotOpen = 6;
bool DeviceGone(int err) { return err == 21 || err == 22 || err == 31 || err == 1167 || err == 1617; }
#else
constexpr int kNotOpen = EBADF;
// A hung-up or unplugged device has no transfers left to abort.
bool DeviceGone(int err) { return err == EIO || err == ENXIO || err == ENODEV; }
#endif

}  // namespace

const char* ComErrorText(int code) {
  constexpr int kCount = static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0]);
  if (code < 1 || code > kCount) return "";
  return kErrorTexts[code - 1];
}

EComPort::EComPort(int code, int osError)
    : std::runtime_error(ErrorMessage(code, osError)), code_(code), osError_(osError) {}

int BaudRateValue(TBaudRate rate, int custom) {
  switch (rate) {
    case brCustom: return custom;
    case br110: return 110;
    case br300: return 300;
    case br600: return 600;
    case br1200: return 1200;
    case br2400: return 2400;
    case br4800: return 4800;
    case br9600: return 9600;
    case br14400: return 14400;
    case br19200: return 19200;
    case br38400: return 38400;
    case br56000: return 56000;
    case br57600: return 57600;
    case br115200: return 115200;
    case br128000: return 128000;
    case br256000: return 256000;
  }
  return 0;
}

TCustomComPort::TCustomComPort(std::unique_ptr<IComBackend> backend) : backend_(std::move(backend)) {}

TCustomComPort::~TCustomComPort() {
  try {
    Close();
  } catch (const EComPort&) {
    // The device is closed either way; nobody is left to tell.
  }
}

void TCustomComPort::Open() {
  std::lock_guard lk(mu_);
  if (connected_) return;
  const std::string device = resolver_ ? resolver_(port_) : port_;
  if (int err = backend_->Open(device)) throw EComPort(CError_OpenFailed, err);
  device_ = device;
  connected_ = true;
  try {
    ApplyBuffers();
    ApplyLine();
    ApplyTimeouts();
  } catch (...) {
    backend_->Close();
    connected_ = false;
    device_.clear();
    throw;
  }
  monitoring_ = events_ != 0;
}

void TCustomComPort::Close() {
  std::lock_guard lk(mu_);
  if (!connected_) return;
  // Refuse new transfers first; the back end then wakes and drains the
  // ones in progress.
  connected_ = false;
  const int purgeErr = backend_->Purge(true, true);
  monitoring_ = false;
  backend_->Close();
  device_.clear();
  // The device is released even when the purge failed, so a failed Close
  // never leaves a half-open port behind.
  if (purgeErr && !DeviceGone(purgeErr)) throw EComPort(CError_PurgeFailed, purgeErr);
}

bool TCustomComPort::Connected() const { return connected_; }

std::string TCustomComPort::Port() const {
  std::lock_guard lk(mu_);
  return port_;
}

void TCustomComPort::SetDeviceResolver(TDeviceResolver resolver) {
  std::lock_guard lk(mu_);
  resolver_ = std::move(resolver);
}

void TCustomComPort::SetPort(const std::string& name) {
  std::lock_guard lk(mu_);
  if (name == port_) return;
  port_ = name;
  if (connected_) {
    Close();
    Open();
  }
}

bool TCustomComPort::CanApply() const { return connected_ && updateCount_ == 0; }

TLineSettings TCustomComPort::LineSettings() const {
  TLineSettings line;
  line.baud = BaudRateValue(baudRate_, customBaudRate_);
  line.dataBits = dataBits_;
  line.stopBits = stopBits_;
  line.parity = parity_;
  line.flow = flow_;
  line.discardNull = discardNull_;
  line.eventChar = eventChar_;
  return line;
}

void TCustomComPort::ApplyBuffers() {
  if (int err = backend_->ApplyBuffers(buffer_.InputSize, buffer_.OutputSize))
    throw EComPort(CError_SetupComFailed, err);
}

void TCustomComPort::ApplyLine() {
  if (int err = backend_->ApplyLine(LineSettings())) throw EComPort(CError_SetStateFailed, err);
}

void TCustomComPort::ApplyTimeouts() {
  if (int err = backend_->ApplyTimeouts(timeouts_)) throw EComPort(CError_TimeoutsFailed, err);
}

// Each setter stores first, so a failed apply leaves the new value in place.
void TCustomComPort::SetBaudRate(TBaudRate v) {
  std::lock_guard lk(mu_);
  baudRate_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetCustomBaudRate(int v) {
  std::lock_guard lk(mu_);
  customBaudRate_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetDataBits(TDataBits v) {
  std::lock_guard lk(mu_);
  dataBits_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetStopBits(TStopBits v) {
  std::lock_guard lk(mu_);
  stopBits_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetParity(const TComParity& v) {
  std::lock_guard lk(mu_);
  parity_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& v) {
  std::lock_guard lk(mu_);
  flow_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetDiscardNull(bool v) {
  std::lock_guard lk(mu_);
  discardNull_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetEventChar(uint8_t v) {
  std::lock_guard lk(mu_);
  eventChar_ = v;
  if (CanApply()) ApplyLine();
}

void TCustomComPort::SetBuffer(const TComBuffer& v) {
  std::lock_guard lk(mu_);
  buffer_.InputSize = v.InputSize & ~1;
  buffer_.OutputSize = v.OutputSize & ~1;
  if (CanApply()) ApplyBuffers();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& v) {
  std::lock_guard lk(mu_);
  timeouts_ = v;
  if (CanApply()) ApplyTimeouts();
}

void TCustomComPort::BeginUpdate() {
  std::lock_guard lk(mu_);
  ++updateCount_;
}

void TCustomComPort::EndUpdate() {
  std::lock_guard lk(mu_);
  if (updateCount_ == 0) return;  // unbalanced call: nothing to close
  if (--updateCount_ == 0 && connected_) {
    ApplyBuffers();
    ApplyLine();
    ApplyTimeouts();
  }
}

int TCustomComPort::WriteStr(const std::string& s) {
  if (s.empty()) return 0;
  return Write(s.data(), static_cast<int>(std::min<size_t>(s.size(), INT_MAX)));
}

int TCustomComPort::Write(const void* buf, int count) {
  if (count <= 0) return 0;
  if (!connected_) throw EComPort(CError_WriteFailed, kNotOpen);
  TComTimeouts t;
  {
    std::lock_guard lk(mu_);
    t = timeouts_;
  }
  // Per-byte plus constant, as the driver's total write time-out; zero for
  // both means no limit. Clamped so a large write cannot wrap negative.
  int64_t ms = static_cast<int64_t>(t.WriteTotalMultiplier) * count + t.WriteTotalConstant;
  if (ms > INT_MAX) ms = INT_MAX;
  if (ms < 0) ms = 0;
  size_t written = 0;
  // Running out of time counts as a failure: callers do not check the count,
  // so a short write must not pass as a complete one.
  if (int err = backend_->Write(static_cast<const char*>(buf), static_cast<size_t>(count),
                                static_cast<int>(ms), &written))
    throw EComPort(CError_WriteFailed, err);
  return static_cast<int>(written);
}

int TCustomComPort::ReadStr(std::string& s, int count) {
  s.clear();
  if (!connected_) throw EComPort(CError_ReadFailed, kNotOpen);
  if (count <= 0) return 0;
  s.resize(static_cast<size_t>(count));
  size_t got = 0;
  int err = backend_->Read(s.data(), s.size(), &got);
  s.resize(got);
  if (err) throw EComPort(CError_ReadFailed, err);
  int queued = 0;
  if (backend_->InputCount(&queued) == 0) backend_->UpdateFlow(queued);
  return static_cast<int>(got);
}

int TCustomComPort::InputCount() {
  if (!connected_) throw EComPort(CError_ClearComFailed, kNotOpen);
  int count = 0;
  if (int err = backend_->InputCount(&count)) throw EComPort(CError_ClearComFailed, err);
  backend_->UpdateFlow(count);
  return count;
}

void TCustomComPort::ClearBuffer(bool input, bool output) {
  if (!connected_) throw EComPort(CError_PurgeFailed, kNotOpen);
  if (int err = backend_->Purge(input, output)) throw EComPort(CError_PurgeFailed, err);
}

void TCustomComPort::WaitForEvent(TComEvents& events, void* stopSignal, int timeoutMs) {
  // There is no portable object behind a stop signal; callers pass none and
  // rely on the short time-out instead.
  (void)stopSignal;
  {
    std::lock_guard lk(mu_);
    if (monitoring_) throw EComPort(CError_ThreadCreated);
    if (!connected_) throw EComPort(CError_WaitFailed, kNotOpen);
  }
  const TComEvents wanted = events;
  if (!(wanted & evRxChar)) {
    // Only received data can be waited for here; the other events never come.
    if (timeoutMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    if (!connected_) throw EComPort(CError_WaitFailed, kNotOpen);
    events = 0;
    return;
  }
  TComEvents got = 0;
  if (int err = backend_->WaitRx(timeoutMs, &got)) throw EComPort(CError_WaitFailed, err);
  events = got & wanted;
}

bool TCustomComPort::MonitorThreadRunning() const {
  std::lock_guard lk(mu_);
  return monitoring_;
}

std::string TCustomComPort::DevicePath() const {
  std::lock_guard lk(mu_);
  return device_;
}

TComPort::TComPort(std::unique_ptr<IComBackend> backend) : TCustomComPort(std::move(backend)) {
  baudRate_ = br115200;
  flow_.ControlDTR = dtrHandshake;
  flow_.ControlRTS = rtsEnable;
  syncMethod_ = smWindowSync;
}
