// The device controller: one object per process that holds everything the library knows about
// the machine. This header is the map of its members, grouped by subsystem; each operation lives
// in the source file of its subsystem.
#pragma once

#include <QMutex>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "stampctl/camera/camera_source.h"

#include "stampctl/core/config.h"
#include "stampctl/link/cmd_def.h"
#include "stampctl/link/usb_transport.h"
#include "stampctl/machine/stamp_status.h"

class CSeal {
public:
    // ---- frame/: controller access, result messages, configuration ----------------------------
    static CSeal* Instance();

    const char* _geterrMsg(int code);
    // "-@#<code>" in the shared error text, for operations that return text.
    const char* GetError(int code);
    // Upper-cases the ASCII letters of `text` in place.
    static void strupr(char* text);

    // Rereads "<base>/<edition>.ini": defaults first, then the file.
    void ReadIni(const char* edition);
    // Forgets the binding and calibration state of the previous connection.
    void InitBefore();
    const stampctl::SealConfig& config() const { return m_config; }

    // ---- link/: USB transport, frames, commands, connection -----------------------------------
    // Asks the machine for its firmware version text; false when it does not answer.
    bool ReadFirmwareVersion(std::string& text);

    // One exchange: writes the checksum into the request's last byte, sends it and reads the
    // 64-byte reply into `reply`, with three attempts on a reply that does not validate.
    int SendAndRcvHelp(unsigned char* req, unsigned long reqLen, unsigned char* reply,
                       unsigned long& replyLen);
    // The same, with a refusal by the machine turned into the machine's current fault code.
    int SendAndRcv(unsigned char* req, unsigned long reqLen, unsigned char* reply,
                   unsigned long& replyLen);
    // One command of the table; the reply data are left in replyData()/replyDataLen().
    int _ExeCmd(CMD_DEF cmd, const unsigned char* payload = nullptr, int len = 0);
    // The seal information block: read whole into bufInfo(), or written in chunks.
    int _ExeBuf(CMD_DEF cmd, const char* data, short len);
    // Writes the configured motion parameters into the machine's parameter block.
    int ExeConfig();
    // One status poll; refreshes the status record, the board and the door flags.
    int ExeHeart();

    int _connMachine(const char* code);
    int _disconnMachine();
    int _isConnMachine();

    // Lets the next exchange through while the backup board answers (one exchange only).
    void permitBackupBoard() { m_bSupportBB = true; }
    bool backupBoardPermitted() const { return m_bSupportBB; }
    bool mainBoard() const { return m_bZB; }
    const unsigned char* replyData() const { return m_ReplyInfo; }
    unsigned long replyDataLen() const { return m_RLen; }
    const unsigned char* replyFrame() const { return m_readData; }
    const char* bufInfo() const { return m_BufInfo; }

