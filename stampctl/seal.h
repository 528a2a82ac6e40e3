// The device controller: one object per process that holds everything the library knows about
// the machine. This header is the map of its members, grouped by subsystem; each operation lives
// in the source file of its subsystem.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "stampctl/calibration/calibration_record.h"
#include "stampctl/calibration/store.h"
#include "stampctl/camera/capture_channel.h"

#include "stampctl/core/config.h"
#include "stampctl/core/facts.h"
#include "stampctl/imaging/cut_result.h"
#include "stampctl/link/cmd_def.h"
#include "stampctl/link/link.h"
#include "stampctl/link/reply.h"
#include "stampctl/link/stamp_status.h"
#include "stampctl/link/usb_transport.h"
#include "stampctl/stamping/stamp_outcome.h"

class CSeal {
public:
    // ---- core/: controller access, result messages, configuration ----------------------------
    static CSeal* Instance();

    const char* _geterrMsg(int code);
    // "-@#<code>" in the calling thread's error text, for operations that return text.
    const char* GetError(int code);
    // Upper-cases the ASCII letters of `text` in place.
    static void strupr(char* text);

    // Rereads "<base>/<edition>.ini": defaults first, then the file.
    void ReadIni(const char* edition);
    // Forgets the binding and calibration state of the previous connection.
    void InitBefore();
    // The configuration in force, as one snapshot: an operation takes it once and passes it on.
    std::shared_ptr<const stampctl::SealConfig> config() const { return m_config.current(); }

    // ---- link/: USB transport, frames, commands, connection -----------------------------------
    // The link (link::Link) owns the transport, the exchange lock and the status record; the
    // operations below forward to it under their own names.
    stampctl::link::Link& link() { return m_link; }
    // Asks the machine for its firmware version text; false when it does not answer.
    bool ReadFirmwareVersion(std::string& text);

    // One exchange under the exchange lock: writes the checksum into the request's last byte,
    // sends it and reads this exchange's own reply, with three attempts on a reply that does not
    // validate. `board` says whether the backup board may answer.
    int SendAndRcvHelp(unsigned char* req, unsigned long reqLen, stampctl::link::Reply& reply,
                       stampctl::link::Board board);
    // The same, with a refusal by the machine turned into the machine's current fault code.
    int SendAndRcv(unsigned char* req, unsigned long reqLen, stampctl::link::Reply& reply, stampctl::link::Board board);
    // The one way a command reaches the machine: its frame from the command table (the status
    // poll, the reset and the stamp included), one exchange, and the caller's own reply.
    int DoCommand(CMD_DEF cmd, const unsigned char* payload, int len, stampctl::link::Reply& reply,
                  stampctl::link::Board board = stampctl::link::Board::Main);
    // DoCommand inside the "ExeCmd" trace block; `reply` may be null when only the result counts.
    int _ExeCmd(CMD_DEF cmd, const unsigned char* payload = nullptr, int len = 0,
                stampctl::link::Reply* reply = nullptr, stampctl::link::Board board = stampctl::link::Board::Main);
    // The seal information block: written in chunks, or read whole into `block`
    // (kSealBlockBufferSize bytes, always terminated).
    static constexpr size_t kSealBlockBufferSize = stampctl::link::Link::kSealBlockBufferSize;
    int _ExeBuf(CMD_DEF cmd, const char* data, short len, char* block = nullptr);
    // Writes the configured motion parameters into the machine's parameter block.
    int ExeConfig();
    // One status poll; publishes the status record it read and, when `seen` is given, hands it
    // over too (after a failed poll: the record as it stands, doors closed). -8 when the top
    // cover is open, which disconnects.
    int ExeHeart(CStampStatus* seen = nullptr);

    int _connMachine(const char* code);
    int _disconnMachine();
    int _isConnMachine();
    // The transport is open: connected, and not disconnected since.
    bool linkOpen() const { return m_link.isOpen(); }

    bool mainBoard() const { return m_link.mainBoard(); }

