/* The exported C entry points of TARVO: the existence test and the progress
 * window. Window handles are opaque; an owner is a QWidget* (or NULL). A
 * program without a running QApplication gets one on the first progress call,
 * on the calling thread, which must then be the thread of every later call.
 * No call throws; a failed call returns 0 or NULL. */
#ifndef TARVO_CAPI_TARVO_H
#define TARVO_CAPI_TARVO_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define TARVO_API __declspec(dllexport)
#else
#define TARVO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the NUL-terminated name names something on disk (a file, a folder,
 * or, with "*" or "?" in its last part, any matching entry); 0 otherwise,
 * also for NULL or an empty name. */
TARVO_API int16_t EXIST(const char* name);

/* Opens a progress window titled caption (length bytes of UTF-8 text) above
 * owner and disables the owner until pbProgressShutdown. Returns its handle.
 * Without a display (neither DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM is
 * set, or the display named cannot be reached, or QT_QPA_PLATFORM names a
 * platform that is not there: the first call tries it in a child process)
 * it returns NULL, and every progress call then does nothing:
 * pbProgressIsCancelled returns 0. */
TARVO_API void* pbProgressInit(void* owner, const char* caption, size_t length);
TARVO_API void* pbProgressInitZ(void* owner, const char* caption);

/* 1 when the user pressed Stop or the window has gone, else 0. A stop
 * request is never cleared. */
TARVO_API int32_t pbProgressIsCancelled(void* window);

/* Moves the window to x, y dialog units from the owner's client area. */
TARVO_API void pbProgressPos(void* window, int32_t x, int32_t y);

/* Shows percent (clamped to 0..100) on the bar and text on the status line. */
TARVO_API void pbProgressSet(void* window, int32_t percent, const char* text, size_t length);
TARVO_API void pbProgressSetZ(void* window, int32_t percent, const char* text);

/* Destroys the window and enables owner again. */
TARVO_API void pbProgressShutdown(void* window, void* owner);

#ifdef __cplusplus
}
#endif

#endif /* TARVO_CAPI_TARVO_H */