    // ---- machine/: status, doors and alarms, identity, seals and RFID, logs -------------------
    // The machine's most important warning or fault as a result code; -602 when none is set.
    int GetMachineERR();
    // One trace line per warning or fault bit, while the machine reports state 5.
    void LogMachineERR();
    // Waits until the machine is ready to stamp: 30 s, or 210 s once a reset has been seen.
    int CheckCanPrint();
    // Pre-check of operations that the backup board serves too: one heartbeat.
    int initCheckBb();
    // Pre-check of operations that only the main board serves: -610 from the backup board.
    int initCheckZb();
    // One command of an operation that only the main board serves: the pre-check, then the
    // command; the pre-check's failure is the result.
    int ExeMainBoardCmd(CMD_DEF cmd, const unsigned char* payload = nullptr, int len = 0);
    // A position error while in state 5: the machine is resetting itself.
    bool IsReseting();
    bool _GetPrintReset() { return m_bPrintReset; }
    const CStampStatus& stampStatus() const { return m_CStampStatus; }
    int paperDoorOpen() const { return m_iIsPaperOpen; }
    int backDoorOpen() const { return m_iIsBackDoorOpen; }

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
    static constexpr int kSlotCount = 6;
    // Reads the slot mask into m_slotHasSeal and the slot text "1:1;2:0;..." into m_SloatInfo.
    int GetSloatInfo();
    const char* _querySloatInfo(const char* machineNum);
    const char* _querySealInfo(const char* machineNum);
    int _initStamp(const char* machineNum, const char* slotNumAndStampId);
    // "<tag>_<slot>" of every occupied slot, joined by "#"; empty when the read failed.
    char* _getRFID();
    // Loads the calibration-time and bound tags and the binding flag, once per connection.
    int GetJiaozhunRFID();
    int _BindRFIDAndSlot(int iBind);
    // 0 when slot idxSlot + 1 may stamp, -611 when its seal is not the one bound to it.
    int IsSlotRFIDOk(int idxSlot);
    const std::vector<std::string>& rfidList() const { return m_rfidList; }
    const std::vector<std::string>& bindRfidList() const { return m_bindRfidList; }
    bool bindingOn() const { return m_bIsBindRFID2Slot; }

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
    // One stamp at a machine position in millimetres; retReason is 0 or the reason it failed,
    // bAgain says whether one more attempt makes sense. nStyle 1: a photosensitive seal.
    bool PrintOneStart(int printNum, double _px, double _py, int angle, char nStyle,
                       int& retReason, bool& bAgain, STAMP_STYLE style);
    // Stamps at a pixel of the cut picture (nStyle 0, or 1 for a photosensitive seal).
    int _manualPrintStart(int printNum, int x, int y, int angle);
    int _manualPrintStartByLight(int printNum, int x, int y, int angle);
    // Stamps at whole millimetres from the page's top-left corner.
    int _autoPrintStart(int printNum, int x, int y, int angle);
    // Calibration stamps at whole machine millimetres, without checks of their own.
    int _directPrintStart(int printNum, int x, int y, int angle, char nStyle);
    int _PrintStartByPixel(int printNum, int x, int y, int angle, char nStyle);
    int _PrintStartByMM(int printNum, double x, double y, int angle, char nStyle);
    // 0 when (x, y) of the cut picture lies 24 mm inside its edges (and holds print, when the
    // blank check is on); -505, -207 or -506 otherwise. The angle is not used.
    int _checkManualPrintPara(int x, int y, int angle);
    bool IsAcrossPageSeal(int angle);
    // Makes the next accepted stamp an across-page stamp.
    int _setAcrossPageSeal();
    // Resets the mechanism and waits until it is ready; no seal in the machine counts as done.
    int _initializationMachine();
    int realReset();

    // ---- calibration/: calibration record, coordinate mapping, automatic calibration ---------
    // A pixel position of the calibration record.
    struct JZPoint {
        int x;
        int y;
    };
    static constexpr int kJZCircleCount = 4;
    static constexpr int kJZOffsetCount = 24;  // (seal - 1) * 4 + angle index 0..3

    // Reads the whole calibration record from the machine.
    int RecvPointInfo();
    // Loads the record unless it is loaded; then the seal identities recorded at calibration.
    int GetPointInfo();
    int _GetAllJZInfo(short& longSide, short& shortSide, short* circleX, short* circleY,
                      short* offsetX, short* offsetY);
    // Writes the base block (50 bytes; fewer given are padded with zeros) and reloads.
    int _DownLoadBaseJZ(const unsigned char* data, int len, short saveRFID);
    // Writes 18 X and 18 Y rotation corrections (seal by seal, 90, 180 and 270 degrees).
    int _DownLoadRotateJZ(const short* x, const short* y);
    int a4ShortSide() const { return m_A4ShortSide; }
    int a4LongSide() const { return m_A4LongSide; }
    const JZPoint* jzCircles() const { return m_JZCircle; }
    const short* jzOffsetX() const { return m_JZOffsetX; }
    const short* jzOffsetY() const { return m_JZOffsetY; }

