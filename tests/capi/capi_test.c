/* Calls every C entry point of libtarvo from plain C, as a foreign program
 * would: no QApplication of its own, NULL owners, zero-terminated and
 * counted texts. Run with QT_QPA_PLATFORM=offscreen, or with
 * --without-display in an environment that names no display. */
#include <stdio.h>
#include <string.h>

#include "tarvo.h"

static int failures = 0;

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                             \
        }                                                                           \
    } while (0)

static void TestExist(const char* self) {
    char pattern[4096];
    const char* slash = strrchr(self, '/');

    CHECK(EXIST(self) == 1);
    CHECK(EXIST("") == 0);
    CHECK(EXIST(NULL) == 0);
    CHECK(EXIST("/no/such/folder/no-such-file") == 0);
    CHECK(EXIST("/") == 1); /* a folder exists too */

    if (slash != NULL && (size_t)(slash - self) + 3 < sizeof pattern) {
        /* A wildcard that matches this program's own file. */
        memcpy(pattern, self, (size_t)(slash - self) + 1);
        strcpy(pattern + (slash - self) + 1, "*capi*");
        CHECK(EXIST(pattern) == 1);
        strcpy(pattern + (slash - self) + 1, "*no-such-name*");
        CHECK(EXIST(pattern) == 0);
    }
}

static void TestProgressWindow(void) {
    const char caption[] = "Calibrating items...and more";
    void* window = pbProgressInit(NULL, caption, 20); /* only "Calibrating items..." */
    CHECK(window != NULL);
    CHECK(pbProgressIsCancelled(window) == 0);

    pbProgressSet(window, 42, "Item 1 of 3.ignored", 12);
    pbProgressSetZ(window, 150, "Item 2 of 3.");
    pbProgressSetZ(window, -5, NULL);
    pbProgressPos(window, 10, 20);
    CHECK(pbProgressIsCancelled(window) == 0);

    pbProgressShutdown(window, NULL);
    CHECK(pbProgressIsCancelled(window) == 1);    /* the old handle names no window */
    pbProgressSetZ(window, 50, "after shutdown"); /* harmless */
    pbProgressPos(window, 1, 1);
    pbProgressShutdown(window, NULL);

    {
        void* second = pbProgressInitZ(NULL, "Calibrating theta...");
        CHECK(second != NULL);
        CHECK(second != window); /* handles are never reused */
        CHECK(pbProgressIsCancelled(second) == 0);
        pbProgressShutdown(second, NULL);
    }
    CHECK(pbProgressIsCancelled(NULL) == 1);
}

/* Without a display the progress calls must neither end the process nor
 * stop the caller's work. */
static void TestWithoutDisplay(void) {
    void* window = pbProgressInitZ(NULL, "Calibrating theta...");
    CHECK(window == NULL);
    CHECK(pbProgressInit(NULL, "Calibrating", 11) == NULL);
    pbProgressPos(window, 10, 10);
    pbProgressSet(window, 50, "Half", 4);
    pbProgressSetZ(window, 60, "More");
    CHECK(pbProgressIsCancelled(window) == 0);
    CHECK(pbProgressIsCancelled(NULL) == 0);
    pbProgressShutdown(window, NULL);
}

int main(int argc, char** argv) {
    TestExist(argv[0]);
    if (argc > 1 && strcmp(argv[1], "--without-display") == 0) {
        TestWithoutDisplay();
    } else {
        TestProgressWindow();
    }
    if (failures == 0) printf("all C entry points behaved\n");
    return failures == 0 ? 0 : 1;
}
