/*
 * libstampctl: control of a USB seal-stamping machine.
 *
 * Every function returns 0 or a positive state on success and a negative result code on
 * failure; geterrMsg() gives the code's message. Functions that return text hand back a buffer
 * that the library keeps for the calling thread: it holds that call's own answer, whatever other
 * threads do, and stays valid until the same thread's next call into the library. Never free
 * it. A failed text call returns "-@#" followed by the code, e.g. "-@#-401".
 *
 * Any thread may call any function; calls that talk to the machine take turns on the wire. No
 * function lets an exception escape: one inside the library is traced and returns -602.
 *
 * Set STAMPCTL_SIMULATOR=1 to talk to the built-in simulated machine instead of USB, and
 * STAMPCTL_BASE_DIR to move the directory of configuration, trace logs and photos.
 */
#ifndef STAMPCTL_STAMPCTL_H
#define STAMPCTL_STAMPCTL_H

#define STAMPCTL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes --------------------------------------------------------------------- */

/* The message of a result code (UTF-8); "无此错误码" for a code without one. */
STAMPCTL_API const char* geterrMsg(int code);

/* ---- Image processing ----------------------------------------------------------------- */

/* Whether the configured box with its top-left corner at (pointX, pointY) of the last cut
 * picture holds print: 1 yes, 0 blank, 2 cannot tell (no photo yet, or the box leaves it). */
STAMPCTL_API int isWhitePaper(int pointX, int pointY);

/* ---- Connection ----------------------------------------------------------------------- */

/* Opens the machine and checks `code` against its security code (or the factory access code).
 * 0, -400 no machine answers, -90 the stored code cannot be read, -91 wrong code or NULL.
 * After -90 or -91 the link is closed: nothing works until a connMachine succeeds. */
STAMPCTL_API int connMachine(const char* code);
/* Switches the light off and closes the link. Always 0. */
STAMPCTL_API int disconnMachine(void);
/* 0 when the machine answers a status poll, 1 when it does not. */
STAMPCTL_API int isConnMachine(void);

/* ---- Machine status ------------------------------------------------------------------- */

/* 1 while the machine is resetting after a failed stamp, else 0. */
STAMPCTL_API int GetPrintReset(void);

/* ---- Identity and security code ------------------------------------------------------- */

/* The machine number (up to 12 characters), or "-@#<code>". */
STAMPCTL_API const char* getMachineNum(void);
/* Stores a machine number of 1 to 12 characters: 0, -301 empty or NULL, -302 too long. */
STAMPCTL_API int setMachineNum(const char* machineNum);
/* The machine type (up to 16 characters), or "-@#<code>". */
STAMPCTL_API const char* getMachineType(void);
/* Stores the machine type: 0, or -91 when NULL or longer than 16 characters. */
STAMPCTL_API int setMachineType(const char* machineType);
/* The machine ID (serial number), or "" on failure. */
STAMPCTL_API const char* getMachineId(void);
/* Stores the machine ID: 0, or -602 when NULL or longer than 20 characters. */
STAMPCTL_API int setMachineId(const char* machineId);
/* The firmware version text, or "" on failure. */
STAMPCTL_API const char* getFirmwareVer(void);
/* The firmware mode 0, 1 or 2; -1 for any other answer or on failure. */
STAMPCTL_API int getFirmwareMode(void);
/* Sets the firmware mode (low 8 bits of `mode`). */
STAMPCTL_API int setFirmwareMode(int mode);
/* Stores a security code of 6 to 50 characters while none is stored: 0, -92 NULL, -93 length,
 * -94 a code is already stored, -90 the stored code cannot be read. */
STAMPCTL_API int setSecurityCode(const char* code);
/* Clears the stored security code. */
STAMPCTL_API int delSecurityCode(void);

/* ---- Light ------------------------------------------------------------------------------ */

/* Switches the document camera's light on. */
STAMPCTL_API int openVideoCapLight(void);
/* Switches the document camera's light off. */
STAMPCTL_API int closeVideoCapLight(void);

/* ---- Doors and alarms ------------------------------------------------------------------- */