    // Picture-to-machine mapping.
    double Pixel2MM_ByRate(int p1, double mm1, int p2, double mm2, int p);
    double Pixel2MM(int p1, double mm1, int p2, double mm2, int p);
    // A source-picture pixel into the turned picture space of the calibration circles.
    bool PicxyConvert(int& x, int& y, bool savedByRow);
    double Myhm2mm(short nHm);
    int _SrcPixelToMachineMM(int sealNo, int x, int y, int angle, double& mmX, double& mmY);
    // Moves a position 2 mm inside the machine's travel when it lies outside. Always true.
    bool CheckMMOK(double& x, double& y);
    // The four-circle map over circles given by the caller, truncated to whole millimetres.
    bool Pixel2MMByPoints(int ix, int iy, int& ixOut, int& iyOut, const JZPoint* circles);

    // Automatic calibration from a stamped and photographed white sheet: 0, or -1 with the
    // reason in szMsg (1024 bytes). lightFlags: six flags, 1 for a photosensitive seal.
    int _AutoCheckSeal(char* szMsg, short* lightFlags);

    // ---- camera/: document camera, document photo, environment camera -------------------------
    // The photo handshake between a request and a capture thread.
    enum PHOTO_STATUS { PH_REQUESTED = 0, PH_TAKING = 1, PH_DONE = 2 };
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
    static void* _ReflashVideo(void* seal);
    void ReflashVideo();
    // The next frame, enlarged 1.024 about its centre, written and/or cut to the sheet.
    int _getImageFormat(const char* filePath, int type, int isEraseBorder, int quality);
    bool videoRunning() const { return m_bRun; }

    // The environment camera.
    int _openEnvVideoCap(int width, int height);
    int _closeEnvVideoCap();
    static void* _ReflashEnvVideo(void* seal);
    void ReflashEnvVideo();
    // 0 written, 1 the frame was empty, -200 closed, -205 no frame, -206 not written.
    int _TakeEnvPhoto(const std::string& filePath);
    bool envVideoRunning() const { return m_bEnvRun; }

    // ---- imaging/: blank-area check -------------------------------------------------------------
    // 1 when the configured box at (x, y) of the last cut picture holds print, 0 when it is
    // blank, 2 when there is no cut picture or the box leaves it.
    short _isWhitePaper(int x, int y);

    CSeal(const CSeal&) = delete;
    CSeal& operator=(const CSeal&) = delete;

private:
    CSeal();
    ~CSeal();

    // ---- frame/ -------------------------------------------------------------------------------
    static constexpr size_t kErrTextSize = 256;
    static constexpr size_t kBindDetailSize = 200;
    stampctl::SealConfig m_config;
    char m_errText[kErrTextSize] = {};
    char m_bindDetail[kBindDetailSize] = {};  // the message of -611, written by the slot check

    // ---- link/ ---------------------------------------------------------------------------------
    static constexpr size_t kReplyFrameSize = 64;
    static constexpr size_t kReplyInfoSize = 56;
    static constexpr size_t kBufInfoSize = 1024;
    // The simulated machine's transport when the simulator is enabled, else libusb.
    static std::unique_ptr<UsbTransport> makeTransport();
    std::unique_ptr<UsbTransport> m_usb = makeTransport();
    QMutex m_comLock;                          // one exchange on the wire at a time
    std::atomic<bool> m_bZB{false};            // the main board answered the last heartbeat
    std::atomic<bool> m_bSupportBB{false};     // one-shot backup-board permission
    std::atomic<bool> m_bHostRefuse{false};    // the last exchange was refused by the machine
    std::atomic<bool> m_bDisconnecting{false}; // a disconnect is running (stops the cover loop)
    unsigned char m_readData[kReplyFrameSize] = {};
    unsigned long m_readLen = 0;
    unsigned char m_ReplyInfo[kReplyInfoSize] = {};
    unsigned long m_RLen = 0;
    char m_BufInfo[kBufInfoSize] = {};
    void clearReply();     // reply buffers as before every exchange
    void takeReplyData();  // reply data of a successful exchange into m_ReplyInfo / m_RLen
    int writeSealBuf(const char* data, short len, int& done, int& nCount, int& lenTemp);
    int readSealBuf(int& done, int& nCount, int& lenTemp);

