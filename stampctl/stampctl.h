/*
 * libstampctl: control of a USB seal-stamping machine.
 *
 * Every function returns 0 or a positive state on success and a negative result code on
 * failure; geterrMsg() gives the code's message. Functions that return text hand back a buffer
 * that the library keeps for the calling thread: it holds that call's own answer, whatever other
 * threads do, and stays valid until the same thread's next call into the library. Never free
 * it. A failed text call returns "-@#" followed by the code, e.g. "-@#-401"; the few that say
 * otherwise return "" instead.
 *
 * Any thread may call any function; calls that talk to the machine take turns on the wire. No
 * function lets an exception escape: one inside the library is traced and returns -602 (as text
 * "-@#-602", also from the functions that otherwise fail with "").
 *
 * Set STAMPCTL_SIMULATOR=1 to talk to the built-in simulated machine instead of USB, and
 * STAMPCTL_BASE_DIR to move the directory of configuration, trace logs and photos.
 *
 * Result codes. Each function below lists what it returns. Four families recur, by name:
 *
 *   POLL   the status poll that opens the operation failed: -400 the machine does not answer
 *          (not connected, unplugged, switched off); -8006 its top cover is open, upon which
 *          the library disconnects (close the cover, then connMachine again).
 *   BOARD  -610: only the machine's main board serves the operation, and its backup board
 *          answers.
 *   LINK   a command to the machine failed: -100 the link is not open (never connected,
 *          disconnected, or lost); -401 no reply, or one too short for what was asked; -402
 *          three replies in a row failed their check (checksum, length, or not the answer to
 *          this request); or the machine refused the command, and the code is its FAULT.
 *          Where "-8016" is listed as well: the command needs the main board, and the last
 *          status poll found the backup board answering (or no poll has run since the library
 *          started).
 *   FAULT  the most important fault the machine reports, in this order: -500, -8000, -8001,
 *          -8002 to -8005, -8010 to -8013, -8015, -8009, -8006, -8017, -80, -8014; -602 when it
 *          names none.
 *
 * Each list gives the codes in the order the function meets them: where POLL comes first, a
 * bad argument is only noticed once the machine has answered.
 */
#ifndef STAMPCTL_STAMPCTL_H
#define STAMPCTL_STAMPCTL_H

#define STAMPCTL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes --------------------------------------------------------------------- */

/* The message of a result code (UTF-8); "无此错误码" for a code without one. Never fails.
 * Every message is a constant, except that of -611: it says why the last slot check (of any
 * thread) refused its seal, copied into the calling thread's buffer, and is "" before any. */
STAMPCTL_API const char* geterrMsg(int code);

/* ---- Image processing ----------------------------------------------------------------- */

/* Whether the configured box with its top-left corner at (pointX, pointY) of the last cut
 * picture holds print: 1 yes, 0 blank, 2 cannot tell (no photo yet, or the box leaves it).
 * Asks nothing of the machine. */
STAMPCTL_API int isWhitePaper(int pointX, int pointY);

/* ---- Connection ----------------------------------------------------------------------- */

/* Opens the machine and checks `code` against its security code (or the factory access code),
 * then loads the calibration, switches the light on and reads the machine's settings.
 * Returns 0; -91 code NULL (nothing else happens); -400 no machine found, or it does not answer
 * a status poll (or reports its top cover open); -90 the stored security code cannot be read;
 * -91 a wrong code. After -400, -90 or a wrong code the link is closed: nothing works until a
 * connMachine succeeds. The steps after the check do not change the result. */
STAMPCTL_API int connMachine(const char* code);
/* Switches the light off, closes the link and stops both cameras. Always 0. */
STAMPCTL_API int disconnMachine(void);
/* 0 when the machine answers a status poll, 1 when it does not (also when the poll finds the
 * top cover open, which disconnects). Never negative. */
STAMPCTL_API int isConnMachine(void);

/* ---- Machine status ------------------------------------------------------------------- */

/* 1 when the last stamp saw the machine reset itself (or ran so long that it may have), else 0.
 * Asks nothing of the machine. */
STAMPCTL_API int GetPrintReset(void);

/* ---- Identity and security code ------------------------------------------------------- */

/* The machine number (up to 12 characters). Fails with "-@#<code>": POLL, LINK. */
STAMPCTL_API const char* getMachineNum(void);
/* Stores a machine number of 1 to 12 characters. Returns 0; POLL; BOARD; -301 NULL or empty;
 * -302 longer than 12; LINK. */