/* Opens the paper door for 30 (the machine's time unit); the backup board serves it too. */
STAMPCTL_API int openPaperDoor(void);
/* Opens the paper door for `time` (0 to 65535; -91 otherwise). */
STAMPCTL_API int openPaperDoorEx(int time);
/* 1 open, 2 closed (after the configured closing pause), -8001 paper door fault, or a code. */
STAMPCTL_API int checkPaperDoorState(void);
/* Opens the side (seal-change) door for 120. */
STAMPCTL_API int openMachineBackDoor(void);
/* Opens the side door for `time` (0 to 65535; -91 otherwise). */
STAMPCTL_API int openMachineBackDoorEx(int time);
/* 1 open, 2 closed, -8000 side door RFID fault, or a code. */
STAMPCTL_API int checkBackDoorState(void);
/* Opens the side door recording a 1-52 byte reason: -604 empty/NULL, -605 too long, -606 full. */
STAMPCTL_API int openMachineBackDoorUnNormal(const char* openInfo);
/* The same as openMachineBackDoorUnNormal. */
STAMPCTL_API int openMachineBackDoorUnNormalForProduct(const char* openInfo);
/* Switches the moved-device alarm on. */
STAMPCTL_API int openMoveAlarm(void);
/* Switches the moved-device alarm off. */
STAMPCTL_API int closeMoveAlarm(void);
/* Switches the buzzer on. */
STAMPCTL_API int openFMAlarm(void);
/* Switches the buzzer off. */
STAMPCTL_API int closeFMAlarm(void);
/* Locks seals: sends the byte *p (bit n-1 for seal n); -602 when p is NULL. */
STAMPCTL_API int lockSeal(const char* p);
/* Unlocks seals: sends the byte *p (bit n-1 for seal n); -602 when p is NULL. */
STAMPCTL_API int unlockSeal(const char* p);

/* ---- Seals and RFID --------------------------------------------------------------------- */

/* Which slots hold a seal, "1:1;2:0;3:1;4:0;5:0;6:1", or "-@#<code>" (also for a wrong number). */
STAMPCTL_API const char* querySloatInfo(const char* machineNum);
/* The seal information block stored with initStamp, or "-@#<code>". */
STAMPCTL_API const char* querySealInfo(const char* machineNum);
/* Stores a seal information text of 1 to 90 bytes: -305 empty/NULL, -303 too long. */
STAMPCTL_API int initStamp(const char* machineNum, const char* slotNumAndStampId);
/* The tags of the seals present, "0A1B2C3D_1#44556677_3"; "" when they cannot be read. */
STAMPCTL_API char* getRFID(void);
/* 1 binds the seals now present to their slots; any other value unbinds. */
STAMPCTL_API int BindRFIDAndSlot(int iBind);

/* ---- Logs ------------------------------------------------------------------------------- */

/* The alarm log, entries joined by ";" (whole entries up to 4095 bytes), or "-@#<code>". */
STAMPCTL_API const char* inqAlarmLog(void);
/* Clears the alarm log. */
STAMPCTL_API int delAlarmLog(void);
/* Up to ten abnormal-opening reasons joined by ";", or "-@#<code>". */
STAMPCTL_API const char* readOpenBackDoorExceptionInfo(void);
/* Deletes every abnormal-opening record. */
STAMPCTL_API int delOpenBackDoorExceptionInfo(void);

/* ---- Cameras and photos ------------------------------------------------------------------ */

/* Starts the document camera ("USB Camera", 3264 x 2448) reading frames in the background.
 * 0 (also when it runs already), -201 no such camera or it does not open, -610 backup board,
 * or the machine's link code. */
STAMPCTL_API int openVideoCap(void);
/* Stops the document camera; returns once the device is free again. Always 0. */
STAMPCTL_API int closeVideoCap(void);
/* 1 the document camera runs, 2 it does not (closed, or it stopped by itself after losing the
 * camera or getting no pictures), or the machine's link code. */
STAMPCTL_API int checkVideoState(void);
/* Takes the next frame of the running document camera, enlarged 1.024 about its centre.
 * filePath receives the full photo (format by extension) and filePath without ".bmp"/".jpg"/
 * ".raw" plus ".jpg" the straightened picture cut to the sheet: type 0 both; type 1 the cut
 * only when isEraseBorder is not 0, else the full photo only; other types the full photo only.
 * quality: JPEG quality of the cut, 0 for the configured one. 0, -200 camera not running, -203
 * no path, -205 no usable frame within 30 s, -206 not written, or the machine's link code. */
STAMPCTL_API int getImageFormat(const char* filePath, int type, int isEraseBorder, int quality);
/* Starts the environment camera ("GWI") at width x height (1 to 8192 each; -204 otherwise).
 * 0, or -201. */
