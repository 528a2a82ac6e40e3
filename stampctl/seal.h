// The device controller: one object per process that holds everything the library knows about
// the machine. This header is the map of its members, grouped by subsystem; each operation lives
// in the source file of its subsystem.
#pragma once

#include <QMutex>
#include <atomic>
#include <string>
#include <vector>

#include "stampctl/frame/config.h"

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

    // ---- machine/: status, doors and alarms, identity, seals and RFID, logs -------------------

    // ---- stamping/: stamp cycle, print entry points, reset ------------------------------------

    // ---- calibration/: calibration record, coordinate mapping, automatic calibration ---------

    // ---- camera/: document camera, document photo, environment camera -------------------------

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

    // ---- machine/ ------------------------------------------------------------------------------
    bool m_bPrintReset = false;
    bool m_bIsBindRFID2Slot = false;
    std::vector<std::string> m_jzRfidList;    // seal identities recorded at calibration time
    std::vector<std::string> m_bindRfidList;  // seal identities bound to the slots

    // ---- stamping/ -----------------------------------------------------------------------------
    bool m_bAcrossPage = false;
    bool m_bSavePicRow = true;
    std::string m_paper_left_top = "0";

    // ---- calibration/ --------------------------------------------------------------------------
    int m_A4ShortSide = 0;
    int m_A4LongSide = 0;

    // ---- camera/ -------------------------------------------------------------------------------
    std::atomic<bool> m_bRun{false};
    std::atomic<bool> m_bEnvRun{false};
    QMutex m_photoLock;
    QMutex m_envPhotoLock;
};