STAMPCTL_API int setMachineNum(const char* machineNum);
/* The machine type (up to 16 characters). Fails with "-@#<code>": POLL, BOARD, LINK. */
STAMPCTL_API const char* getMachineType(void);
/* Stores the machine type. Returns 0; -91 NULL or longer than 16 characters; LINK, -8016. */
STAMPCTL_API int setMachineType(const char* machineType);
/* The machine ID (serial number). Fails with "" (LINK, -8016; which one is not told). */
STAMPCTL_API const char* getMachineId(void);
/* Stores the machine ID. Returns 0; -602 NULL or longer than 20 characters; LINK, -8016. */
STAMPCTL_API int setMachineId(const char* machineId);
/* The firmware version text. Fails with "" (LINK, -8016; which one is not told). */
STAMPCTL_API const char* getFirmwareVer(void);
/* The firmware mode 0, 1 or 2; -1 for any other answer and for any failure (LINK, -8016). */
STAMPCTL_API int getFirmwareMode(void);
/* Sets the firmware mode (low 8 bits of `mode`). Returns 0; LINK, -8016. */
STAMPCTL_API int setFirmwareMode(int mode);
/* Stores a security code of 6 to 50 characters while none is stored. Returns 0; POLL; BOARD;
 * -92 NULL; -93 shorter than 6 or longer than 50; -90 the stored code cannot be read; -94 a
 * code is already stored (delSecurityCode first); LINK. */
STAMPCTL_API int setSecurityCode(const char* code);
/* Clears the stored security code. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int delSecurityCode(void);

/* ---- Light ------------------------------------------------------------------------------ */

/* Switches the document camera's light on. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int openVideoCapLight(void);
/* Switches the document camera's light off. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int closeVideoCapLight(void);

/* ---- Doors and alarms ------------------------------------------------------------------- */

/* Opens the paper door for 30 (the machine's time unit); the backup board serves it too.
 * Returns 0; POLL; LINK. */
STAMPCTL_API int openPaperDoor(void);
/* Opens the paper door for `time`. Returns 0; -91 time not 0 to 65535; POLL; LINK. */
STAMPCTL_API int openPaperDoorEx(int time);
/* 1 open, 2 closed (after the configured closing pause), -8001 paper door fault; POLL; BOARD. */
STAMPCTL_API int checkPaperDoorState(void);
/* Opens the side (seal-change) door for 120. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int openMachineBackDoor(void);
/* Opens the side door for `time`. Returns 0; -91 time not 0 to 65535; POLL; BOARD; LINK. */
STAMPCTL_API int openMachineBackDoorEx(int time);
/* 1 open, 2 closed, -8000 side door RFID fault; POLL; BOARD. */
STAMPCTL_API int checkBackDoorState(void);
/* Opens the side door recording a 1-52 byte reason, on either board and without a poll first.
 * Returns 0; -604 NULL or empty; -605 longer than 52 bytes; -606 refused because the machine
 * holds as many records as it can (read and delete them first); LINK. */
STAMPCTL_API int openMachineBackDoorUnNormal(const char* openInfo);
/* The same as openMachineBackDoorUnNormal. */
STAMPCTL_API int openMachineBackDoorUnNormalForProduct(const char* openInfo);
/* Switches the moved-device alarm on. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int openMoveAlarm(void);
/* Switches the moved-device alarm off. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int closeMoveAlarm(void);
/* Switches the buzzer on. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int openFMAlarm(void);
/* Switches the buzzer off. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int closeFMAlarm(void);
/* Locks seals: sends the byte *p (bit n-1 for seal n). Returns 0; POLL; BOARD; -602 p NULL;
 * LINK. */
STAMPCTL_API int lockSeal(const char* p);
/* Unlocks seals: sends the byte *p (bit n-1 for seal n). Returns 0; POLL; BOARD; -602 p NULL;
 * LINK. */
STAMPCTL_API int unlockSeal(const char* p);

/* ---- Seals and RFID --------------------------------------------------------------------- */

/* Which slots hold a seal, "1:1;2:0;3:1;4:0;5:0;6:1", when machineNum is this machine's number.
 * Fails with "-@#<code>": POLL; BOARD; -301 machineNum NULL or empty; -302 longer than 12;
 * -300 not this machine's number (also when that number cannot be read); LINK. */
STAMPCTL_API const char* querySloatInfo(const char* machineNum);
/* The seal information block stored with initStamp. Fails with "-@#<code>" as querySloatInfo
 * (-401 also for a block that does not arrive whole). */
STAMPCTL_API const char* querySealInfo(const char* machineNum);
/* Stores a seal information text of 1 to 90 bytes. Returns 0; POLL; BOARD; -301, -302, -300
 * machineNum as querySloatInfo; -305 text NULL or empty; -303 longer than 90 bytes; LINK. */