    // ---- machine/: status, doors and alarms, identity, seals and RFID, logs -------------------
    // The most important warning or fault of a status record as a result code; -602 when none
    // is set (status::machineError). Without a record: the latest one.
    static int GetMachineERR(const CStampStatus& s) { return stampctl::status::machineError(s); }
    int GetMachineERR() { return GetMachineERR(stampStatus()); }
    // One trace line per warning or fault bit, while the record reports state 5.
    static void LogMachineERR(const CStampStatus& s) { stampctl::status::logWarnings(s); }
    // Waits until the machine is ready to stamp: 30 s, or 210 s once a reset has been seen.
    int CheckCanPrint();
    // Pre-check of operations that the backup board serves too: one heartbeat, whose record
    // `seen` receives when given.
    int initCheckBb(CStampStatus* seen = nullptr);
    // Pre-check of operations that only the main board serves: -610 from the backup board.
    int initCheckZb(CStampStatus* seen = nullptr);
    // One command of an operation that only the main board serves: the pre-check, then the
    // command; the pre-check's failure is the result.
    int ExeMainBoardCmd(CMD_DEF cmd, const unsigned char* payload = nullptr, int len = 0,
                        stampctl::link::Reply* reply = nullptr);
    // A position error while in state 5: the machine is resetting itself.
    static bool IsReseting(const CStampStatus& s) { return stampctl::status::isResetting(s); }
    bool IsReseting() { return IsReseting(stampStatus()); }
    bool _GetPrintReset() { return m_bPrintReset; }
    // The latest status record, whole.
    CStampStatus stampStatus() const { return m_link.status(); }
    int paperDoorOpen() const { return stampStatus().m_iIsPaperOpen; }
    int backDoorOpen() const { return stampStatus().m_iIsBackDoorOpen; }

    // Identity and security code.
    int getMachineNumHelp(char* dst);
    const char* _getMachineNum();
    int IsMachineNumOk(const char* num);
    int SetMachineNumHelp(const char* num);
    int _setMachineNum(const char* num);
    const char* _getMachineType();
    int _setMachineType(const char* type);
    const char* _getMachineId();
    int _setMachineId(const char* id);
    const char* _getFirmwareVer();
    int _getFirmwareMode();
    int _setFirmwareMode(char mode);
    int CheckSecurityCode(const char* code);
    int ReadSafeCode(char* dst);
    int setSecurityCodeHelp(const char* code);
    int _setSecurityCode(const char* code);
    int _delSecurityCode();

    // The document camera's light.
    int _openVideoCapLight();
    int _closeideoCapLight();

    // Doors, alarms and seal locks.
    int _openPaperDoor(int time);
    // 1 open, 2 closed (after the configured pause), or a code.
    int _checkPaperDoorState();
    int _openMachineBackDoor(int time);
    int _checkBackDoorState();
    // Opens the side door with a reason of 1 to 52 bytes that the machine keeps on record.
    int _openMachineBackDoorUnNormal(const char* openInfo, int nLen);
    int _openMoveAlarm();
    int _closeMoveAlarm();
    int _openFMAlarm();
    int _closeFMAlarm();
    int _lockSeal(const char* p);
    int _unlockSeal(const char* p);

    // Seals, slots and RFID binding.
    static constexpr int kSlotCount = stampctl::kSealCount;
    // Reads the slot mask: hasSeal[n - 1] is 1 when slot n holds a seal; `text`, when given,
    // receives "1:1;2:0;..." (24 bytes).
    int GetSloatInfo(int (&hasSeal)[kSlotCount], char* text);
    const char* _querySloatInfo(const char* machineNum);
    const char* _querySealInfo(const char* machineNum);
    int _initStamp(const char* machineNum, const char* slotNumAndStampId);
    // "<tag>_<slot>" of every occupied slot, joined by "#"; empty when the read failed.
    char* _getRFID();
    // What one RFID read found; `tags` is empty when the read failed.
    struct RfidRead {
        int hasSeal[kSlotCount] = {};
        std::vector<std::string> tags;  // all six slots, "%02X" x 4 each
        // The tag block as the machine sent it.
        unsigned char block[stampctl::link::kMaxReplyData] = {};
        size_t blockLen = 0;
    };
    // _getRFID, handing over what it read as well.
    char* readRFID(RfidRead& read);
    // Loads the calibration-time and bound tags and the binding flag, once per connection.
    int GetJiaozhunRFID();
    int _BindRFIDAndSlot(int iBind);
    // 0 when slot idxSlot + 1 may stamp, -611 when its seal is not the one bound to it.
    int IsSlotRFIDOk(int idxSlot);
    int IsSlotRFIDOk(const stampctl::SealConfig& config, int idxSlot);
    std::vector<std::string> rfidList() const;
    bool bindingOn() const;
    // The message of -611 from the last refused slot.
    std::string bindDetail() const;

