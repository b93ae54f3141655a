#pragma once

// TARVO_SANITIZED is defined when the tests are built with a sanitizer that
// reserves far more address space than a memory cap on a process allows, or
// when the engine and programs they run are (the tests' own code is built
// without AddressSanitizer: TARVO_ENGINE_SANITIZED).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(TARVO_ENGINE_SANITIZED)
#define TARVO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TARVO_SANITIZED 1
#endif
#endif