STAMPCTL_API int initStamp(const char* machineNum, const char* slotNumAndStampId);
/* The tags of the seals present, "0A1B2C3D_1#44556677_3". Fails with "" (LINK, -8016), the
 * same text as when no seal is present. */
STAMPCTL_API char* getRFID(void);
/* 1 binds the seals now present to their slots; any other value unbinds. Returns 0; LINK,
 * -8016; -401 also when binding and the seals' tags cannot be read. */
STAMPCTL_API int BindRFIDAndSlot(int iBind);

/* ---- Logs ------------------------------------------------------------------------------- */

/* The alarm log, entries joined by ";" (whole entries up to 4095 bytes). Fails with
 * "-@#<code>": POLL, BOARD, LINK (also when one entry cannot be read: nothing is returned). */
STAMPCTL_API const char* inqAlarmLog(void);
/* Clears the alarm log. Returns 0; POLL; BOARD; LINK. */
STAMPCTL_API int delAlarmLog(void);
/* Up to ten abnormal-opening reasons joined by ";", on either board. Fails with "-@#<code>":
 * POLL; LINK; -601 the records do not fit the text. */
STAMPCTL_API const char* readOpenBackDoorExceptionInfo(void);
/* Deletes every abnormal-opening record, on either board. Returns 0; POLL; LINK. */
STAMPCTL_API int delOpenBackDoorExceptionInfo(void);

/* ---- Cameras and photos ------------------------------------------------------------------ */

/* Starts the document camera ("USB Camera", 3264 x 2448) reading frames in the background.
 * Returns 0 (also when it runs already); POLL; BOARD; -201 no such camera, or it does not open. */
STAMPCTL_API int openVideoCap(void);
/* Stops the document camera; returns once the device is free again. Always 0. */
STAMPCTL_API int closeVideoCap(void);
/* 1 the document camera runs, 2 it does not (closed, or it stopped by itself after losing the
 * camera or getting no pictures); POLL. */
STAMPCTL_API int checkVideoState(void);
/* Takes the next frame of the running document camera, enlarged 1.024 about its centre.
 * filePath receives the full photo (format by extension) and filePath without ".bmp"/".jpg"/
 * ".raw" plus ".jpg" the straightened picture cut to the sheet: type 0 both; type 1 the cut
 * only when isEraseBorder is not 0, else the full photo only; other types the full photo only.
 * quality: JPEG quality of the cut, 0 for the configured one.
 * Returns 0; -203 filePath NULL or empty; POLL; -200 camera not running; -205 no usable frame
 * within 30 s (one reopen of a camera that stopped included); -206 a picture not written (the
 * last cut picture is then forgotten: stamping by pixel needs a new photo). */
STAMPCTL_API int getImageFormat(const char* filePath, int type, int isEraseBorder, int quality);
/* Starts the environment camera ("GWI") at width x height; asks nothing of the machine.
 * Returns 0 (also when it runs already; the size then serves its next reopen); -204 width or
 * height not 1 to 8192; -201 no such camera, or it does not open. */
STAMPCTL_API int openEnvVideoCap(int width, int height);
/* Stops the environment camera. Always 0. */
STAMPCTL_API int closeEnvVideoCap(void);
/* Writes the environment camera's next frame, unchanged, to filePath (format by extension).
 * Returns 0; -203 filePath NULL; -200 camera not running; -205 no frame within 20 s; 1 the
 * frame was empty (nothing written); -206 not written (also an empty path or an unknown
 * extension). */
STAMPCTL_API int TakeEnvPhoto(const char* filePath);

/* ---- Stamping ------------------------------------------------------------------------- */

/* The next stamp the machine accepts is an across-page stamp (it straddles the paper edge).
 * Returns 0; POLL; BOARD. */
STAMPCTL_API int setAcrossPageSeal(void);
/* Whether pixel (pointX, pointY) of the cut picture may be stamped; asks nothing of the
 * machine. The angle is not used. Returns 0; -505 pointX or pointY below 1; -207 no photo
 * taken yet; -505 within 24 mm of an edge; -506 a blank place (when the blank check is
 * configured: also where it cannot tell). */