    // Alarm log and abnormal-opening records.
    const char* _inqAlarmLog();
    int _delAlarmLog();
    // At most ten records, in order; the ones read before a failure stay in out.
    int ReadExceptionInfo(std::vector<std::string>& out);
    const char* _readOpenBackDoorExceptionInfo();
    int _delOpenBackDoorExceptionInfo();

    // ---- stamping/: stamp cycle, print entry points, reset ------------------------------------
    // What the machine is told about a stamp before the stamp command itself.
    enum STAMP_STYLE : char {
        STAMP_NORMAL = 0,       // nothing
        STAMP_ACROSS_PAGE = 1,  // an across-page (paging) seal
        STAMP_CALIBRATION = 2,  // a calibration stamp
    };
    // One stamp at a machine position in millimetres: how it ended, whether one more attempt
    // makes sense, and whether the machine reset itself meanwhile (also what GetPrintReset says
    // afterwards).
    StampOutcome PrintOneStart(int printNum, double _px, double _py, int angle, SEAL_KIND nStyle, STAMP_STYLE style);
    StampOutcome PrintOneStart(const stampctl::SealConfig& config, int printNum, double _px, double _py, int angle,
                               SEAL_KIND nStyle, STAMP_STYLE style);
    // Stamps at a pixel of the cut picture of this process's last photo.
    int _manualPrintStart(int printNum, int x, int y, int angle);
    int _manualPrintStartByLight(int printNum, int x, int y, int angle);
    // Stamps at whole millimetres from the page's top-left corner.
    int _autoPrintStart(int printNum, int x, int y, int angle);
    // Calibration stamps at whole machine millimetres, without checks of their own; nStyle is
    // the seal's kind byte as the calibration's caller gave it.
    int _directPrintStart(int printNum, int x, int y, int angle, char nStyle);
    // The common pixel path, through the one copy of the last cut that the request took.
    int _PrintStartByPixel(int printNum, int x, int y, int angle, SEAL_KIND nStyle, const CutResult& cut);
    // The millimetre path, under the configuration snapshot the request took.
    int _PrintStartByMM(const stampctl::SealConfig& config, int printNum, double x, double y, int angle,
                        SEAL_KIND nStyle);
    // 0 when (x, y) of the cut picture lies 24 mm inside its edges (and holds print, when the
    // blank check is on); -505, -207 or -506 otherwise. The angle is not used.
    int _checkManualPrintPara(int x, int y, int angle);
    int _checkManualPrintPara(const stampctl::SealConfig& config, const CutResult& cut, int x, int y);
    bool IsAcrossPageSeal(int angle);
    bool IsAcrossPageSeal(const stampctl::SealConfig& config, int angle);
    // Makes the next accepted stamp an across-page stamp.
    int _setAcrossPageSeal();
    // Resets the mechanism and waits until it is ready; no seal in the machine counts as done.
    int _initializationMachine();
    int realReset();

    // ---- calibration/: calibration record, coordinate mapping, automatic calibration ---------
    // The record lives in the calibration store (calibration/store.h); the mapping is free
    // functions over a snapshot of it (calibration/calibration_record.h).
    using JZPoint = stampctl::calibration::Point;
    using JZRecord = stampctl::calibration::Record;
    static constexpr int kJZCircleCount = stampctl::calibration::kCircleCount;
    static constexpr int kJZOffsetCount = stampctl::calibration::kOffsetCount;
    stampctl::calibration::Store& calibrationStore() { return m_calibration; }

