// ORVELPDU_API marks the classes and free functions that the shared library exports.
// The library is compiled with hidden visibility, so everything not marked stays internal.
#ifndef ORVELPDU_EXPORT_H_
#define ORVELPDU_EXPORT_H_

#if defined(_WIN32)
#if defined(ORVELPDU_BUILDING)
#define ORVELPDU_API __declspec(dllexport)
#else
#define ORVELPDU_API __declspec(dllimport)
#endif
#else
#define ORVELPDU_API __attribute__((visibility("default")))
#endif

// ORVELPDU_INLINE_API marks a member that public headers define inline (a fast path) and that
// the library exported as an ordinary function before: inside the library every such member
// is still emitted and exported, so binaries linked against earlier headers keep finding it;
// clients just inline it.
#if defined(ORVELPDU_BUILDING) && !defined(_WIN32)
#define ORVELPDU_INLINE_API __attribute__((used, visibility("default")))
#else
#define ORVELPDU_INLINE_API
#endif

// ORVELPDU_ALWAYS_INLINE asks the compiler to inline a hot fast path wherever it is called,
// past its size budget: the library's own parsers call the buffer's fixed-width removals
// from functions large enough that the budget otherwise leaves them calls.
#if defined(__GNUC__) || defined(__clang__)
#define ORVELPDU_ALWAYS_INLINE __attribute__((always_inline))
#else
#define ORVELPDU_ALWAYS_INLINE
#endif

#endif  // ORVELPDU_EXPORT_H_