STAMPCTL_API int checkManualPrintPara(int pointX, int pointY, int angle);
/* Stamps seal printNum (1-6) at pixel (pointX, pointY) of the last cut picture this process
 * took (getImageFormat), turned by angle degrees (0-360). Nothing moves unless it returns 0 or
 * one of the codes marked (*).
 * Returns 0;
 *   POLL; BOARD;
 *   -207 no cut picture (none taken, or the last photo could not be written);
 *   -505 a pixel off the cut picture; with the position check configured (and the stamp not
 *        across the page) also -505 within 24 mm of an edge, -207, -506 as
 *        checkManualPrintPara;
 *   -603 the machine's calibration cannot map a pixel;
 *   -102 / -101 the side / paper door is open (as the opening poll saw it);
 *   -502 seal number not 1 to 6;
 *   -611 the seal in that slot is not the one bound to it (geterrMsg(-611) says whether and
 *        where it is bound);
 *   -503 angle not 0 to 360; -505 the configured seal shift moves the place below 0;
 *   -8007 not ready within 30 s (210 s once it resets), -102 / -101 a door opened meanwhile,
 *        -100 disconnected meanwhile, -8006 top cover open: while waiting for the machine;
 *        FAULT after it reported a fault twice;
 *   (*) LINK for the stamp command (or the across-page request before it), -500 no seal in
 *        the slot, -8007 the stamp not made within 30 s (210 s once the machine resets),
 *        -100 / -8006 as above, -602 the machine became ready again without stamping.
 *   A failed stamp is tried once more where that can help; the last attempt's code counts. */
STAMPCTL_API int manualPrintStart(int printNum, int pointX, int pointY, int angle);
/* The same with a photosensitive seal; the same codes. */
STAMPCTL_API int manualPrintStartByLight(int printNum, int pointX, int pointY, int angle);
/* Stamps at whole millimetres (pointX, pointY) from the top-left corner of the A4 page, which
 * lies long side across at angles 0 and 180 (x 0-297, y 0-210) and is seen turned with the seal
 * at 90 and 270 (x 0-210, y 0-297). Needs no photo, unless the position check is configured.
 * Returns 0; POLL; BOARD; -505 off the page; with the position check configured, its codes on
 * the last cut picture (-505, -207, -506); then as manualPrintStart from -603 on. */
STAMPCTL_API int autoPrintStart(int printNum, int pointX, int pointY, int angle);
/* Resets the mechanism and waits (up to about 65 s) until it is ready again. Returns 0 (also
 * when the machine holds no seal); POLL; BOARD; -102 / -101 the side / paper door is open;
 * LINK for the reset command; FAULT when the machine does not start resetting or reports a
 * fault twice in a row; -8007 not ready in time. */
STAMPCTL_API int initializationMachine(void);

/* ---- Calibration ---------------------------------------------------------------------- */

/* Reads the machine's calibration: A4 long and short side in pixels, the four calibration
 * circles (x and y, 4 each) and the X and Y corrections of each seal and angle in 0.01 mm
 * (24 each, index (seal - 1) * 4 + 0/1/2/3 for 0/90/180/270 degrees). Returns 0; -91 a NULL
 * pointer; LINK, -8016 (-401 also for a record that does not arrive whole). On failure the
 * outputs are left as they were. */
STAMPCTL_API int GetAllJZInfo(short* longSide, short* shortSide, short* circleX, short* circleY, short* offsetX,
                              short* offsetY);
/* Writes the 50-byte base block (A4 sides, circles, 0-degree corrections, little-endian int16);
 * with len below 50 the rest is sent as zeros. saveRFID 1 also records the seals now present
 * as those of the calibration, but only after a successful download (and only when their tags
 * can be read). Returns 0; -91 data NULL or len <= 0; LINK, -8016 for the download, for
 * reading the record back, and for recording the seals. */
STAMPCTL_API int DownLoadBaseJZ(const unsigned char* data, int len, int saveRFID);
/* Writes 18 X and 18 Y corrections in 0.01 mm (index 3 * (seal - 1) + 0/1/2 for 90/180/270
 * degrees). Returns 0; -91 x or y NULL, or a magnitude above 2047 (nothing sent); LINK, -8016
 * for the download and for reading the record back. */
STAMPCTL_API int DownLoadRotateJZ(const short* x, const short* y);
/* Calibrates the machine automatically: seal 1 stamps the four calibration points and every
 * other seal present its check point on a white sheet on the paper board, the sheet is
 * photographed and the circles found in the photo are written to the machine as its new
 * calibration. It connects with the factory access code and opens the document camera when
 * needed. szMsg (1024 bytes) receives the seals calibrated and the camera advice, or the reason
 * of a failure. lightFlags: six values, 1 where that seal is photosensitive.
 * Returns 0; -1 failure (the reason in szMsg); -91 szMsg or lightFlags NULL. */
STAMPCTL_API int AutoCheckSeal(char* szMsg, short* lightFlags);

#ifdef __cplusplus
}
#endif

#endif /* STAMPCTL_STAMPCTL_H */