    // Reads the whole calibration record from the machine.
    int RecvPointInfo();
    // Loads the record unless it is loaded; then the seal identities recorded at calibration.
    int GetPointInfo();
    int _GetAllJZInfo(short& longSide, short& shortSide, short* circleX, short* circleY, short* offsetX,
                      short* offsetY);
    // Writes the base block (50 bytes; fewer given are padded with zeros) and reloads.
    int _DownLoadBaseJZ(const unsigned char* data, int len, short saveRFID);
    // Writes 18 X and 18 Y rotation corrections (seal by seal, 90, 180 and 270 degrees).
    int _DownLoadRotateJZ(const short* x, const short* y);
    JZRecord jzRecord() const;
    int a4ShortSide() const { return jzRecord().m_A4ShortSide; }
    int a4LongSide() const { return jzRecord().m_A4LongSide; }
    std::array<JZPoint, kJZCircleCount> jzCircles() const { return jzRecord().m_JZCircle; }
    std::array<short, kJZOffsetCount> jzOffsetX() const { return jzRecord().m_JZOffsetX; }
    std::array<short, kJZOffsetCount> jzOffsetY() const { return jzRecord().m_JZOffsetY; }

    // Picture-to-machine mapping.
    double Pixel2MM_ByRate(int p1, double mm1, int p2, double mm2, int p);
    double Pixel2MM(int p1, double mm1, int p2, double mm2, int p);
    // A source-picture pixel into the turned picture space of the calibration circles.
    bool PicxyConvert(int& x, int& y, bool savedByRow);
    double Myhm2mm(short nHm);
    int _SrcPixelToMachineMM(int sealNo, int x, int y, int angle, double& mmX, double& mmY);
    // The same through a record snapshot the caller already holds.
    int _SrcPixelToMachineMM(const JZRecord& record, int sealNo, int x, int y, int angle, double& mmX, double& mmY);
    // Moves a position 2 mm inside the machine's travel when it lies outside. Always true.
    bool CheckMMOK(double& x, double& y);
    // The four-circle map over circles given by the caller, truncated to whole millimetres.
    bool Pixel2MMByPoints(int ix, int iy, int& ixOut, int& iyOut, const JZPoint* circles);
    // The same map without truncation; false for a negative point or circle.
    bool Pixel2MMByPointsExact(int ix, int iy, double& mmX, double& mmY, const JZPoint* circles);

    // Automatic calibration from a stamped and photographed white sheet: 0, or -1 with the
    // reason in szMsg (1024 bytes). lightFlags: six flags, 1 for a photosensitive seal.
    int _AutoCheckSeal(char* szMsg, short* lightFlags);

    // ---- camera/: document camera, document photo, environment camera -------------------------
    // The photo handshake between a request and a capture thread (camera/capture_channel.h).
    using PHOTO_STATUS = stampctl::camera::PhotoStatus;
    static constexpr PHOTO_STATUS PH_REQUESTED = stampctl::camera::PH_REQUESTED;
    static constexpr PHOTO_STATUS PH_TAKING = stampctl::camera::PH_TAKING;
    static constexpr PHOTO_STATUS PH_DONE = stampctl::camera::PH_DONE;
    PHOTO_STATUS GetPHStatus();
    void SetPHStatus(PHOTO_STATUS st);
    PHOTO_STATUS GetEnvPHStatus();
    void SetEnvPHStatus(PHOTO_STATUS st);
    // The index of the first listed camera whose description contains `name`; -1 for none.
    int GetIndexByName(const std::string& name);

    // The document camera: 1 running, 2 not, or the heartbeat's code.
    int _checkVideoState();
    int _openVideoCap();
    // Stops the capture thread; returns once it has let go of the device. Always 0.
    int _closeVideoCap();
    // The next frame, enlarged 1.024 about its centre, written and/or cut to the sheet.
    int _getImageFormat(const char* filePath, int type, int isEraseBorder, int quality);
    bool videoRunning() const { return m_document.running(); }

