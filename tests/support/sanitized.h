#pragma once

// TARVO_SANITIZED is defined when the tests are built with a sanitizer that
// reserves far more address space than a memory cap on a process allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TARVO_SANITIZED 1
#endif
#endif
