/*
 * libstampctl: control of a USB seal-stamping machine.
 *
 * Every function returns 0 or a positive state on success and a negative result code on
 * failure; geterrMsg() gives the code's message. Functions that return text hand back a buffer
 * owned by the library: copy it before the next call and never free it. A failed text call
 * returns "-@#" followed by the code, e.g. "-@#-401".
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

#ifdef __cplusplus
}
#endif

#endif /* STAMPCTL_STAMPCTL_H */