    // The environment camera.
    int _openEnvVideoCap(int width, int height);
    int _closeEnvVideoCap();
    // 0 written, 1 the frame was empty, -200 closed, -205 no frame, -206 not written.
    int _TakeEnvPhoto(const std::string& filePath);
    bool envVideoRunning() const { return m_environment.running(); }

    // ---- imaging/: the last cut, blank-area check ----------------------------------------------
    // The last photo's cut, kept here alone: a copy, so that a photo cut meanwhile cannot change
    // what a request is working with.
    CutResult lastCut() const;
    void storeCut(CutResult cut);
    // 1 when the configured box at (x, y) of the last cut picture holds print, 0 when it is
    // blank, 2 when there is no cut picture or the box leaves it.
    short _isWhitePaper(int x, int y);
    // The same on a cut the caller already holds.
    short _isWhitePaper(const stampctl::SealConfig& config, const CutResult& cut, int x, int y);

    CSeal(const CSeal&) = delete;
    CSeal& operator=(const CSeal&) = delete;

private:
    CSeal();
    ~CSeal();

    // ---- core/ --------------------------------------------------------------------------------
    stampctl::ConfigStore m_config;

    // ---- link/ ---------------------------------------------------------------------------------
    // The simulated machine's transport when the simulator is enabled, else libusb.
    static std::unique_ptr<UsbTransport> makeTransport();
    // The transport, the exchange lock, the main-board and disconnecting flags, the latest
    // status record.
    stampctl::link::Link m_link{makeTransport()};
    static bool coverOpen(const CStampStatus& s);
    // What the controller does with each record a poll publishes: an open top cover disconnects.
    void onStatusPolled(const CStampStatus& s);

    // ---- machine/ ------------------------------------------------------------------------------
    void markPaperDoorOpen() { m_link.markPaperDoorOpen(); }
    std::atomic<bool> m_bPrintReset{false};
    // What the machine said about itself and its seals, for later calls.
    static constexpr size_t kMachineNumSize = 100;
    static constexpr size_t kBindDetailSize = 200;
    mutable std::mutex m_machineLock;
    char m_machineNum[kMachineNumSize] = {};
    bool m_bIsBindRFID2Slot = false;
    std::vector<std::string> m_jzRfidList;    // seal identities recorded at calibration time
    std::vector<std::string> m_bindRfidList;  // seal identities bound to the slots
    std::vector<std::string> m_rfidList;      // tags of all six slots from the last RFID read
    char m_bindDetail[kBindDetailSize] = {};  // the message of -611, written by the slot check
    void rememberMachineNum(const char* num);
    std::string knownMachineNum() const;

    // ---- stamping/ -----------------------------------------------------------------------------
    std::atomic<bool> m_bAcrossPage{false};
    bool m_bSavePicRow = true;
    std::string m_paper_left_top = "0";
    // Phase 2 of a stamp: follows the machine after it accepted the stamp command.
    StampOutcome followStamp(const stampctl::SealConfig& config);
    // A stamp at a pixel the caller chose: refused unless it lies on the cut picture.
    int stampAtPixel(int printNum, int x, int y, int angle, SEAL_KIND nStyle);
    // The cycle, and once more when it offers another attempt.
    StampOutcome stampWithRetry(const stampctl::SealConfig& config, int printNum, double x, double y, int angle,
                                SEAL_KIND nStyle, STAMP_STYLE style);

    // ---- calibration/ --------------------------------------------------------------------------
    stampctl::calibration::Store m_calibration{m_link};

    // ---- imaging/ ------------------------------------------------------------------------------
    // The last photo's cut, which stamping and the blank check read.
    CutResult m_lastCut;
    mutable std::mutex m_lastCutLock;

    // ---- camera/ -------------------------------------------------------------------------------
    // Last, so that they are destroyed first: each channel joins its capture thread before
    // anything else of the controller goes.
    stampctl::camera::CameraPlatform& m_cameras = stampctl::camera::cameraPlatform();
    stampctl::camera::CaptureChannel m_document{m_cameras, stampctl::camera::documentCameraSettings()};
    stampctl::camera::CaptureChannel m_environment{m_cameras, stampctl::camera::environmentCameraSettings()};
};