STAMPCTL_API int openEnvVideoCap(int width, int height);
/* Stops the environment camera. Always 0. */
STAMPCTL_API int closeEnvVideoCap(void);
/* Writes the environment camera's next frame, unchanged, to filePath (format by extension).
 * 0, 1 the frame was empty, -200 camera not running, -203 no path, -205 no frame within 20 s,
 * -206 not written. */
STAMPCTL_API int TakeEnvPhoto(const char* filePath);

/* ---- Stamping ------------------------------------------------------------------------- */

/* The next stamp the machine accepts is an across-page stamp (it straddles the paper edge). */
STAMPCTL_API int setAcrossPageSeal(void);
/* Whether pixel (pointX, pointY) of the cut picture may be stamped: 0; -505 within 24 mm of an
 * edge; -207 no photo taken yet; -506 a blank place (when the blank check is configured).
 * The angle is not used. */
STAMPCTL_API int checkManualPrintPara(int pointX, int pointY, int angle);
/* Stamps seal printNum (1-6) at pixel (pointX, pointY) of the last cut picture this process
 * took (getImageFormat), turned by angle degrees (0-360). 0, or the reason: -207 no cut picture
 * (none taken, or the last photo could not be written), -505 a pixel off the cut picture (or,
 * with the position check configured, within 24 mm of an edge), -506 blank place, -603 the
 * machine's calibration cannot map a pixel, -502 seal number, -503 angle, -101/-102 a door open,
 * -500 no seal in the slot, -611 seal not bound to the slot, -100 disconnected meanwhile, -8007
 * time-out, ... Nothing moves on any of the first six. */
STAMPCTL_API int manualPrintStart(int printNum, int pointX, int pointY, int angle);
/* The same with a photosensitive seal. */
STAMPCTL_API int manualPrintStartByLight(int printNum, int pointX, int pointY, int angle);
/* Stamps at whole millimetres (pointX, pointY) from the top-left corner of the A4 page, which
 * lies long side across at angles 0 and 180 (x 0-297, y 0-210) and is seen turned with the seal
 * at 90 and 270 (x 0-210, y 0-297): -505 off the page; otherwise as manualPrintStart, without
 * needing a photo. */
STAMPCTL_API int autoPrintStart(int printNum, int pointX, int pointY, int angle);
/* Resets the mechanism and waits (up to about 65 s) until it is ready again. 0 also when the
 * machine holds no seal; -101/-102 a door open, -8007 no ready state, or the machine's fault. */
STAMPCTL_API int initializationMachine(void);

/* ---- Calibration ---------------------------------------------------------------------- */

/* Reads the machine's calibration: A4 long and short side in pixels, the four calibration
 * circles (x and y, 4 each) and the X and Y corrections of each seal and angle in 0.01 mm
 * (24 each, index (seal - 1) * 4 + 0/1/2/3 for 0/90/180/270 degrees). -91 for a NULL pointer;
 * on failure the outputs are left as they were. */
STAMPCTL_API int GetAllJZInfo(short* longSide, short* shortSide, short* circleX, short* circleY,
                              short* offsetX, short* offsetY);
/* Writes the 50-byte base block (A4 sides, circles, 0-degree corrections, little-endian int16);
 * with len below 50 the rest is sent as zeros. saveRFID 1 also records the seals now present
 * as those of the calibration, but only after a successful download. -91 for NULL or len <= 0. */
STAMPCTL_API int DownLoadBaseJZ(const unsigned char* data, int len, int saveRFID);
/* Writes 18 X and 18 Y corrections in 0.01 mm (index 3 * (seal - 1) + 0/1/2 for 90/180/270
 * degrees), each of magnitude at most 2047 (-91 otherwise, nothing sent). */
STAMPCTL_API int DownLoadRotateJZ(const short* x, const short* y);
/* Calibrates the machine automatically: seal 1 stamps the four calibration points and every
 * other seal present its check point on a white sheet on the paper board, the sheet is
 * photographed and the circles found in the photo are written to the machine as its new
 * calibration. szMsg (1024 bytes) receives the seals calibrated and the camera advice, or the
 * reason of a failure. lightFlags: six values, 1 where that seal is photosensitive.
 * 0 success, -1 failure (see szMsg), -91 for a NULL argument. */
STAMPCTL_API int AutoCheckSeal(char* szMsg, short* lightFlags);

#ifdef __cplusplus
}
#endif

#endif /* STAMPCTL_STAMPCTL_H */