    // ---- machine/ ------------------------------------------------------------------------------
    static constexpr size_t kMachineNumSize = 100;
    static constexpr size_t kSloatInfoSize = 1024;
    CStampStatus m_CStampStatus;
    std::atomic<int> m_iIsPaperOpen{0};
    std::atomic<int> m_iIsBackDoorOpen{0};
    std::atomic<bool> m_bPrintReset{false};
    char m_machineNum[kMachineNumSize] = {};
    char m_SloatInfo[kSloatInfoSize] = {};  // shared result text of the text-returning queries
    bool m_bIsBindRFID2Slot = false;
    std::vector<std::string> m_jzRfidList;    // seal identities recorded at calibration time
    std::vector<std::string> m_bindRfidList;  // seal identities bound to the slots
    // Seals, slots and RFID binding; logs.
    static constexpr size_t kOutInfoSize = 4096;
    int m_slotHasSeal[kSlotCount] = {};      // from the last slot query
    std::vector<std::string> m_rfidList;     // tags of all six slots from the last RFID read
    char m_OutInfo[kOutInfoSize] = {};       // the alarm log text of the last query

    // ---- stamping/ -----------------------------------------------------------------------------
    std::atomic<bool> m_bAcrossPage{false};
    bool m_bSavePicRow = true;
    std::string m_paper_left_top = "0";
    enum class CycleEnd { Success, Fail };
    // Phase 2 of a stamp: follows the machine after it accepted the stamp command.
    CycleEnd followStamp(int& retReason, bool& bAgain, bool& resetSeen);

    // ---- calibration/ --------------------------------------------------------------------------
    int m_A4ShortSide = 0;
    int m_A4LongSide = 0;
    JZPoint m_JZCircle[kJZCircleCount] = {};
    short m_JZOffsetX[kJZOffsetCount] = {};
    short m_JZOffsetY[kJZOffsetCount] = {};
    void traceSealOffsets();

    // ---- camera/ -------------------------------------------------------------------------------
    // One camera's members and the rules of its capture thread (camera/capture_channel.h).
    struct CaptureChannel;
    CaptureChannel documentChannel();
    CaptureChannel envChannel();
    std::string envCamName();
    stampctl::camera::CameraPlatform& m_cameras = stampctl::camera::cameraPlatform();
    // Document camera. The frame and the status are guarded by m_photoLock; the thread wakes a
    // waiting request through m_photoChanged. (Standard mutexes rather than Qt's: the thread
    // sanitizer sees through these, not through Qt's contended path.)
    std::atomic<bool> m_bRun{false};
    std::unique_ptr<stampctl::camera::VideoDevice> m_videoCap;
    cv::Mat m_frame;
    PHOTO_STATUS m_photoStatus = PH_DONE;
    int64_t m_photoDoneMs = 0;  // when m_frame was handed over (clock ms)
    std::mutex m_photoLock;
    std::condition_variable m_photoChanged;
    std::thread m_videoThread;
    std::mutex m_videoThreadLock;
    // Environment camera, the same way.
    std::atomic<bool> m_bEnvRun{false};
    std::atomic<int> m_envWidth{0};
    std::atomic<int> m_envHeight{0};
    std::string m_envCamName;
    std::mutex m_envCamNameLock;
    std::unique_ptr<stampctl::camera::VideoDevice> m_envVideoCap;
    cv::Mat m_envFrame;
    PHOTO_STATUS m_envPhotoStatus = PH_DONE;
    int64_t m_envPhotoDoneMs = 0;
    std::mutex m_envPhotoLock;
    std::condition_variable m_envPhotoChanged;
    std::thread m_envVideoThread;
    std::mutex m_envThreadLock;
};
